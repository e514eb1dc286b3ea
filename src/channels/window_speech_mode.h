#pragma once

#include <QString>

#include <optional>

struct TChannelOptions;

// How a channel or private window speaks what arrives: always, only while it holds the
// focus, or not at all. The mode is the pair of options "speech on" and "speak when not
// focused"; it is kept per window name (letter case ignored) in config/windows.ini, so a
// channel joined again speaks as it did.
enum class TWindowSpeechMode { Always, FocusedOnly, Silent };

TWindowSpeechMode SpeechModeOf(const TChannelOptions &options);
void SetSpeechMode(TChannelOptions &options, TWindowSpeechMode mode);
// The order Ctrl+Alt+S goes round: always, focused only, silent, always.
TWindowSpeechMode NextSpeechMode(TWindowSpeechMode mode);
// What the mode is called aloud (caption file, with the Russian text as fallback).
QString SpeechModeCaption(TWindowSpeechMode mode);

// What a window does with an incoming message in a mode.
enum class TMessageSpeech { Speak, Sound, Nothing };
// focused: the window holds the focus; soundWhenQuiet: the window's "sound when not
// spoken" option; mention: the message names the user, which is heard unless silent.
TMessageSpeech MessageSpeech(TWindowSpeechMode mode, bool focused, bool soundWhenQuiet,
                             bool mention = false);

std::optional<TWindowSpeechMode> StoredSpeechMode(const QString &window);
// The mode a new channel window starts in unless its name has one kept: the settings
// window's choice ("focused" unless set).
TWindowSpeechMode DefaultSpeechMode();
// Failures to write are logged, never raised: the mode still holds for this session.
void StoreSpeechMode(const QString &window, TWindowSpeechMode mode);

// The key under which a window's settings are kept: its name in lower case,
// percent-encoded (channel names begin with '#', which starts a comment in the file).
QString WindowSettingsKey(const QString &window);
