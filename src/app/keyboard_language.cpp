#include "app/keyboard_language.h"

#include "speech/tspeech.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QInputMethod>
#include <QKeyEvent>

TKeyboardLanguage::TKeyboardLanguage(TSpeech *channelVoice, QObject *parent)
    : QObject(parent), InputMethodLocale([] { return QGuiApplication::inputMethod()->locale(); }),
      m_voice(channelVoice)
{
    connect(QGuiApplication::inputMethod(), &QInputMethod::localeChanged, this,
            [this] { m_inputMethodTracksLayout = true; });
    // Sees every key before the field that will call SpeakLang.
    QCoreApplication::instance()->installEventFilter(this);
}

TKeyboardLanguage::~TKeyboardLanguage()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

QString TKeyboardLanguage::LanguageName(QLocale::Language language)
{
    switch (language) {
    case QLocale::English:
        return QStringLiteral("Английский");
    case QLocale::Russian:
        return QStringLiteral("Русский");
    case QLocale::Ukrainian:
        return QStringLiteral("Украинский");
    default:
        return QStringLiteral("Язык неизвестен");
    }
}

void TKeyboardLanguage::SpeakLang()
{
    const QLocale::Language language = currentLanguage();
    if (int(language) == LastKeyboardLanguage)
        return;
    LastKeyboardLanguage = int(language);
    if (m_voice)
        m_voice->Speak(LanguageName(language));
}

QLocale::Language TKeyboardLanguage::currentLanguage() const
{
    if (m_inputMethodTracksLayout || m_typed == QLocale::AnyLanguage)
        return InputMethodLocale().language();
    return m_typed;
}

bool TKeyboardLanguage::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress)
        noteTyped(static_cast<QKeyEvent *>(event)->text());
    return QObject::eventFilter(watched, event);
}

void TKeyboardLanguage::noteTyped(const QString &text)
{
    for (const QChar c : text) {
        if (!c.isLetter())
            continue;
        const QChar lower = c.toLower();
        if (c.script() == QChar::Script_Latin) {
            m_typed = QLocale::English;
        } else if (c.script() == QChar::Script_Cyrillic) {
            if (QStringLiteral("іїєґ").contains(lower))
                m_typed = QLocale::Ukrainian;
            else if (QStringLiteral("ёыэъ").contains(lower) || m_typed != QLocale::Ukrainian)
                m_typed = QLocale::Russian;
        }
    }
}
