// The line parser on arbitrary bytes: slots past the filled ones stay empty, the sender
// and the command word come from the line, nothing reads outside it.
#include "fuzz_input.h"

#include "irc/irc_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static TIrcParseState state; // reused like the client does, so stale slots show up
    state.Line = QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
    ParseLine(state);
    FUZZ_CHECK(state.Filled >= 0 && state.Filled <= IrcTokenCount);
    for (int i = state.Filled; i < IrcTokenCount; ++i)
        FUZZ_CHECK(state.Tokens[i].isEmpty());
    FUZZ_CHECK(state.Line.contains(state.CommandWord));
    FUZZ_CHECK(state.Line.contains(state.SenderNick));
    return 0;
}
