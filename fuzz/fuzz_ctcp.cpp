// CTCP and DCC on arbitrary bytes: the splitting helpers, then the same text as a query
// (PRIVMSG) and as a reply (NOTICE) through the client with the CTCP and DCC events bound.
#include "fuzz_input.h"

#include "irc/ctcp.h"
#include "irc/irc_client.h"

namespace {

class OfflineClient : public TIrcClient
{
protected:
    void OpenSocket(int) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    const Ctcp::TSplit split = Ctcp::Split(text);
    FUZZ_CHECK(split.Word.size() + split.Args.size() <= text.size());
    const std::vector<QByteArrayView> items = Ctcp::DccItems(split.Args);
    for (std::size_t i = 0; i <= items.size(); ++i)
        FUZZ_CHECK(Ctcp::DccItem(items, i).size() <= split.Args.size());

    static OfflineClient client;
    static bool bound = false;
    if (!bound) {
        bound = true;
        client.SetNick("me");
        client.BoundIP = QStringLiteral("127.0.0.1");
        client.Connect();
        client.CtcpAnswerLimiter().Clock = [] { return qint64(0); };
        auto takeAll = [](auto &&...) {};
        client.OnCTCPQuery = takeAll, client.OnCTCPReply = takeAll, client.OnAction = takeAll;
        client.OnDCCChat = takeAll, client.OnDCCSend = takeAll, client.OnDCCResume = takeAll;
        client.OnDCCAccept = takeAll, client.OnError = takeAll;
    }
    client.CtcpAnswerLimiter().Reset();
    client.Dispatch(":peer!u@h PRIVMSG me :\x01" + text + '\x01');
    client.Dispatch(":peer!u@h NOTICE #c :\x01" + text + '\x01');
    client.Dispatch(":peer!u@h PRIVMSG #c :\x01" + text);
    return 0;
}
