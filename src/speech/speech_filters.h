#pragma once

#include <QString>

// The character and word filters every spoken text goes through. The rule tables exist
// once per program and are shared by every voice: loading through either voice changes
// what both say. Both tables start empty (no filtering).
//
// Rule files are plain text, UTF-8 or Windows-1251 (a file that is not valid UTF-8 is read
// as Windows-1251), with CR LF, LF or CR line ends. Reading stops at the first empty line.
//
// singlerules.ini: in each line the second character is the character to replace and the
// fifth character onward is its replacement. At most 255 rules; further lines are ignored.
//
// multirules.ini: "source=replacement" per line; a leading "=" is skipped, further "=" in
// the replacement are dropped. Lines without "=" or with an empty source are skipped. At
// most 65535 rules; further lines are ignored.
//
// A file that cannot be read is logged and leaves that table empty, so speech goes on
// unfiltered instead of falling silent.

namespace SpeechFilters {
constexpr int MaxSingleRules = 255;
constexpr int MaxMultiRules = 65535;
} // namespace SpeechFilters

// Return false (after logging) when the file cannot be read.
bool LoadSingleRules(const QString &fileName);
bool LoadMultiRules(const QString &fileName);
// Empties both tables.
void ClearSpeechRules();
int SingleRulesCount();
int MultiRulesCount();

// For a text of exactly one character: a carriage return becomes empty; otherwise the last
// rule for exactly this character (case-sensitive) gives the replacement, an empty
// replacement or no rule leaves the character as it is.
QString ApplySingleRules(const QString &text);
// For texts of two or more characters: every rule in file order replaces each occurrence
// of its source (letter case ignored, Cyrillic too, also inside longer words) in the text
// as rewritten by the rules before it; after a replacement the same rule goes on searching
// one character past the end of the inserted text.
QString ApplyMultiRules(const QString &text);
