// The help shipped in the program directory: every topic the windows open and every node
// of the topic tree has its file, in UTF-8, and the viewer reads them without complaint.

#include "help_test_support.h"
#include "speech/controls/vox_tree_view.h"
#include "speech/help/help_form.h"
#include "speech/help/help_text_file.h"
#include "speech/help/help_tree.h"

#include <QDirIterator>
#include <QStringDecoder>
#include <QTreeWidget>

class TestShippedHelp : public QObject
{
    Q_OBJECT

private:
    QString m_shipped;

    static QStringList treeTopics(QTreeWidgetItem *item)
    {
        QStringList topics{item->text(0)};
        for (int i = 0; i < item->childCount(); ++i)
            topics += treeTopics(item->child(i));
        return topics;
    }

private slots:
    void initTestCase()
    {
        m_shipped = qEnvironmentVariable("TALVIN_SOURCE_DIR") + QStringLiteral("/dist/help");
        QVERIFY2(QFile::exists(m_shipped + QStringLiteral("/helptree.txt")), qPrintable(m_shipped));
    }

    void everyTopicHasItsFile()
    {
        QTreeWidget tree;
        LoadHelpTree(&tree, ReadHelpText(m_shipped + QStringLiteral("/helptree.txt")).value());
        QStringList topics;
        for (int i = 0; i < tree.topLevelItemCount(); ++i)
            topics += treeTopics(tree.topLevelItem(i));
        // The topics the windows open themselves must be reachable from the tree too.
        for (const char *named : {"Status", "Что такое IRC", "Диалог настройки соединения",
                                  "AddServer", "serveroptions"})
            QVERIFY2(topics.contains(QString::fromUtf8(named)), named);
        for (int step = 1; step <= 6; ++step)
            topics += QStringLiteral("masterf%1").arg(step);

        for (const QString &topic : topics) {
            QFile file(m_shipped + QLatin1Char('/') + topic + QStringLiteral(".txt"));
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(topic));
            QStringDecoder utf8(QStringDecoder::Utf8);
            const QString text = utf8.decode(file.readAll());
            QVERIFY2(!utf8.hasError(), qPrintable(topic));
            const QString title = text.section(QLatin1Char('\n'), 0, 0);
            QVERIFY2(!title.trimmed().isEmpty(), qPrintable(topic));
            QVERIFY2(text.size() > 200, qPrintable(topic)); // real help, not a stub
            QVERIFY2(text.contains(QRegularExpression(QStringLiteral("[а-яА-Я]"))),
                     qPrintable(topic));
        }
    }

    void theViewerReadsTheShippedHelp()
    {
        HelpBench bench;
        QDirIterator files(m_shipped, QDir::Files);
        while (files.hasNext()) {
            const QString path = files.next();
            QVERIFY(QFile::copy(
                path, bench.programDir.filePath(QStringLiteral("help/") + files.fileName())));
        }
        MessageCloser closer(bench.voice.recording);
        for (const QString &topic :
             {QStringLiteral("Status"), QStringLiteral("Что такое IRC"),
              QStringLiteral("Диалог настройки соединения"), QStringLiteral("AddServer"),
              QStringLiteral("serveroptions")}) {
            bench.forget();
            ShowHelp(topic);
            const QString text =
                ReadHelpText(bench.programDir.filePath(QStringLiteral("help/") + topic +
                                                       QStringLiteral(".txt")))
                    .value();
            QCOMPARE(bench.said().last(), text);
        }
        QCOMPARE(closer.seen.size(), 0);
        QVERIFY(HelpForm()->VoxTreeView1->topLevelItemCount() >= 4);
        HelpForm()->close();
    }
};

QTEST_MAIN(TestShippedHelp)
#include "test_shipped_help.moc"
