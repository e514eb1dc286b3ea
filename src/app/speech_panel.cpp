#include "app/speech_panel.h"

#include "config/config_files.h"
#include "speech/controls/vox_controls.h"
#include "speech/controls/vox_voice.h"
#include "speech/speech_config.h"
#include "speech/tspeech.h"

#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QToolButton>

namespace {

const QString TestPhrase = QStringLiteral("Талвин ай эр це клиент.");

// A scroll bar a blind user can follow: it says its label and value when it takes the
// focus and the new value after each key that moves it.
class SpokenScrollBar : public QScrollBar
{
public:
    SpokenScrollBar(QLabel *label, TSpeech *speech)
        : QScrollBar(Qt::Horizontal), m_label(label), m_speech(speech)
    {
        setFocusPolicy(Qt::StrongFocus);
        // A setting, not a view: Right and Page Up raise the value, as on a slider.
        setInvertedControls(false);
        setPageStep(10);
        label->setBuddy(this);
        setAccessibleName(label->text());
    }

protected:
    void focusInEvent(QFocusEvent *event) override
    {
        QScrollBar::focusInEvent(event);
        if (!AnnouncesFocus(this, event))
            return;
        setAccessibleName(m_label->text());
        say(m_label->text() + u' ' + QString::number(value()));
    }

    void keyReleaseEvent(QKeyEvent *event) override
    {
        QScrollBar::keyReleaseEvent(event);
        switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
            say(QString::number(value()));
            break;
        default:
            break;
        }
    }

private:
    void say(const QString &text)
    {
        if (!m_speech)
            return;
        m_speech->Stop();
        m_speech->Speak(text);
    }

    QLabel *m_label;
    QPointer<TSpeech> m_speech;
};

} // namespace

TSpeechPanel::TSpeechPanel(TSpeech *speech1, TSpeech *speech2, QWidget *parent,
                           std::function<void(const QString &)> onError)
    : QWidget(parent), OnError(std::move(onError)), m_speech1(speech1), m_speech2(speech2)
{
    setObjectName(QStringLiteral("Panel1"));
    Label1 = new QLabel(QStringLiteral("Голос"));
    EngineLabel = new QLabel(QStringLiteral("Синтезатор"));
    Label2 = new QLabel(QStringLiteral("Скорость"));
    Label3 = new QLabel(QStringLiteral("Тембр"));
    Label4 = new QLabel(QStringLiteral("Громкость"));

    VoxComboBox2 = new TVoxComboBox;
    VoxComboBox2->addItems({QStringLiteral("Interface"), QStringLiteral("Channels")});
    VoxComboBox1 = new TVoxComboBox;
    ScrollBar1 = new SpokenScrollBar(Label2, speech1);
    ScrollBar2 = new SpokenScrollBar(Label3, speech1);
    ScrollBar3 = new SpokenScrollBar(Label4, speech1);
    VoxCheckBox5 = new TVoxCheckBox;
    VoxButton1 = new TVoxButton(QStringLiteral("Test"));
    VoxButton3 = new TVoxButton(QStringLiteral("Reset"));
    Button1 = new TVoxButton(QStringLiteral("Сброс чтения"));
    VoxCheckBox1 = new TVoxCheckBox;
    VoxButton2 = new TVoxButton(QStringLiteral("Word Filter.."));
    VoxCheckBox3 = new TVoxCheckBox;
    VoxButton4 = new TVoxButton(QStringLiteral("Char Filter.."));
    VoxButton5 = new TVoxButton(QStringLiteral("More..."));
    VoxCheckBox6 = new TVoxCheckBox;
    VoxCheckBox1->setChecked(true);
    VoxCheckBox3->setChecked(true);
    SpeedButton2 = new QToolButton;
    SpeedButton2->setText(QStringLiteral("×"));
    SpeedButton2->setAccessibleName(QStringLiteral("Скрыть панель речи"));
    SpeedButton2->setFocusPolicy(Qt::NoFocus);
    Label1->setBuddy(VoxComboBox2);
    EngineLabel->setBuddy(VoxComboBox1);

    for (TVoxComboBox *combo : {VoxComboBox2, VoxComboBox1})
        combo->setSpeech(speech1);
    for (TVoxCheckBox *check : {VoxCheckBox5, VoxCheckBox1, VoxCheckBox3, VoxCheckBox6})
        check->setSpeech(speech1);
    for (TVoxButton *button : {VoxButton1, VoxButton3, Button1, VoxButton2, VoxButton4, VoxButton5})
        button->setSpeech(speech1);

    auto *grid = new QGridLayout(this);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(VoxComboBox2, 0, 1, 1, 2);
    grid->addWidget(SpeedButton2, 0, 3, Qt::AlignRight);
    grid->addWidget(EngineLabel, 1, 0);
    grid->addWidget(VoxComboBox1, 1, 1, 1, 3);
    grid->addWidget(Label2, 2, 0);
    grid->addWidget(ScrollBar1, 2, 1, 1, 3);
    grid->addWidget(Label3, 3, 0);
    grid->addWidget(ScrollBar2, 3, 1, 1, 3);
    grid->addWidget(Label4, 4, 0);
    grid->addWidget(ScrollBar3, 4, 1, 1, 3);
    grid->addWidget(VoxCheckBox5, 5, 0, 1, 4);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(VoxButton1);
    buttons->addWidget(VoxButton3);
    buttons->addWidget(Button1);
    grid->addLayout(buttons, 6, 0, 1, 4);
    auto *filters = new QHBoxLayout;
    filters->addWidget(VoxCheckBox1);
    filters->addWidget(VoxButton2);
    filters->addWidget(VoxCheckBox3);
    filters->addWidget(VoxButton4);
    filters->addWidget(VoxButton5);
    grid->addLayout(filters, 7, 0, 1, 4);
    grid->addWidget(VoxCheckBox6, 8, 0, 1, 4);

    // Only the user's own choices count: activated and clicked are not raised by the
    // program's own changes, and the scroll bars are loaded with their signals blocked.
    connect(VoxComboBox2, &QComboBox::activated, this,
            [this] { guarded([this] { VoxComboBox2Click(); }); });
    connect(VoxComboBox1, &QComboBox::activated, this,
            [this] { guarded([this] { VoxComboBox1Click(); }); });
    for (QScrollBar *bar : {ScrollBar1, ScrollBar2, ScrollBar3})
        connect(bar, &QScrollBar::valueChanged, this,
                [this, bar] { guarded([this, bar] { ScrollBarChange(bar); }); });
    connect(VoxCheckBox5, &QCheckBox::clicked, this,
            [this] { guarded([this] { VoxCheckBox5Click(); }); });
    connect(VoxCheckBox6, &QCheckBox::clicked, this, [this](bool checked) {
        if (OnScreenReaderChanged)
            guarded([this, checked] { OnScreenReaderChanged(checked); });
    });
    connect(VoxButton1, &QPushButton::clicked, this,
            [this] { guarded([this] { VoxButton1Click(); }); });
    connect(VoxButton3, &QPushButton::clicked, this,
            [this] { guarded([this] { VoxButton3Click(); }); });
    connect(Button1, &QPushButton::clicked, this, [this] { guarded([this] { Button1Click(); }); });
    connect(VoxButton2, &QPushButton::clicked, this, [this] {
        if (OnShowConfigEditor)
            OnShowConfigEditor(5);
    });
    connect(VoxButton4, &QPushButton::clicked, this, [this] {
        if (OnShowConfigEditor)
            OnShowConfigEditor(4);
    });
    connect(SpeedButton2, &QToolButton::clicked, this, &QWidget::hide);

    // Loaded from the configuration that ConfigureSpeech read.
    VoxComboBox2->setCurrentIndex(SpeechConfig.ActiveControl == 1 ? 1 : 0);
    if (VoxComboBox1->count() == 0 && m_speech1)
        VoxComboBox1->addItems(m_speech1->EngineNames());
    guarded([this] { SelectActiveControl(); });
    QWidget::hide();
}

void TSpeechPanel::LoadCaptions()
{
    Label1->setText(GetCaption(QStringLiteral("Label1")));
    Label2->setText(GetCaption(QStringLiteral("Label2")));
    Label3->setText(GetCaption(QStringLiteral("Label3")));
    Label4->setText(GetCaption(QStringLiteral("Label4")));
    EngineLabel->setText(GetCaption(QStringLiteral("VoxCheckBox4")));
    VoxCheckBox5->setText(GetCaption(QStringLiteral("CheckBox1")));
    Button1->setText(GetCaption(QStringLiteral("Button1")));
    VoxButton1->setText(GetCaption(QStringLiteral("VoxButton1")));
    VoxButton2->setText(GetCaption(QStringLiteral("VoxButton2")));
    VoxButton3->setText(GetCaption(QStringLiteral("VoxButton3")));
    VoxButton4->setText(GetCaption(QStringLiteral("VoxButton4")));
    VoxButton5->setText(GetCaption(QStringLiteral("VoxButton5")));
    VoxCheckBox1->setText(GetCaption(QStringLiteral("VoxCheckBox1")));
    VoxCheckBox3->setText(GetCaption(QStringLiteral("VoxCheckBox3")));
    VoxCheckBox6->setText(GetCaption(QStringLiteral("VoxCheckBox6")));
    // The voice shown stays the one the panel edits.
    VoxComboBox2->setItemText(0, GetCaption(QStringLiteral("VoxComboBox2_int")));
    VoxComboBox2->setItemText(1, GetCaption(QStringLiteral("VoxComboBox2_cn")));
    // The combo boxes say their label before their text.
    VoxComboBox2->setSpeechName(Label1->text() + u' ');
    VoxComboBox1->setSpeechName(EngineLabel->text() + u' ');
}

void TSpeechPanel::SelectActiveControl()
{
    const bool interface = SpeechConfig.ActiveControl == 0;
    TSpeech *voice = shownVoice();
    const bool inUse = interface ? SpeechConfig.UseInterfaceEngine : SpeechConfig.UseChannelEngine;
    VoxCheckBox5->setChecked(inUse);
    if (!inUse || !voice)
        return;
    const QString name =
        interface ? SpeechConfig.InterfaceEngineName : SpeechConfig.ChannelEngineName;
    // An automatic choice shows the voice it chose.
    const int listed = VoxComboBox1->findText(name, Qt::MatchFixedString);
    VoxComboBox1->setCurrentIndex(
        listed >= 0 ? listed
                    : VoxComboBox1->findText(voice->EngineInfo().ModeName, Qt::MatchFixedString));

    // Read everything first: loading one bar must not touch the voice before the others are
    // read, so the bars are loaded silently and the values stored once.
    const TSpeechEngineInfo &info = voice->EngineInfo();
    const quint32 speed = voice->Speed();
    const quint16 pitch = voice->Pitch();
    const quint32 volume = voice->Volume();
    auto load = [](QScrollBar *bar, int min, int max, int value) {
        const QSignalBlocker blocker(bar);
        bar->setRange(min, max);
        bar->setValue(value);
    };
    load(ScrollBar1, int(qMin<quint32>(info.MinSpeed, 65535)),
         int(qMin<quint32>(info.MaxSpeed, 65535)), int(qMin<quint32>(speed, 65535)));
    load(ScrollBar2, info.MinPitch, info.MaxPitch, pitch);
    load(ScrollBar3, int(info.MinVolume), int(info.MaxVolume), int(volume));

    quint16 &storedSpeed = interface ? SpeechConfig.IESpeed : SpeechConfig.CESpeed;
    quint16 &storedPitch = interface ? SpeechConfig.IEPitch : SpeechConfig.CEPitch;
    quint16 &storedVolume = interface ? SpeechConfig.IEVolume : SpeechConfig.CEVolume;
    storedSpeed = quint16(ScrollBar1->value());
    storedPitch = quint16(ScrollBar2->value());
    storedVolume = quint16(ScrollBar3->value());
    save();
}

void TSpeechPanel::TogglePanel()
{
    setVisible(isHidden());
    if (!isHidden())
        VoxComboBox2->setFocus(Qt::TabFocusReason);
}

void TSpeechPanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The choice may have been made since (the start-up question).
    VoxCheckBox6->setChecked(VoxVoice::ScreenReaderReadsControls());
    if (OnVisibleChanged)
        OnVisibleChanged(true);
}

void TSpeechPanel::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (OnVisibleChanged)
        OnVisibleChanged(false);
}

void TSpeechPanel::VoxComboBox2Click()
{
    SpeechConfig.ActiveControl = VoxComboBox2->currentIndex() <= 0 ? 0 : 1;
    SelectActiveControl();
    save();
}

void TSpeechPanel::ScrollBarChange(QScrollBar *bar)
{
    const int active = GetActiveSpeech();
    if (TSpeech *voice = activeVoice()) {
        // Tuning an automatic voice ties it to the engine it runs on: the values are in
        // that engine's units.
        QString &engine =
            active == 1 ? SpeechConfig.InterfaceEngineName : SpeechConfig.ChannelEngineName;
        if (IsAutomaticEngine(engine))
            engine = voice->EngineInfo().ModeName;
        const quint16 value = quint16(bar->value());
        if (bar == ScrollBar1) {
            (active == 1 ? SpeechConfig.IESpeed : SpeechConfig.CESpeed) = value;
            voice->SetSpeed(value);
        } else if (bar == ScrollBar2) {
            (active == 1 ? SpeechConfig.IEPitch : SpeechConfig.CEPitch) = value;
            voice->SetPitch(value);
        } else {
            (active == 1 ? SpeechConfig.IEVolume : SpeechConfig.CEVolume) = value;
            voice->SetVolume(value);
        }
    }
    save();
}

void TSpeechPanel::VoxComboBox1Click()
{
    const int active = GetActiveSpeech();
    if (TSpeech *voice = activeVoice()) {
        const QString name = VoxComboBox1->currentText();
        voice->SelectEngine(name);
        (active == 1 ? SpeechConfig.InterfaceEngineName : SpeechConfig.ChannelEngineName) = name;
    }
    save();
}

void TSpeechPanel::VoxButton3Click()
{
    if (TSpeech *voice = activeVoice()) {
        // A freshly selected engine starts from its own speed, pitch and volume; the panel
        // shows and stores those.
        voice->SelectEngine(VoxComboBox1->currentText());
        (GetActiveSpeech() == 1 ? SpeechConfig.InterfaceEngineName
                                : SpeechConfig.ChannelEngineName) = VoxComboBox1->currentText();
        SelectActiveControl();
    }
    save();
}

// The switch acts on the voice shown, whether it is on or off, so a voice switched off can
// be switched on again from here; it takes effect at once.
void TSpeechPanel::VoxCheckBox5Click()
{
    const int voiceNumber = SpeechConfig.ActiveControl == 0 ? 1 : 2;
    const bool on = VoxCheckBox5->isChecked();
    (voiceNumber == 1 ? SpeechConfig.UseInterfaceEngine : SpeechConfig.UseChannelEngine) = on;
    if (TSpeech *voice = shownVoice()) {
        if (on && !voice->EngineSelected()) {
            const auto onError = [this](const QString &m) { report(m); };
            if (SelectConfiguredEngine(voiceNumber, voice, onError)) {
                const TSpeechConfig &c = SpeechConfig;
                voice->SetSpeed(voiceNumber == 1 ? c.IESpeed : c.CESpeed);
                voice->SetPitch(voiceNumber == 1 ? c.IEPitch : c.CEPitch);
                voice->SetVolume(voiceNumber == 1 ? c.IEVolume : c.CEVolume);
            }
        }
        voice->SetEnabled(on && voice->EngineSelected());
    }
    if (on)
        SelectActiveControl();
    save();
}

void TSpeechPanel::VoxButton1Click()
{
    TSpeech *voice = GetActiveSpeech() == 1 ? m_speech1 : m_speech2;
    if (voice)
        voice->Speak(TestPhrase);
}

void TSpeechPanel::Button1Click()
{
    if (m_speech2)
        m_speech2->Stop();
}

TSpeech *TSpeechPanel::activeVoice() const
{
    switch (GetActiveSpeech()) {
    case 1:
        return m_speech1;
    case 2:
        return m_speech2;
    default:
        return nullptr;
    }
}

TSpeech *TSpeechPanel::shownVoice() const
{
    return SpeechConfig.ActiveControl == 0 ? m_speech1 : m_speech2;
}

void TSpeechPanel::save()
{
    SaveSpeechConfiguration();
}

void TSpeechPanel::guarded(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const ETalvinError &error) {
        report(error.message());
    } catch (const std::exception &error) {
        report(QString::fromLocal8Bit(error.what()));
    }
}

void TSpeechPanel::report(const QString &message)
{
    qWarning("Speech panel: %s", qUtf8Printable(message));
    if (OnError)
        OnError(message);
}
