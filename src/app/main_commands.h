#pragma once

#include <QByteArray>

// The notice command's one line: its first word (leading blanks skipped) is the target,
// the text follows the blanks after it, otherwise as typed. The target is empty when the
// line holds no word.
struct TNoticeLine
{
    QByteArray Target;
    QByteArray Text;
};
TNoticeLine SplitNoticeLine(const QByteArray &line);
