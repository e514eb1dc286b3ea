// The dispatcher on arbitrary server lines with every event bound. What each handler does
// comes from the input: nothing, throw, send a line, reconnect or disconnect. Handlers read
// the records they are given, so a record freed under the dispatcher shows up at once.
#include "fuzz_input.h"

#include "base/exception.h"
#include "irc/irc_client.h"

#include <QList>

namespace {

// No socket: Connect goes through every step of a reconnect (the registries are cleared,
// registration is sent) without touching the network.
class OfflineClient : public TIrcClient
{
protected:
    void OpenSocket(int) override {}
};

class Harness
{
public:
    explicit Harness(const QByteArray &script) : m_script(script) { bindAll(); }

    void run(const QList<QByteArray> &lines)
    {
        for (const QByteArray &line : lines) {
            try {
                m_client.Dispatch(line);
            } catch (const std::exception &) {
                // A handler's error ends that line only.
            }
            FUZZ_CHECK(m_depth == 0);
            // Every record the registries hold is still whole.
            m_client.Users().ForEach([](const TIrcUser *u) { FUZZ_CHECK(u->Count >= 0); });
            m_client.Channels().ForEach(
                [](const TIrcChannel *c) { FUZZ_CHECK(c->Names().Count() >= 0); });
        }
    }

private:
    static void touch(TIrcUser *user)
    {
        if (user)
            FUZZ_CHECK(user->Count >= 0 && user->Nick.size() >= 0);
    }
    static void touch(TIrcChannel *channel)
    {
        if (channel)
            FUZZ_CHECK(channel->Name().size() >= 0 && channel->Names().Count() >= 0);
    }
    static void touch(TIrcUsers *users)
    {
        if (users)
            FUZZ_CHECK(users->Count() >= 0);
    }
    template <typename T> static void touch(T &&) {}

    // The next handler's action, taken in turn from the script.
    void act()
    {
        if (m_script.isEmpty() || m_depth > 0)
            return; // handlers raised by a handler's own step do nothing
        const char action = m_script[m_next++ % m_script.size()];
        ++m_depth;
        struct Leave
        {
            int &depth;
            ~Leave() { --depth; }
        } leave{m_depth};
        switch (action % 8) {
        case 1:
            throw ETalvinError(QStringLiteral("handler failed"));
        case 2:
            m_client.Raw("PRIVMSG #c :reply");
            break;
        case 3:
            m_client.Say("#c", "one\ntwo");
            break;
        case 4:
            m_client.Connect();
            break;
        case 5:
            m_client.Disconnect(true);
            break;
        case 6:
            m_client.Join("#c");
            break;
        default:
            break;
        }
    }

    template <typename Event> void bind(Event &event)
    {
        event = [this](auto &&...args) {
            (touch(args), ...);
            act();
        };
    }

    void bindAll()
    {
        TIrcClient &c = m_client;
        c.CtcpAnswerLimiter().Clock = [] { return qint64(0); };
        c.SetNick("me");
        c.BoundIP = QStringLiteral("127.0.0.1"); // no address lookup per connect
        c.Connect(); // the registries as after a real connect
        bind(c.OnRaw), bind(c.OnMessage), bind(c.OnNotice), bind(c.OnAction), bind(c.OnJoin);
        bind(c.OnJoined), bind(c.OnPart), bind(c.OnParted), bind(c.OnKick), bind(c.OnKicked);
        bind(c.OnNickChange), bind(c.OnNickChanged), bind(c.OnTopic), bind(c.OnNoTopic);
        bind(c.OnQuit), bind(c.OnNames), bind(c.OnInvite), bind(c.OnInviting), bind(c.OnKill);
        bind(c.OnPingPong), bind(c.OnWallops), bind(c.OnError), bind(c.OnAway);
        bind(c.OnNowAway), bind(c.OnUnAway), bind(c.OnSystem), bind(c.OnOp), bind(c.OnDeop);
        bind(c.OnVoice), bind(c.OnDevoice), bind(c.OnBan), bind(c.OnUnban);
        bind(c.OnChannelMode), bind(c.OnUserMode), bind(c.OnUserModeChanged), bind(c.OnList);
        bind(c.OnLinks), bind(c.OnUnknownCommand), bind(c.OnSend), bind(c.OnStateChange);
        bind(c.OnNicksInUse), bind(c.OnConnect), bind(c.OnDisconnect), bind(c.OnCTCPQuery);
        bind(c.OnCTCPReply), bind(c.OnDCCChat), bind(c.OnDCCSend), bind(c.OnDCCResume);
        bind(c.OnDCCAccept), bind(c.OnChannelUpdate);
    }

    OfflineClient m_client;
    QByteArray m_script;
    int m_next = 0;
    int m_depth = 0;
};

} // namespace

// Input: a line of handler actions, then the server lines.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput input(data, size);
    const QByteArray script = input.piece(16);
    Harness harness(script);
    harness.run(input.rest().split('\n'));
    return 0;
}
