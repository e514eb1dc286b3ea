// Reading message tags: escapes, repeated and valueless tags, the server's time.
#include "irc/irc_tags.h"

#include <QTest>

class TestIrcTags : public QObject
{
    Q_OBJECT

private slots:
    void tags_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("value"); // "-" when the tag is absent
        auto row = [](const char *name, const QByteArray &line, const char *key,
                      const QByteArray &value) {
            QTest::newRow(name) << line << QByteArray(key) << value;
        };
        const QByteArray line = "@a=x\\:y\\sz\\\\w\\r\\n;b;+vendor.example/c=\\b\\;d=1;d=2 "
                                ":n!u@h PRIVMSG #c :x=1";
        row("escapes", line, "a", "x;y z\\w\r\n");
        row("no value", line, "b", "");
        row("unknown escape, lone backslash", line, "+vendor.example/c", "b");
        row("last one counts", line, "d", "2");
        row("absent", line, "x", "-");
        row("no tags", ":n!u@h PRIVMSG #c :@a=1", "a", "-");
        row("server time", "@time=2026-12-06T14:20:05.123Z :s PING x", "time()",
            "2026-12-06T14:20:05.123Z");
        row("bad server time", "@time=yesterday :s PING x", "time()", "-");
    }
    void tags()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, value);
        QByteArray found = "-";
        if (key == "time()") {
            const QDateTime sent = ServerTime(LineTags(line));
            if (sent.isValid())
                found = sent.toUTC().toString(Qt::ISODateWithMs).toLatin1();
        } else {
            FindTag(LineTags(line), key, found);
        }
        QCOMPARE(found, value);
    }
};

QTEST_APPLESS_MAIN(TestIrcTags)
#include "test_irc_tags.moc"
