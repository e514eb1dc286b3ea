// The About box, the message-of-the-day window, the make-channel dialog, the desktop links
// and the user field the engine registers with.

#include "dialogs/about_form.h"
#include "dialogs/day_team_form.h"
#include "dialogs/desktop_links.h"
#include "dialogs/irc_identity.h"
#include "dialogs/make_channel_form.h"
#include "ngircd_server.h"
#include "speech/controls/vox_controls.h"
#include "wizard_test_host.h"

#include <QDesktopServices>
#include <QLabel>
#include <QUrl>

// Stands in for the user's browser and mail program.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls << url; }
};

class TestSmallForms : public QObject
{
    Q_OBJECT

private slots:
    void aboutBoxReadsItsDescriptionAndClosesOnEnterOrEscape()
    {
        WizardTestHost host;
        TAboutForm form;
        QCOMPARE(form.windowTitle(), QStringLiteral("About..."));
        const QString text = TAboutForm::DescriptionText();
        QVERIFY(text.contains(QStringLiteral("1.7.0 beta")));
        QVERIFY(text.contains(QStringLiteral("незрячих и слабовидящих")));
        QVERIFY(text.contains(QStringLiteral("speech-dispatcher")));
        QVERIFY(text.contains(QStringLiteral("eSpeak NG")));
        QVERIFY(text.contains(QStringLiteral("KOI8-R")));
        QVERIFY(form.CreditLabel->text().endsWith(QStringLiteral("FREEWARE")));
        QVERIFY(form.WebLabel->isHidden()); // no address is made up

        for (int key : {Qt::Key_Return, Qt::Key_Escape}) {
            host.forget();
            QStringList said;
            QStringList unlabelled;
            QTimer::singleShot(0, &form, [&] {
                QVERIFY(QTest::qWaitForWindowActive(&form));
                said = host.said();
                unlabelled = UnlabelledControls(&form);
                Press(key);
            });
            QTimer::singleShot(5000, &form, &QDialog::reject); // never hang
            QCOMPARE(form.exec(), int(QDialog::Accepted));
            QVERIFY(said.contains(text));
            QCOMPARE(unlabelled, QStringList());
        }
    }

    void messageOfTheDayLinesCollectInOrderBelowEarlierOnes()
    {
        WizardTestHost host;
        TDayTeam form;
        QCOMPARE(form.windowTitle(), QStringLiteral("Team of day"));
        int shows = 0;
        struct ShowCounter : QObject
        {
            int *count;
            bool eventFilter(QObject *, QEvent *e) override
            {
                if (e->type() == QEvent::Show)
                    ++*count;
                return false;
            }
        } counter;
        counter.count = &shows;
        form.installEventFilter(&counter);

        form.AddLine(QStringLiteral("- earlier connection"), Qt::black);
        form.close();
        QStringList expected{QStringLiteral("- earlier connection")};
        for (int i = 1; i <= 20; ++i) {
            form.AddLine(QStringLiteral("- строка %1").arg(i), Qt::black);
            expected << QStringLiteral("- строка %1").arg(i);
        }
        QVERIFY(form.isVisible());
        QCOMPARE(shows, 2); // once for the first connection, once for the 20 lines
        QCOMPARE(form.VoxRichEdit1->toPlainText(), expected.join(u'\n'));
        QCOMPARE(form.VoxRichEdit1->textCursor().position(),
                 form.VoxRichEdit1->document()->characterCount() - 1);

        QVERIFY(ActivateWindow(&form));
        QCOMPARE(UnlabelledControls(&form), QStringList());
        QTest::keyClick(form.VoxButton1, Qt::Key_Space); // Close
        QVERIFY(!form.isVisible());
        QVERIFY(ActivateWindow(&form));
        Press(Qt::Key_Escape);
        QVERIFY(!form.isVisible());
    }

    void makeChannelLines()
    {
        WizardTestHost host;
        TForm5 form;
        QCOMPARE(form.MakeLines(), QList<QByteArray>());
        form.VoxEdit1->setText(QStringLiteral("talvin"));
        QCOMPARE(form.MakeLines(), QList<QByteArray>({"JOIN #talvin"}));
        form.VoxCheckBox1->setChecked(true);
        form.VoxCheckBox2->setChecked(true);
        form.VoxCheckBox4->setChecked(true);
        form.VoxCheckBox3->setChecked(true);
        form.VoxEdit2->setText(QStringLiteral("secret word"));
        QCOMPARE(form.MakeLines(),
                 QList<QByteArray>({"JOIN #talvin secret", "MODE #talvin +pmnk secret"}));
        // Nothing after a blank reaches the server as more parameters.
        form.VoxEdit1->setText(QStringLiteral("&чат 0,#other"));
        form.VoxCheckBox3->setChecked(false);
        QCOMPARE(form.MakeLines(),
                 QList<QByteArray>({"JOIN &\xF7\xE0\xF2", "MODE &\xF7\xE0\xF2 +pmn"}));

        QVERIFY(ActivateWindow(&form));
        QCOMPARE(UnlabelledControls(&form), QStringList());
        form.hide();
    }

    void makeCreatesTheChannelWithItsModesAtTheServer()
    {
        NgircdServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        WizardTestHost host;
        MessageCloser closer(host.voice.recording);
        TForm5 form;
        QVERIFY(ActivateWindow(&form));
        QTest::keyClick(form.VoxButton1, Qt::Key_Space); // not connected: said, not sent
        QCOMPARE(closer.seen.size(), 1);
        QCOMPARE(closer.seen[0].text, QStringLiteral("Введите имя канала"));

        host.client.Host = server.host();
        host.client.Port = server.port();
        host.client.SetNick("maker");
        host.client.Connect();
        QTRY_COMPARE_WITH_TIMEOUT(int(host.client.State()), int(stConnected), 10000);
        QVERIFY(ActivateWindow(&form));
        form.VoxEdit1->setFocus();
        Type(QStringLiteral("talvin"));
        // (ngircd has no private mode "p"; moderated, no outside messages and a key it has.)
        form.VoxCheckBox2->setChecked(true);
        form.VoxCheckBox4->setChecked(true);
        form.VoxCheckBox3->setChecked(true);
        form.VoxEdit2->setText(QStringLiteral("secret"));
        QTest::keyClick(form.VoxButton1, Qt::Key_Space);
        QVERIFY(!form.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(host.client.Channels().Get("#talvin"), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(host.client.Channels().Get("#talvin")->ModeString(),
                                  QByteArray("+nmk secret"), 10000);
        QCOMPARE(closer.seen.size(), 1);
    }

    void desktopLinksGoThroughTheDesktopServices()
    {
        WizardTestHost host;
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler("https", &catcher, "open");
        QDesktopServices::setUrlHandler("mailto", &catcher, "open");
        QVERIFY(OpenWebAddress(QStringLiteral("example.org/talvin")));
        QVERIFY(OpenNewMail(QStringLiteral("ivan@example.ru")));
        QVERIFY(OpenNewMail(QStringLiteral("mailto:anna@example.ru")));
        QDesktopServices::unsetUrlHandler("https");
        QDesktopServices::unsetUrlHandler("mailto");
        QCOMPARE(catcher.urls,
                 QList<QUrl>({QUrl("https://example.org/talvin"), QUrl("mailto:ivan@example.ru"),
                              QUrl("mailto:anna@example.ru")}));
    }

    void userFieldIsOneWordServersAccept()
    {
        QCOMPARE(IrcUserField(QStringLiteral("ivan"), QStringLiteral("nick")), QByteArray("ivan"));
        QCOMPARE(IrcUserField(QStringLiteral("Иван Петров"), QStringLiteral("ivan_p")),
                 QByteArray("ivan_p"));
        QCOMPARE(IrcUserField(QStringLiteral("Ivan Petrov"), QStringLiteral("[Ivan]")),
                 QByteArray("Ivan"));
        QCOMPARE(IrcUserField(QStringLiteral("Иван"), QStringLiteral("Ваня")), QByteArray("user"));
        QCOMPARE(IrcUserField(QStringLiteral("averyverylongname"), QString()),
                 QByteArray("averyveryl"));
        QCOMPARE(ToConnectionText(QStringLiteral("Ник")), QByteArray("\xCD\xE8\xEA"));
    }
};

QTEST_MAIN(TestSmallForms)
#include "test_small_forms.moc"
