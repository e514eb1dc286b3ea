#pragma once

#include <QStringList>

// Binds the main window's activity key (the next window with unread messages: private
// first, then mentions, then the rest; says its name and how many are unread) and its
// mentions key (the mentions window). Called once the main window exists.
void AttachActivityKeys();

// The highlight words that make a message a mention besides the own nick: key "Words" of
// section "Mentions" in config/settings.ini, separated by commas (the settings window
// changes them at once).
const QStringList &HighlightWords();
