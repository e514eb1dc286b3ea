#pragma once

#include <QString>

// Clean-up of chat text before a voice reads it, so that what is heard is what matters.

// Removes the characters that are never seen but would be read or would trip the engine:
// zero-width spaces and joiners, bidirectional marks and embeddings, the byte-order mark,
// the soft hyphen and the emoji variation selectors; and shortens every web address to
// its host ("https://www.example.org/a/b?c" becomes "example.org").
QString CleanSpeechText(const QString &text);

// Says a run of MinRun or more of the same punctuation mark, symbol or emoji once, with
// the count after it ("?????" becomes "? 5"). Letters, digits and blanks are left alone.
QString CollapseSymbolRuns(const QString &text);
constexpr int MinSymbolRun = 3;
