#include "channels/channel_keys.h"

#include "app/main_window.h"
#include "app/talvin_application.h"
#include "base/time_text.h"
#include "channels/channel_form.h"
#include "channels/channel_user_model.h"
#include "config/config_files.h"
#include "config/talvin_settings.h"
#include "irc/secret_mask.h"
#include "speech/controls/vox_edit.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>

namespace {

QString CaptionOr(const QString &key, const QString &fallback)
{
    const QString value = GetCaption(key);
    return value.isEmpty() || value.startsWith(QLatin1String("err-")) ? fallback : value;
}

QStringList TableNicks(const TChannelUserModel &table)
{
    QStringList nicks;
    nicks.reserve(table.Count());
    for (int row = 0; row < table.Count(); ++row)
        nicks.append(table.NickAt(row));
    return nicks;
}

} // namespace

TChannelKeys::TChannelKeys(TChannelForm *form) : QObject(form), m_form(form)
{
    auto make = [this](const QString &name, const QKeySequence &keys, auto slot) {
        auto *action = new QAction(name, m_form);
        action->setObjectName(name);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(action, &QAction::triggered, this, [slot] { RunGuarded(slot); });
        m_form->addAction(action);
        m_actions.append(action);
    };
    for (int n = 1; n <= 10; ++n) {
        const Qt::Key digit = Qt::Key(Qt::Key_0 + n % 10);
        make(QStringLiteral("AC_Review%1").arg(n), QKeySequence(Qt::ALT | digit),
             [this, n] { readRecent(n); });
    }
    const auto walkKey = [&](const char *name, Qt::Key key, TMessageReview::Step step) {
        make(QLatin1String(name), QKeySequence(Qt::ALT | Qt::SHIFT | key),
             [this, step] { walk(step); });
    };
    walkKey("AC_ReviewOlder", Qt::Key_Up, TMessageReview::Step::Older);
    walkKey("AC_ReviewNewer", Qt::Key_Down, TMessageReview::Step::Newer);
    walkKey("AC_ReviewFirst", Qt::Key_Home, TMessageReview::Step::First);
    walkKey("AC_ReviewLast", Qt::Key_End, TMessageReview::Step::Last);
    make(QStringLiteral("AC_ReviewTime"), QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_T),
         [this] { speakTime(); });
}

// ---- Input line ----

bool TChannelKeys::InputKey(QKeyEvent *event)
{
    TVoxEdit *edit = m_form->VoxEdit1;
    const Qt::KeyboardModifiers modifiers =
        event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (event->key() == Qt::Key_Tab && modifiers == Qt::NoModifier) {
        TNickCompletion::Result result;
        // Without a word to complete, Tab walks on to the next control as everywhere.
        if (!m_completion.Complete(edit->text(), edit->cursorPosition(),
                                   TableNicks(*m_form->UserTable()), result))
            return false;
        edit->setText(result.Text);
        edit->setCursorPosition(result.Caret);
        edit->Announce(result.Nick);
        return true;
    }
    if (event->key() != Qt::Key_Shift)
        m_completion.Reset();
    if ((event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) &&
        modifiers == Qt::NoModifier) {
        QString line;
        const bool moved = event->key() == Qt::Key_Up ? m_history.Older(edit->text(), line)
                                                      : m_history.Newer(line);
        if (moved) {
            edit->setText(line);
            announceInput(line);
        } else {
            // At either end the line stays and says what it holds.
            announceInput(edit->text());
        }
        return true;
    }
    return false;
}

void TChannelKeys::announceInput(const QString &text)
{
    // A recalled line may carry a password: it is heard as stars, as when typed.
    const QString masked = StarSpans(text, FindTypedSecrets(text, m_form->ChannelName));
    m_form->VoxEdit1->Announce(
        masked.isEmpty() ? CaptionOr(QStringLiteral("CFInputEmpty"), QStringLiteral("пусто"))
                         : masked);
}

void TChannelKeys::LineSent(const QString &line)
{
    m_history.Add(line);
    m_completion.Reset();
}

// ---- Review ----

void TChannelKeys::MessageShown(const QString &nick, const QString &text, const QDateTime &time)
{
    m_review.Add(nick, text, time);
}

void TChannelKeys::speak(const QString &text)
{
    if (Form1)
        Form1->SpeakChannelTextNow(text);
}

void TChannelKeys::readRecent(int n)
{
    const TMessageReview::Message *message = m_review.Recent(n);
    const bool again =
        m_lastKey == n && m_lastKeyClock.isValid() && m_lastKeyClock.elapsed() <= DoublePressMs;
    m_lastKey = n;
    m_lastKeyClock.start();
    if (!message) {
        speak(CaptionOr(QStringLiteral("CFReviewNone"), QStringLiteral("нет сообщения")));
        return;
    }
    m_lastReadTime = message->Time;
    if (again) {
        // The second press is the copy: the next press starts over.
        m_lastKey = 0;
        QGuiApplication::clipboard()->setText(message->Text);
        speak(CaptionOr(QStringLiteral("CFReviewCopied"), QStringLiteral("скопировано")));
        return;
    }
    speak(TMessageReview::Spoken(*message, Settings().ReviewTime));
}

void TChannelKeys::walk(TMessageReview::Step step)
{
    m_lastKey = 0;
    const TMessageReview::Message *message = m_review.Walk(step);
    if (!message) {
        speak(CaptionOr(QStringLiteral("CFReviewNone"), QStringLiteral("нет сообщения")));
        return;
    }
    m_lastReadTime = message->Time;
    speak(TMessageReview::Spoken(*message, Settings().ReviewTime));
}

void TChannelKeys::speakTime()
{
    m_lastKey = 0;
    if (!m_lastReadTime.isValid()) {
        speak(CaptionOr(QStringLiteral("CFReviewNone"), QStringLiteral("нет сообщения")));
        return;
    }
    speak(LongTimeText(m_lastReadTime.toLocalTime().time()));
}
