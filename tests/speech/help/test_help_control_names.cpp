// The shipped help names controls the way the windows show them: every name it quotes
// («...») is a text of the shipped caption file, and names the windows never had are gone.

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

namespace {

QString shipped(const QString &relative)
{
    return qEnvironmentVariable("TALVIN_SOURCE_DIR") + QStringLiteral("/dist/") + relative;
}

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Every value of caption.ini as a control shows it: quotes, a trailing colon and blanks off.
QSet<QString> captionTexts()
{
    QSet<QString> texts;
    for (const QString &line :
         readText(shipped(QStringLiteral("config/caption.ini"))).split(u'\n')) {
        const qsizetype eq = line.indexOf(u'=');
        if (line.startsWith(u';') || eq < 0)
            continue;
        QString value = line.mid(eq + 1).trimmed();
        value.remove(u'"');
        while (value.endsWith(u':') || value.endsWith(u' '))
            value.chop(1);
        texts.insert(value);
    }
    return texts;
}

} // namespace

class TestHelpControlNames : public QObject
{
    Q_OBJECT
private slots:
    void quotedNamesAreCaptions_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("least"); // the topic must quote at least this many names
        QTest::newRow("connect dialog") << "Диалог настройки соединения.txt" << 20;
        QTest::newRow("add server") << "AddServer.txt" << 8;
        QTest::newRow("server options") << "serveroptions.txt" << 8;
        QTest::newRow("main window keys") << "Клавиши главного окна.txt" << 3;
        QTest::newRow("channel window") << "Окно канала.txt" << 2;
        QTest::newRow("what is IRC") << "Что такое IRC.txt" << 1;
        QTest::newRow("status window") << "Status.txt" << 0;
    }
    void quotedNamesAreCaptions()
    {
        QFETCH(QString, file);
        QFETCH(int, least);
        const QString text = readText(shipped(QStringLiteral("help/") + file));
        QVERIFY(!text.isEmpty());
        static const QSet<QString> captions = captionTexts();
        static const QRegularExpression quoted(QStringLiteral("«([^»]*)»"));
        int count = 0;
        for (auto match = quoted.globalMatch(text); match.hasNext(); ++count) {
            const QString name = match.next().captured(1);
            QVERIFY2(captions.contains(name), qPrintable("not in caption.ini: " + name));
        }
        QVERIFY2(count >= least, qPrintable(QString::number(count)));
        // Names of controls the windows do not have (any more).
        for (const char *gone : {"IRC сервер:", "Альтернативный ник", "Помощь", "Кнопка Список ",
                                 "Кнопка Тест", "ссылки на страницу", "уже указан какой-нибудь"})
            QVERIFY2(!text.contains(QString::fromUtf8(gone)), gone);
    }
};

QTEST_GUILESS_MAIN(TestHelpControlNames)
#include "test_help_control_names.moc"
