#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Nicks and channel names are compared without regard to letter case, the way the server
// compares them: it names its rule in ISUPPORT CASEMAPPING.
enum class TIrcCaseMapping {
    // A server that names no rule (or one the client does not know, such as a code-page
    // module's own name): ASCII letters and the Cyrillic letters, brackets left alone, as
    // the Russian-speaking networks of old compare. Cyrillic is folded in the form the text
    // has: UTF-8 pairs in a name that is UTF-8, Windows-1251 bytes in any other.
    AsciiCyrillic,
    Ascii,         // "ascii": A-Z only
    Rfc1459,       // "rfc1459": also []\~ as the capitals of {}|^
    StrictRfc1459, // "strict-rfc1459": also []\ as the capitals of {}|
};

namespace IrcCase {

// The rule a CASEMAPPING value names; an empty or unknown value keeps AsciiCyrillic.
// "rfc8265" and "rfc7613" compare Unicode, of which AsciiCyrillic folds the part the
// program's users meet.
TIrcCaseMapping MappingNamed(QByteArrayView value);

// Writes the case-folded form of text into out, reusing out's storage when it is not shared.
// The length never changes.
void FoldInto(QByteArray &out, QByteArrayView text,
              TIrcCaseMapping mapping = TIrcCaseMapping::AsciiCyrillic);

QByteArray Fold(QByteArrayView text, TIrcCaseMapping mapping = TIrcCaseMapping::AsciiCyrillic);

bool SameText(QByteArrayView a, QByteArrayView b,
              TIrcCaseMapping mapping = TIrcCaseMapping::AsciiCyrillic);

// The same comparison on names already decoded for the windows; AsciiCyrillic compares as
// Unicode does without case there.
bool SameName(const QString &a, const QString &b,
              TIrcCaseMapping mapping = TIrcCaseMapping::AsciiCyrillic);

} // namespace IrcCase
