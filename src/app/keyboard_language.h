#pragma once

#include <QLocale>
#include <QObject>
#include <QPointer>

#include <functional>

class TSpeech;

// Tells the user, on the channel voice, which keyboard language they are typing in, once
// per change: "Английский", "Русский", "Украинский", or "Язык неизвестен".
//
// The language comes from Qt's input method when it reports layout switches (an input
// method framework such as IBus does). Without one, Qt only knows the system locale, so the
// letters typed decide: Latin is English, Cyrillic Russian, and Ukrainian once a letter only
// Ukrainian has (і ї є ґ) is typed, until a letter only Russian has (ё ы э ъ) is.
//
//     auto *lang = new TKeyboardLanguage(Speech2, this);
//     // an input field's key press handler:
//     lang->SpeakLang();
class TKeyboardLanguage : public QObject
{
    Q_OBJECT

public:
    explicit TKeyboardLanguage(TSpeech *channelVoice, QObject *parent = nullptr);
    ~TKeyboardLanguage() override;

    // Says the language when it differs from the one said last. Call it on every key press.
    void SpeakLang();

    // The language said last (a QLocale::Language), 0 before the first announcement.
    int LastKeyboardLanguage = 0;

    // Where the input method's language is read (tests replace it).
    std::function<QLocale()> InputMethodLocale;

    static QString LanguageName(QLocale::Language language);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLocale::Language currentLanguage() const;
    void noteTyped(const QString &text);

    QPointer<TSpeech> m_voice;
    bool m_inputMethodTracksLayout = false;
    QLocale::Language m_typed = QLocale::AnyLanguage;
};
