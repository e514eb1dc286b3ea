// The shipped help names controls the way the windows show them: every name it quotes
// («...») is a text of the shipped caption file, and names the windows never had are gone.

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

namespace {

QString readShipped(const QString &relative)
{
    QFile file(qEnvironmentVariable("TALVIN_SOURCE_DIR") + QStringLiteral("/dist/") + relative);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class TestHelpControlNames : public QObject
{
    Q_OBJECT
private slots:
    void quotedNamesAreCaptions()
    {
        // Every caption as a control shows it: quotes, a trailing colon and blanks off.
        QSet<QString> captions;
        for (const QString &line : readShipped(QStringLiteral("config/caption.ini")).split(u'\n')) {
            if (!line.startsWith(u';') && line.contains(u'='))
                captions.insert(line.section(u'=', 1).remove(u'"').remove(
                    QRegularExpression(QStringLiteral("[: ]+$"))));
        }
        // Each topic that names controls, with how many names it quotes at least.
        const QList<QPair<const char *, int>> topics = {{"Диалог настройки соединения.txt", 20},
                                                        {"AddServer.txt", 8},
                                                        {"serveroptions.txt", 8},
                                                        {"Клавиши главного окна.txt", 3},
                                                        {"Окно канала.txt", 2}};
        static const QRegularExpression quoted(QStringLiteral("«([^»]*)»"));
        for (const auto &[file, least] : topics) {
            const QString text = readShipped(QStringLiteral("help/") + QString::fromUtf8(file));
            int count = 0;
            for (auto match = quoted.globalMatch(text); match.hasNext(); ++count) {
                const QString name = match.next().captured(1);
                QVERIFY2(captions.contains(name), qPrintable(file + (": " + name)));
            }
            QVERIFY2(count >= least, file);
            // Controls the windows do not have (any more).
            for (const char *gone :
                 {"IRC сервер:", "Альтернативный ник", "Помощь", "Кнопка Список ", "Кнопка Тест",
                  "ссылки на страницу", "уже указан какой"})
                QVERIFY2(!text.contains(QString::fromUtf8(gone)), gone);
        }
    }
};

QTEST_GUILESS_MAIN(TestHelpControlNames)
#include "test_help_control_names.moc"
