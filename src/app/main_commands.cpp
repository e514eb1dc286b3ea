// The main window's "Commands": each asks for its argument in a spoken input box and hands
// the answer to the engine. The user's text goes out as typed: one blank joins it to the
// command word, nothing is trimmed or checked, and the server answers any mistake.
#include "app/main_commands.h"
#include "app/codepage.h"
#include "app/main_window.h"
#include "app/talvin_application.h"
#include "app/vox_input_box.h"
#include "config/config_files.h"
#include "irc/secret_mask.h"
#include "speech/help/help.h"

#include <QAction>

namespace {

// Said when a notice line names nobody; the caption file may replace it.
QString CaptionOr(const QString &key, const QString &fallback)
{
    const QString value = GetCaption(key);
    return value.isEmpty() || value.startsWith(QStringLiteral("err-")) ? fallback : value;
}

} // namespace

TNoticeLine SplitNoticeLine(const QByteArray &line)
{
    qsizetype start = 0;
    while (start < line.size() && line[start] == ' ')
        ++start;
    qsizetype end = start;
    while (end < line.size() && line[end] != ' ')
        ++end;
    qsizetype text = end;
    while (text < line.size() && line[text] == ' ')
        ++text;
    return {line.mid(start, end - start), line.mid(text)};
}

void TForm1::connectCommandActions()
{
    auto on = [this](QAction *action, void (TForm1::*handler)()) {
        connect(action, &QAction::triggered, this,
                [this, handler] { RunGuarded([this, handler] { (this->*handler)(); }); });
    };
    on(A_Part, &TForm1::A_PartExecute);
    on(A_Nick, &TForm1::A_NickExecute);
    on(A_Message, &TForm1::A_MessageExecute);
    on(A_Query, &TForm1::A_QueryExecute);
    on(A_Whois, &TForm1::A_WhoisExecute);
    on(A_Who, &TForm1::A_WhoExecute);
    on(A_Ban, &TForm1::A_BanExecute);
    on(A_Kick, &TForm1::A_KickExecute);
    on(A_Notice, &TForm1::A_NoticeExecute);
}

std::optional<QString> TForm1::AskCommandText(const QString &title)
{
    return VoxInputQuery(Speech1, this, title);
}

QByteArray TForm1::OutgoingText(const QString &text) const
{
    // The engine converts each line to the server's code page as it goes out.
    return EncodeEngineText(text);
}

void TForm1::SendCommandLine(const QString &title, const QByteArray &word)
{
    const auto text = AskCommandText(title);
    if (!text)
        return;
    IRC->Raw(word + ' ' + OutgoingText(*text));
}

void TForm1::SendMessage(const QString &target, const QString &text)
{
    if (!target.isEmpty()) {
        IRC->Say(OutgoingText(target), OutgoingText(text));
        return;
    }
    const auto nick = AskCommandText(QStringLiteral("Nick ?"));
    if (!nick)
        return;
    // The box reads back every typed key: a password to a service is heard as stars.
    const auto message = VoxInputQuery(
        Speech1, this, QStringLiteral("Message ?"), QString(),
        [to = *nick](const QString &text) { return StarSpans(text, FindTypedSecrets(text, to)); });
    if (!message)
        return;
    IRC->Say(OutgoingText(*nick), OutgoingText(*message));
}

void TForm1::A_PartExecute()
{
    const auto channel = AskCommandText(QStringLiteral("part "));
    if (!channel)
        return;
    IRC->Part(OutgoingText(*channel), "see you letter");
}

void TForm1::A_NickExecute()
{
    // Connected: the engine sends the change and follows the server's answer; otherwise
    // the nick waits for the next registration.
    if (const auto nick = AskCommandText(QStringLiteral("nick ")))
        IRC->SetNick(OutgoingText(*nick));
}

void TForm1::A_MessageExecute()
{
    SendMessage();
}

void TForm1::A_QueryExecute()
{
    const auto nick = AskCommandText(QStringLiteral("nick ?"));
    if (!nick)
        return;
    // A window without a name would collect every nameless sender and could send nowhere.
    if (nick->trimmed().isEmpty()) {
        VoxShowMessage(A_Query->text(), CaptionOr(QStringLiteral("QueryNoNick"),
                                                  QStringLiteral("Не указан ник собеседника.")));
        return;
    }
    if (OpenPrivateForm)
        OpenPrivateForm(*nick);
}

void TForm1::A_WhoisExecute()
{
    SendCommandLine(QStringLiteral("whois "), "WHOIS");
}

void TForm1::A_WhoExecute()
{
    SendCommandLine(QStringLiteral("who "), "WHO");
}

void TForm1::A_BanExecute()
{
    SendCommandLine(QStringLiteral("ban "), "BAN");
}

void TForm1::A_KickExecute()
{
    SendCommandLine(QStringLiteral("kick "), "kick");
}

void TForm1::A_NoticeExecute()
{
    const auto line = VoxInputQuery(Speech1, this, QStringLiteral("nick and message "), QString(),
                                    [](const QString &text) {
                                        const QString raw = QStringLiteral("NOTICE ") + text;
                                        return StarSpans(raw, FindSecrets(raw)).mid(7);
                                    });
    if (!line)
        return;
    const TNoticeLine notice = SplitNoticeLine(OutgoingText(*line));
    if (notice.Target.isEmpty()) {
        VoxShowMessage(A_Notice->text(),
                       CaptionOr(QStringLiteral("NoticeNoTarget"),
                                 QStringLiteral("Не указан получатель уведомления. Первое слово "
                                                "строки - ник или канал, за ним текст.")));
        return;
    }
    IRC->Notice(notice.Target, notice.Text);
}
