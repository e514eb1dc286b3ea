#include "dialogs/desktop_links.h"

#include "speech/help/help.h"

#include <QDesktopServices>
#include <QUrl>
#include <QtDebug>

namespace {

bool openOrSay(const QUrl &url, const QString &shown)
{
    if (url.isValid() && !shown.trimmed().isEmpty() && QDesktopServices::openUrl(url))
        return true;
    qWarning("Could not open %s", qUtf8Printable(url.toString()));
    VoxShowMessage(QStringLiteral("Talvin"), QStringLiteral("Не удалось открыть ") + shown);
    return false;
}

} // namespace

bool OpenWebAddress(const QString &address)
{
    const QString text = address.trimmed();
    QUrl url = QUrl::fromUserInput(text);
    if (url.scheme() == QStringLiteral("http") && !text.startsWith(QStringLiteral("http:")))
        url.setScheme(QStringLiteral("https"));
    return openOrSay(url, text);
}

bool OpenNewMail(const QString &address)
{
    QString text = address.trimmed();
    if (text.startsWith(QStringLiteral("mailto:"), Qt::CaseInsensitive))
        text = text.mid(7);
    QUrl url;
    url.setScheme(QStringLiteral("mailto"));
    url.setPath(text);
    return openOrSay(url, text);
}
