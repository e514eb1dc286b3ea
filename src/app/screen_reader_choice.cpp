#include "app/screen_reader_choice.h"

#include "app/vox_question_box.h"
#include "config/config_files.h"
#include "config/talvin_settings.h"
#include "speech/controls/vox_voice.h"

#include <QtGlobal>

namespace {

const QString kFile = QStringLiteral("settings.ini");
const QString kSection = QStringLiteral("Speech");
const QString kKey = QStringLiteral("ScreenReaderControls");

QString CaptionOr(const QString &key, const QString &fallback)
{
    const QString value = GetCaption(key);
    return value.isEmpty() || value.startsWith(QLatin1String("err-")) ? fallback : value;
}

} // namespace

bool SetScreenReaderReadsControls(bool reads)
{
    VoxVoice::SetScreenReaderReadsControls(reads);
    // With the other options, so that the settings window shows and keeps the same choice.
    TTalvinSettings settings = Settings();
    settings.ScreenReaderControls = reads;
    return StoreSettings(settings);
}

void SettleScreenReaderChoice(TSpeech *speech, QWidget *parent,
                              const std::function<bool()> &screenReaderRuns)
{
    const QString kept = GetConfigValue(kFile, kSection, kKey).trimmed();
    if (kept == QLatin1String("1") || kept == QLatin1String("0")) {
        VoxVoice::SetScreenReaderReadsControls(kept == QLatin1String("1"));
        return;
    }
    VoxVoice::SetScreenReaderReadsControls(false);
    if (!screenReaderRuns())
        return;
    // Asked while the program's own voice still reads the controls, so the question is heard
    // whichever answer the user gives.
    const bool reads = VoxAskYesNo(
        speech, parent,
        CaptionOr(QStringLiteral("ScreenReaderTitle"), QStringLiteral("Экранный диктор")),
        CaptionOr(QStringLiteral("ScreenReaderQuestion"),
                  QStringLiteral("Работает экранный диктор. Пусть он читает элементы управления, "
                                 "а Талвин читает только сообщения?")));
    SetScreenReaderReadsControls(reads);
}
