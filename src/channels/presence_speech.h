#pragma once

#include <QString>

#include <optional>

// Which joins, parts and quits a window speaks. The lines are always shown; this decides
// only what is heard. Kept per window name in config/windows.ini beside the speech mode.
enum class TPresenceSpeech { Always, RecentSpeakers, Never };

// A user counts as a recent speaker for ten minutes after their last message.
constexpr qint64 RecentSpeakerMs = 10 * 60 * 1000;

// Whether a join, part or quit of a user is spoken. lastSpokeMs: when the user last wrote
// in the window (none: never seen writing); nowMs on the same clock.
bool SpeakPresence(TPresenceSpeech setting, std::optional<qint64> lastSpokeMs, qint64 nowMs);
// A net split or the rejoins after it are one sentence, heard unless the window never
// speaks presence: even when none of them spoke lately, the user must know why people
// went quiet.
bool SpeakNetSplit(TPresenceSpeech setting);

// The order the channel window's key goes round: recent speakers, always, never.
TPresenceSpeech NextPresenceSpeech(TPresenceSpeech setting);
// What the setting is called aloud (caption file, Russian text as fallback).
QString PresenceSpeechCaption(TPresenceSpeech setting);
// The word a setting is stored as, and back (unknown words: none).
QString PresenceSpeechName(TPresenceSpeech setting);
std::optional<TPresenceSpeech> PresenceSpeechFromName(const QString &name);

// The setting of windows that have none of their own: key "PresenceSpeech" of section
// "Speech" in config/settings.ini, "recent" when missing or unreadable.
TPresenceSpeech DefaultPresenceSpeech();
// The window's own setting, if it has one.
std::optional<TPresenceSpeech> StoredPresenceSpeech(const QString &window);
// Failures to write are logged, never raised: the setting still holds for this session.
void StorePresenceSpeech(const QString &window, TPresenceSpeech setting);
