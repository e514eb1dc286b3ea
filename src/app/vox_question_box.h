#pragma once

#include <QDialog>

class QLabel;
class TSpeech;
class TVoxButton;

// A spoken yes/no question: the question is shown, and each button carries it in its
// spoken name, so the button that takes the focus says the question and then its caption. "Нет" has
// the focus first: the questions asked here are about trusting something, and a stray
// Enter must not say yes. Keys: Enter presses the focused button, Escape answers no.
class TVoxQuestionBox : public QDialog
{
    Q_OBJECT

public:
    explicit TVoxQuestionBox(TSpeech *speech, QWidget *parent = nullptr);

    // Runs the box modally; true only for "Да". Details are shown under the question but
    // not spoken (a fingerprint read aloud helps nobody).
    bool Ask(const QString &title, const QString &question, const QString &details = QString());

    QLabel *Label1;
    TVoxButton *YesButton;
    TVoxButton *NoButton;
};

// One question in a fresh box with the given voice.
bool VoxAskYesNo(TSpeech *speech, QWidget *parent, const QString &title, const QString &question,
                 const QString &details = QString());
