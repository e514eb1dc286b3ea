#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

// The program's own options for speech and chat, kept in config/settings.ini:
//   [Speech] DefaultSpeechMode   always | focused | silent   speech mode of a new channel window
//            BacklogLimit        1..999                       texts the channel voice lets wait
//            PresenceSpeech      recent | always | never      joins and quits heard by default
//            ReviewTime          0 | 1                        review keys say the message's time
//            ScreenReaderControls 0 | 1                       a screen reader reads the controls
//   [Mentions] Words             comma-separated highlight words
// A missing, unreadable or damaged value is logged and replaced by its default, so a bad
// file never leaves the program mute.
struct TTalvinSettings
{
    QString DefaultSpeechMode = QStringLiteral("focused");
    int BacklogLimit = 5;
    QStringList MentionWords;
    QString PresenceSpeech = QStringLiteral("recent");
    bool ReviewTime = false;
    bool ScreenReaderControls = false;

    bool operator==(const TTalvinSettings &) const = default;
};

// The options now in force: read from the file on first use, then kept.
const TTalvinSettings &Settings();
// Reads the file again (a test, or the file changed on disk).
void ReloadSettings();
// Makes the options current at once and writes them. A failed write is logged and
// reported as false; the options still hold for this session.
bool StoreSettings(const TTalvinSettings &settings);
// The words of a comma-separated list, trimmed, empty ones left out.
QStringList SplitWordList(const QString &text);

// Tells whoever applies an option (the channel voice's limit, say) that the options changed.
class TSettingsNotifier : public QObject
{
    Q_OBJECT
signals:
    void Changed();
};
TSettingsNotifier *SettingsNotifier();
