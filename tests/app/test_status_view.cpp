// The status window's view under a burst: lines wait while another window is current and
// all come in order when it is activated; the newest LineLimit are kept under the note.

#include "app/status_window.h"
#include "speech/controls/vox_rich_edit.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>

class TestStatusView : public QObject
{
    Q_OBJECT
private slots:
    void burstKeepsNewestLinesInOrder_data()
    {
        QTest::addColumn<bool>("behindAnother");
        QTest::addColumn<int>("lines");
        QTest::newRow("current, trimmed in the view") << false << 3 * TStatusForm::LinesPerTurn;
        QTest::newRow("behind another, all waiting") << true << 0;
    }
    void burstKeepsNewestLinesInOrder()
    {
        QFETCH(bool, behindAnother);
        QFETCH(int, lines);
        QMdiArea area;
        auto *status = new TStatusForm(nullptr);
        QMdiSubWindow *statusWindow = area.addSubWindow(status);
        QMdiSubWindow *other = area.addSubWindow(new QWidget);
        area.show();
        statusWindow->showMaximized();
        area.setActiveSubWindow(behindAnother ? other : statusWindow);
        const int total = TStatusForm::LineLimit + TStatusForm::LineSlack + 7;
        for (int i = 0; i < total; ++i) {
            status->AddToStatus(QString::number(i), Qt::black);
            if (i % TStatusForm::LinesPerTurn == 0)
                QCoreApplication::processEvents();
        }
        QCoreApplication::processEvents();
        QVERIFY(status->RichEdit1->document()->blockCount() >= lines);
        QVERIFY(!behindAnother || status->RichEdit1->document()->isEmpty());
        area.setActiveSubWindow(statusWindow);
        status->FlushLines();
        const QStringList shown = status->RichEdit1->toPlainText().split(u'\n');
        const int kept = int(shown.size()) - 1;
        QVERIFY(kept >= TStatusForm::LineLimit && kept <= TStatusForm::LineLimit + 10);
        QCOMPARE(shown.first(), TStatusForm::TrimNote);
        for (int i = 1; i <= kept; ++i)
            QCOMPARE(shown[i], QString::number(total - kept + i - 1));
        QCOMPARE(status->RichEdit1->textCursor().position(),
                 status->RichEdit1->document()->characterCount() - 1);
    }
};

QTEST_MAIN(TestStatusView)
#include "test_status_view.moc"
