#include "irc/irc_parser.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr qsizetype kMaxRest = 512;

// Copies bytes into dst, reusing its storage when dst is not shared with anyone. A slot
// often takes a text of the length it had (the command word, the channel): that skips
// the resize() call.
inline void setBytes(QByteArray &dst, const char *src, qsizetype length)
{
    if (dst.size() != length)
        dst.resize(length);
    if (length > 0)
        std::memcpy(dst.data(), src, std::size_t(length));
}

inline void clearBytes(QByteArray &dst)
{
    if (!dst.isEmpty())
        dst.resize(0);
}

inline qsizetype findByte(const char *data, qsizetype from, qsizetype to, char byte)
{
    if (from >= to)
        return -1;
    const void *hit = std::memchr(data + from, byte, std::size_t(to - from));
    return hit ? static_cast<const char *>(hit) - data : -1;
}

// The protocol separates the prefix, the command and the parameters by one or more blanks.
inline qsizetype skipBlanks(const char *data, qsizetype pos, qsizetype to)
{
    while (pos < to && data[pos] == ' ')
        ++pos;
    return pos;
}

} // namespace

void ParseLine(TIrcParseState &state)
{
    const char *data = state.Line.constData();
    const qsizetype length = state.Line.size();

    // Each slot is written once below, so a slot that takes a text of its old length keeps
    // its storage without a resize.
    qsizetype pos = 0;
    qsizetype end = length;

    // Message tags ("@key=value;... ") stay in state.Line, where LineTags() finds them; the
    // rest is parsed as if they were not there, so every slot keeps its place.
    if (length > 0 && data[0] == '@') {
        const qsizetype blank = findByte(data, 1, length, ' ');
        pos = blank >= 0 ? skipBlanks(data, blank, length) : length;
    }

    if (pos < length && data[pos] == ':') {
        const qsizetype start = pos + 1;
        const qsizetype blank = findByte(data, start, length, ' ');
        const qsizetype prefixEnd = blank >= 0 ? blank : length;
        setBytes(state.Tokens[0], data + start, prefixEnd - start);
        const qsizetype bang = findByte(data, start, prefixEnd, '!');
        if (bang >= 0) {
            setBytes(state.SenderNick, data + start, bang - start);
            setBytes(state.SenderAddress, data + bang + 1,
                     std::min(prefixEnd - bang - 1, kMaxRest));
        } else {
            clearBytes(state.SenderNick);
            setBytes(state.SenderAddress, data + start, prefixEnd - start);
        }
        pos = blank >= 0 ? blank + 1 : length;
        end = std::min(length, pos + kMaxRest);
        pos = skipBlanks(data, pos, end);
    } else {
        clearBytes(state.Tokens[0]);
        clearBytes(state.SenderNick);
        clearBytes(state.SenderAddress);
    }

    const qsizetype blank = findByte(data, pos, end, ' ');
    if (blank >= 0) {
        setBytes(state.CommandWord, data + pos, blank - pos);
        pos = blank + 1;
        end = std::min(end, pos + kMaxRest);
        pos = skipBlanks(data, pos, end);
    } else {
        setBytes(state.CommandWord, data + pos, end - pos);
        pos = end;
    }
    setBytes(state.Tokens[1], state.CommandWord.constData(), state.CommandWord.size());
    setBytes(state.ParamText, data + pos, end - pos);

    int slot = 2;
    while (pos < end && slot < IrcTokenCount) {
        QByteArray &token = state.Tokens[slot++];
        if (data[pos] == ':') {
            setBytes(token, data + pos + 1, end - pos - 1);
            pos = end;
        } else if (slot == IrcTokenCount) {
            // Last slot: the extra parameters stay with it rather than being lost.
            setBytes(token, data + pos, end - pos);
            pos = end;
        } else {
            const qsizetype next = findByte(data, pos, end, ' ');
            if (next < 0) {
                setBytes(token, data + pos, end - pos);
                pos = end;
            } else {
                setBytes(token, data + pos, next - pos);
                pos = skipBlanks(data, next + 1, end);
            }
        }
    }
    for (int i = slot; i < state.Filled; ++i)
        clearBytes(state.Tokens[i]);
    state.Filled = slot;
}
