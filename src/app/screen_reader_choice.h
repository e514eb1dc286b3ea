#pragma once

#include <functional>

class QWidget;
class TSpeech;

// Who reads the program's controls: its own interface voice (the default) or a screen reader
// running beside it. The choice is kept in config/settings.ini, [Speech]
// ScreenReaderControls=1 or 0; while it is 1 the controls and menus are silent and the
// program's voices read messages, review keys and mentions only.

// Applies the kept choice. Without one (never asked, or a value that is neither 1 nor 0),
// and when screenReaderRuns() says a screen reader runs, asks the user once with a spoken
// yes/no question on speech and keeps the answer.
void SettleScreenReaderChoice(TSpeech *speech, QWidget *parent,
                              const std::function<bool()> &screenReaderRuns);

// Switches the controls' speech and keeps the choice with the other options. False when
// settings.ini could not be written (the choice still holds for this run).
bool SetScreenReaderReadsControls(bool reads);
