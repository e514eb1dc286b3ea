#include "dialogs/settings_form.h"

#include "config/config_files.h"
#include "config/talvin_settings.h"
#include "dialogs/dialog_host.h"
#include "speech/controls/vox_controls.h"
#include "speech/tspeech.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QVBoxLayout>

namespace {

// The stored words of the two lists, in the order the lists show them.
const QStringList SpeechModes = {QStringLiteral("always"), QStringLiteral("focused"),
                                 QStringLiteral("silent")};
const QStringList PresenceSettings = {QStringLiteral("recent"), QStringLiteral("always"),
                                      QStringLiteral("never")};

QString CaptionOr(const char *key, const char *fallback)
{
    const QString value = GetCaption(QLatin1String(key));
    return value.isEmpty() || value.startsWith(QLatin1String("err-")) ? QString::fromUtf8(fallback)
                                                                      : value;
}

} // namespace

TSettingsForm::TSettingsForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SettingsForm"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    SpeechMode = new TVoxComboBox;
    SpeechMode->setObjectName(QStringLiteral("SpeechMode"));
    BacklogLimit = new TVoxEdit;
    BacklogLimit->setObjectName(QStringLiteral("BacklogLimit"));
    BacklogLimit->setValidator(new QIntValidator(1, 999, BacklogLimit));
    MentionWords = new TVoxEdit;
    MentionWords->setObjectName(QStringLiteral("MentionWords"));
    PresenceSpeech = new TVoxComboBox;
    PresenceSpeech->setObjectName(QStringLiteral("PresenceSpeech"));
    ReviewTime = new TVoxCheckBox;
    ReviewTime->setObjectName(QStringLiteral("ReviewTime"));
    ScreenReader = new TVoxCheckBox;
    ScreenReader->setObjectName(QStringLiteral("ScreenReader"));
    CloseButton = new TVoxButton;
    CloseButton->setObjectName(QStringLiteral("CloseButton"));

    auto *form = new QFormLayout;
    const auto row = [form](QWidget *field) {
        auto *label = new QLabel;
        label->setObjectName(field->objectName() + QStringLiteral("Label"));
        label->setBuddy(field);
        form->addRow(label, field);
    };
    row(SpeechMode);
    row(BacklogLimit);
    row(MentionWords);
    row(PresenceSpeech);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(CloseButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(ReviewTime);
    layout->addWidget(ScreenReader);
    layout->addLayout(buttons);

    loadCaptions();
    const auto changed = [this] {
        if (!m_loading)
            store();
    };
    connect(SpeechMode, &QComboBox::currentIndexChanged, this, changed);
    connect(PresenceSpeech, &QComboBox::currentIndexChanged, this, changed);
    connect(BacklogLimit, &QLineEdit::textChanged, this, changed);
    connect(MentionWords, &QLineEdit::textChanged, this, changed);
    connect(ReviewTime, &QCheckBox::toggled, this, changed);
    connect(ScreenReader, &QCheckBox::toggled, this, changed);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
}

void TSettingsForm::loadCaptions()
{
    setWindowTitle(CaptionOr("STCaption", "Параметры"));
    // The spoken name ends in ": " (the control's content follows it); the label and a
    // screen reader get it without.
    const auto name = [this](QWidget *field, const QString &spoken) {
        QString shown = spoken.trimmed();
        if (shown.endsWith(QLatin1Char(':')))
            shown.chop(1);
        field->setAccessibleName(shown);
        if (auto *label = findChild<QLabel *>(field->objectName() + QStringLiteral("Label")))
            label->setText(shown);
    };
    SpeechMode->setSpeechName(CaptionOr("STSpeechMode", "Режим чтения новых окон каналов: "));
    BacklogLimit->setSpeechName(CaptionOr(
        "STBacklogLimit", "Сколько сообщений ждут чтения, прежде чем их заменит сводка: "));
    MentionWords->setSpeechName(CaptionOr(
        "STMentionWords", "Слова, которые делают сообщение упоминанием, через запятую: "));
    PresenceSpeech->setSpeechName(
        CaptionOr("STPresenceSpeech", "Чтение входов и выходов, пока окно не выбрало своё: "));
    for (TVoxComboBox *box : {SpeechMode, PresenceSpeech})
        name(box, box->SpeechName());
    // An edit puts a blank of its own between its name and its text.
    for (TVoxEdit *edit : {BacklogLimit, MentionWords}) {
        edit->setSpeechName(edit->SpeechName().trimmed());
        name(edit, edit->SpeechName());
    }
    SpeechMode->clear();
    SpeechMode->addItems({CaptionOr("CFSpeakAlways", "читать всегда"),
                          CaptionOr("CFSpeakFocused", "читать только в активном окне"),
                          CaptionOr("CFSpeakSilent", "не читать")});
    PresenceSpeech->clear();
    PresenceSpeech->addItems(
        {CaptionOr("CFPresenceRecent", "входы и выходы только тех, кто говорил"),
         CaptionOr("CFPresenceAlways", "читать все входы и выходы"),
         CaptionOr("CFPresenceNever", "не читать входы и выходы")});
    ReviewTime->setText(CaptionOr("STReviewTime", "Называть время при просмотре сообщений"));
    ScreenReader->setText(
        CaptionOr("STScreenReader", "Элементы окон читает экранный диктор, а не Талвин"));
    CloseButton->setText(CaptionOr("STClose", "Закрыть"));
}

void TSettingsForm::loadValues()
{
    const TTalvinSettings s = Settings();
    SpeechMode->setCurrentIndex(std::max(0, int(SpeechModes.indexOf(s.DefaultSpeechMode))));
    PresenceSpeech->setCurrentIndex(std::max(0, int(PresenceSettings.indexOf(s.PresenceSpeech))));
    BacklogLimit->setText(QString::number(s.BacklogLimit));
    MentionWords->setText(s.MentionWords.join(QStringLiteral(", ")));
    ReviewTime->setChecked(s.ReviewTime);
    ScreenReader->setChecked(s.ScreenReaderControls);
}

void TSettingsForm::store()
{
    TTalvinSettings s = Settings();
    s.DefaultSpeechMode = SpeechModes.value(SpeechMode->currentIndex(), s.DefaultSpeechMode);
    s.PresenceSpeech = PresenceSettings.value(PresenceSpeech->currentIndex(), s.PresenceSpeech);
    // A limit being typed (empty, or 0 on the way to 05) keeps the last whole one.
    if (BacklogLimit->hasAcceptableInput())
        s.BacklogLimit = BacklogLimit->text().toInt();
    s.MentionWords = SplitWordList(MentionWords->text());
    s.ReviewTime = ReviewTime->isChecked();
    s.ScreenReaderControls = ScreenReader->isChecked();
    if (!(s == Settings()))
        StoreSettings(s);
}

void TSettingsForm::showEvent(QShowEvent *event)
{
    // Filling the lists anew moves their choice: nothing of that is a change to store.
    m_loading = true;
    loadCaptions();
    loadValues();
    TSpeech *speech = DialogHost() ? DialogHost()->InterfaceSpeech() : nullptr;
    for (TVoxComboBox *box : {SpeechMode, PresenceSpeech})
        box->setSpeech(speech);
    for (TVoxEdit *edit : {BacklogLimit, MentionWords})
        edit->setSpeech(speech);
    ReviewTime->setSpeech(speech);
    ScreenReader->setSpeech(speech);
    CloseButton->setSpeech(speech);
    m_loading = false;
    QDialog::showEvent(event);
    // The window's name first; the first control adds its own when the window is active.
    if (speech)
        speech->Speak(windowTitle());
    SpeechMode->setFocus();
}
