// The main window's speech keys: they work from every window of the program.
#include "app/main_window.h"

#include "app/speech_panel.h"
#include "app/talvin_application.h"
#include "config/config_files.h"
#include "config/talvin_settings.h"
#include "dialogs/settings_form.h"
#include "speech/channel_speech_queue.h"
#include "speech/controls/vox_voice.h"
#include "speech/speech_config.h"
#include "speech/speech_text_cleanup.h"
#include "speech/tspeech.h"

#include <QAction>
#include <QPushButton>

namespace {

QString CaptionOr(const QString &key, const QString &fallback)
{
    const QString value = GetCaption(key);
    return value.isEmpty() || value.startsWith(QLatin1String("err-")) ? fallback : value;
}

} // namespace

void TForm1::createSpeechKeys()
{
    ChannelQueue = new TChannelSpeechQueue(Speech2, this);
    ChannelQueue->SummaryText = [](int count, const QString &window) {
        // The caption file words it; without a usable caption the Russian text is said.
        const QString text = TChannelSpeechQueue::Summary(
            GetCaption(QStringLiteral("SpeechBacklog")), count, window);
        return text.isEmpty() ? TChannelSpeechQueue::RussianSummary(count, window) : text;
    };
    auto make = [this](const char *name, const QString &caption, const QKeySequence &keys,
                       auto handler) {
        auto *action = new QAction(caption, this);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        connect(action, &QAction::triggered, this, [handler] { RunGuarded(handler); });
        return action;
    };
    A_MuteChannels = make("A_MuteChannels", QStringLiteral("Mute channels"),
                          QKeySequence(QStringLiteral("Ctrl+Shift+M")), [this] {
                              ChannelQueue->SetMuted(!ChannelQueue->Muted());
                              if (ChannelQueue->Muted())
                                  ChannelQueue->Drop();
                              Speech1->Stop();
                              Speech1->Speak(ChannelQueue->Muted()
                                                 ? CaptionOr(QStringLiteral("ChannelVoiceOff"),
                                                             QStringLiteral("каналы молчат"))
                                                 : CaptionOr(QStringLiteral("ChannelVoiceOn"),
                                                             QStringLiteral("каналы читаются")));
                          });
    A_StopSpeech = make("A_StopSpeech", QStringLiteral("Stop speech"),
                        QKeySequence(QStringLiteral("Ctrl+Shift+S")), [this] {
                            // Silence is the answer: both voices stop at once.
                            ChannelQueue->Drop();
                            Speech1->Stop();
                        });
    A_DropChannelQueue = make("A_DropChannelQueue", QStringLiteral("Drop channel queue"),
                              QKeySequence(QStringLiteral("Ctrl+Shift+D")), [this] {
                                  ChannelQueue->Drop();
                                  Speech1->Stop();
                                  Speech1->Speak(CaptionOr(QStringLiteral("ChannelQueueDropped"),
                                                           QStringLiteral("очередь сброшена")));
                              });
    A_NextActivity = make("A_NextActivity", QStringLiteral("Next active window"),
                          QKeySequence(QStringLiteral("Ctrl+Shift+J")), [] {});
    A_Mentions = make("A_Mentions", QStringLiteral("Mentions"),
                      QKeySequence(QStringLiteral("Ctrl+Shift+N")), [] {});
    A_Settings =
        make("A_Settings", CaptionOr(QStringLiteral("A_Settings"), QStringLiteral("Параметры")),
             QKeySequence(QStringLiteral("Ctrl+Shift+O")), [this] {
                 if (!SettingsForm)
                     SettingsForm = new TSettingsForm(this);
                 SettingsForm->show();
                 SettingsForm->raise();
                 SettingsForm->activateWindow();
             });
    // The options take effect the moment the settings window changes them.
    const auto apply = [this] {
        ChannelQueue->SetLimit(Settings().BacklogLimit);
        VoxVoice::SetScreenReaderReadsControls(Settings().ScreenReaderControls);
    };
    apply();
    connect(SettingsNotifier(), &TSettingsNotifier::Changed, this, apply);
}

void TForm1::SpeakChannelText(const QString &text, const QString &window)
{
    ChannelQueue->Speak(SpokenChannelText(text), window);
}

void TForm1::SpeakChannelTextNow(const QString &text)
{
    ChannelQueue->SpeakNow(SpokenChannelText(text));
}

QString TForm1::SpokenChannelText(const QString &text)
{
    // Invisible marks and addresses go first, while an address is still whole; runs of
    // symbols are counted once the characters below '0' have become blanks.
    return CollapseSymbolRuns(StripForSpeech(CleanSpeechText(text)));
}
