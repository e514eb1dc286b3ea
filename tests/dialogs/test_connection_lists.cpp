// The server list and the favourites as files: what is loaded, what a save writes, and that
// nothing is lost on the way (descriptions and channels beginning with "er", dates in
// another installation's format, files in Windows-1251 from older installations).

#include "connection_dialogs_host.h"
#include "dialogs/faworit_store.h"
#include "dialogs/server_list_store.h"

class TestConnectionLists : public QObject
{
    Q_OBJECT

private slots:
    void shippedServersLoadWithTheirDates()
    {
        ConnectionDialogsHost host;
        LoadServerList();
        QCOMPARE(ServerCount(), 4);
        const ServerRecord *first = ServerAt(1);
        QCOMPARE(first->Name, QStringLiteral("irc.libera.chat"));
        QCOMPARE(first->Port, quint16(6667));
        QCOMPARE(first->CodePage, QStringLiteral("WIN1251"));
        QCOMPARE(ServerAt(2)->CodePage, QStringLiteral("KOI8"));
        QCOMPARE(first->AddDate, QDateTime(QDate(2026, 12, 1), QTime(12, 0)));
        QCOMPARE(first->LastConnect, first->AddDate);
    }

    void descriptionsBeginningWithErLoadAndRoundTrip()
    {
        ConnectionDialogsHost host;
        host.writeConfig("servers.ini", "[IRCServers]\n"
                                        "Name1=irc.er-net.org\nDesc1=er-net\nPort1=6668\n"
                                        "AddDate1=02.03.2025 10:11:12\nLastConnect1=02.03.2025 "
                                        "10:11:12\nCodePage1=KOI8\n"
                                        "Name2=irc.two.org\nDesc2=err\nPort2=6667\n"
                                        "AddDate2=02.03.2025 10:11:12\nLastConnect2=02.03.2025 "
                                        "10:11:12\nCodePage2=WIN1251\n");
        LoadServerList();
        QCOMPARE(ServerCount(), 2);
        QCOMPARE(ServerAt(1)->Desc, QStringLiteral("er-net"));
        QCOMPARE(ServerAt(1)->Port, quint16(6668));
        QCOMPARE(ServerAt(2)->Desc, QStringLiteral("err"));
        SaveServerList();
        LoadServerList();
        QCOMPARE(ServerCount(), 2);
        QCOMPARE(ServerAt(1)->Name, QStringLiteral("irc.er-net.org"));
        QCOMPARE(ServerAt(2)->Desc, QStringLiteral("err"));
        QVERIFY(host.configText("servers.ini").contains("Desc1=er-net\n"));
    }

    void gapsCloseAndSavesLeaveNoStaleRecords()
    {
        ConnectionDialogsHost host;
        host.writeConfig("servers.ini",
                         "; my servers\n[IRCServers]\n"
                         "Name2=b.org\nDesc2=B\nPort2=7000\nAddDate2=01.01.2024 "
                         "00:00:00\nLastConnect2=05.01.2024 08:00:00\nCodePage2=OEM\n"
                         "Name3=c.org\nDesc3=C\nPort3=6667\nAddDate3=01.01.2024 "
                         "00:00:00\nLastConnect3=01.01.2024 00:00:00\nCodePage3=WIN1251\n"
                         "[Other]\nkeep=1\n");
        LoadServerList();
        QCOMPARE(ServerCount(), 2);
        QCOMPARE(ServerAt(1)->Name, QStringLiteral("b.org"));
        QCOMPARE(ServerAt(1)->Port, quint16(7000));
        QCOMPARE(ServerAt(1)->CodePage, QStringLiteral("OEM"));

        // Deleting writes the shorter list from 1 with nothing left of the old numbers.
        QCOMPARE(DeleteServer(QStringLiteral("B.ORG")), 1);
        const QString text = host.configText("servers.ini");
        QCOMPARE(text, QStringLiteral("; my servers\n[IRCServers]\n"
                                      "Name1=c.org\nDesc1=C\nPort1=6667\n"
                                      "AddDate1=01.01.2024 00:00:00\n"
                                      "LastConnect1=01.01.2024 00:00:00\nCodePage1=WIN1251\n"
                                      "[Other]\nkeep=1\n"));
        // A server not in the list changes nothing.
        QCOMPARE(DeleteServer(QStringLiteral("nowhere.org")), 0);
        QCOMPARE(host.configText("servers.ini"), text);
        QCOMPARE(DeleteServer(QStringLiteral("c.org")), 0); // the list is now empty
        LoadServerList();
        QCOMPARE(ServerCount(), 0);
        QVERIFY(!host.configText("servers.ini").contains("Name"));
    }

    void unreadablePortsAndDatesKeepTheRecord()
    {
        ConnectionDialogsHost host;
        host.writeConfig("servers.ini", "[IRCServers]\nName1=a.org\nDesc1=A\nPort1=abc\n"
                                        "AddDate1=12/1/26 12:00 PM\nLastConnect1=\nCodePage1=KOI8\n"
                                        "Name2=b.org\nDesc2=B\nPort2=70000\n");
        LoadServerList();
        QCOMPARE(ServerCount(), 2);
        QCOMPARE(ServerAt(1)->Port, quint16(6667));
        QCOMPARE(ServerAt(2)->Port, quint16(6667));
        QCOMPARE(ServerAt(2)->CodePage, QStringLiteral("WIN1251"));
        SaveServerList();
        const QString text = host.configText("servers.ini");
        QVERIFY2(text.contains("AddDate1=12/1/26 12:00 PM\n"), qPrintable(text));
        QVERIFY(text.contains("Name2=b.org\n"));
    }

    void oldWindows1251FileStaysWindows1251()
    {
        ConnectionDialogsHost host;
        const QByteArray old = Cp1251(QStringLiteral(
            "; серверы\r\n[IRCServers]\r\nName1=irc.rus-net.org\r\nDesc1=Русская сеть\r\n"
            "Port1=6669\r\nAddDate1=01.02.2003 04:05:06\r\nLastConnect1=01.02.2003 04:05:06\r\n"
            "CodePage1=KOI8\r\n"));
        host.writeConfig("servers.ini", old);
        LoadServerList();
        QCOMPARE(ServerCount(), 1);
        QCOMPARE(ServerAt(1)->Desc, QStringLiteral("Русская сеть"));

        SelectedServer() = QStringLiteral("irc.rus-net.org");
        const int slot = AddServer(QStringLiteral("irc.новый.рф"));
        QCOMPARE(slot, 2);
        ServerAt(slot)->Desc = QStringLiteral("Новый сервер");
        ServerAt(slot)->AddDate = QDateTime(QDate(2026, 12, 6), QTime(8, 0, 1));
        ServerAt(slot)->LastConnect = ServerAt(slot)->AddDate;
        SaveServerList();
        QCOMPARE(
            host.configBytes("servers.ini"),
            Cp1251(QStringLiteral(
                "; серверы\r\n[IRCServers]\r\nName1=irc.rus-net.org\r\nDesc1=Русская "
                "сеть\r\nPort1=6669\r\nAddDate1=01.02.2003 04:05:06\r\nLastConnect1=01.02.2003 "
                "04:05:06\r\nCodePage1=KOI8\r\nName2=irc.новый.рф\r\nDesc2=Новый "
                "сервер\r\nPort2=6667\r\nAddDate2=06.12.2026 08:00:01\r\nLastConnect2=06.12.2026 "
                "08:00:01\r\nCodePage2=WIN1251\r\n")));
        QCOMPARE(DeleteServer(QStringLiteral("irc.rus-net.org")), 1);
        LoadServerList();
        QCOMPARE(ServerAt(1)->Desc, QStringLiteral("Новый сервер"));
        QCOMPARE(GetServerValue(QStringLiteral("Desc1")), QStringLiteral("Новый сервер"));
    }

    void findAddAndTheLimit()
    {
        ConnectionDialogsHost host;
        LoadServerList();
        QCOMPARE(FindServer(QStringLiteral("IRC.LIBERA.CHAT")), 1);
        QCOMPARE(FindServer(QStringLiteral("nowhere")), 0);
        SelectedServer().clear();
        QCOMPARE(AddServer(QStringLiteral("x.org")), 0); // nothing chosen: nothing added
        QCOMPARE(ServerCount(), 4);
        SelectedServer() = QStringLiteral("x");
        QCOMPARE(AddServer(QStringLiteral("irc.libera.chat")), 5);
        QCOMPARE(FindServer(QStringLiteral("irc.libera.chat")), 5); // the last match
        while (ServerCount() < MaxServers)
            QVERIFY(AddServer(QStringLiteral("s%1.org").arg(ServerCount())) > 0);
        QCOMPARE(AddServer(QStringLiteral("one-too-many.org")), 0);
        QCOMPARE(ServerCount(), MaxServers);
        SaveServerList();
        LoadServerList();
        QCOMPARE(ServerCount(), MaxServers);
        QCOMPARE(ServerAt(MaxServers)->Name, QStringLiteral("s199.org"));
    }

    void valuesWithOuterBlanksOrQuotesReadBackUnchanged()
    {
        ConnectionDialogsHost host;
        LoadServerList();
        ServerAt(1)->Desc = QStringLiteral("  padded  ");
        ServerAt(2)->Desc = QStringLiteral("\"quoted\"");
        ServerAt(3)->Desc = QStringLiteral("two\nlines");
        SaveServerList();
        LoadServerList();
        QCOMPARE(ServerAt(1)->Desc, QStringLiteral("  padded  "));
        QCOMPARE(ServerAt(2)->Desc, QStringLiteral("\"quoted\""));
        QCOMPARE(ServerAt(3)->Desc, QStringLiteral("two lines"));
        QCOMPARE(GetServerValue(QStringLiteral("Desc1")), QStringLiteral("  padded  "));
    }

    void chosenServerGoesToConnectIni()
    {
        ConnectionDialogsHost host;
        host.writeConfig("servers.ini", "[IRCServers]\nName1=irc.example.net\nDesc1=x\n"
                                        "Port1=7001\nCodePage1=WIN1251\n");
        // Not loaded yet: the file is consulted.
        ServerList().clear();
        WriteConnectServer(QStringLiteral("IRC.example.net"));
        QCOMPARE(GetConnectValue(QStringLiteral("Server")), QStringLiteral("IRC.example.net"));
        QCOMPARE(GetConnectValue(QStringLiteral("Port")), QStringLiteral("7001"));
        WriteConnectServer(QStringLiteral("irc.unlisted.org"));
        QCOMPARE(GetConnectValue(QStringLiteral("Server")), QStringLiteral("irc.unlisted.org"));
        QCOMPARE(GetConnectValue(QStringLiteral("Port")), QStringLiteral("6667"));
    }

    void favouritesLoadUpToTheFirstMissingChannel()
    {
        ConnectionDialogsHost host;
        host.writeConfig("faworits.ini", "[Faworits]\n"
                                         "FaworChannel1=#er\nFaworPassword1=key\nFaworDescr1=er\n"
                                         "FaworServer1=irc.a.org\n"
                                         "FaworChannel2=\n"
                                         "FaworDescr3=no channel\n"
                                         "FaworChannel4=#later\n");
        LoadFaworitList();
        QCOMPARE(Faworits().size(), 2);
        QCOMPARE(Faworits()[0].channel, QStringLiteral("#er"));
        QCOMPARE(Faworits()[0].password, QStringLiteral("key"));
        QCOMPARE(Faworits()[0].description, QStringLiteral("er"));
        QCOMPARE(Faworits()[1].channel, QString());     // empty, yet present
        QCOMPARE(Faworits()[1].description, QString()); // absent keys read empty

        AddFaworit({QStringLiteral("#new"), QString(), QStringLiteral("Новый"), QString()});
        const QString text = host.configText("faworits.ini");
        QVERIFY2(text.contains("FaworChannel3=#new\n"), qPrintable(text));
        QVERIFY(text.contains("FaworDescr3=Новый\n"));
        QVERIFY(!text.contains("no channel"));
        QVERIFY(text.contains("FaworChannel4=#later\n")); // higher entries stay as they were
        QVERIFY(!text.contains("err-"));
        LoadFaworitList();
        QCOMPARE(Faworits().size(), 4);
        QCOMPARE(Faworits()[3].channel, QStringLiteral("#later"));
    }

    void favouritesInAnOldWindows1251File()
    {
        ConnectionDialogsHost host;
        host.writeConfig("faworits.ini",
                         Cp1251(QStringLiteral("[Faworits]\r\nFaworChannel1=#русский\r\n"
                                               "FaworPassword1=\r\nFaworDescr1=Беседа\r\n"
                                               "FaworServer1=irc.rus-net.org\r\n")));
        LoadFaworitList();
        QCOMPARE(Faworits().size(), 1);
        QCOMPARE(Faworits()[0].channel, QStringLiteral("#русский"));
        AddFaworit({QStringLiteral("#второй"), QStringLiteral("ключ"), QStringLiteral("Ещё"),
                    QStringLiteral("irc.rus-net.org")});
        QCOMPARE(
            host.configBytes("faworits.ini"),
            Cp1251(QStringLiteral(
                "[Faworits]\r\nFaworChannel1=#русский\r\nFaworPassword1=\r\nFaworDescr1="
                "Беседа\r\nFaworServer1=irc.rus-net.org\r\nFaworChannel2=#второй\r\n"
                "FaworPassword2=ключ\r\nFaworDescr2=Ещё\r\nFaworServer2=irc.rus-net.org\r\n")));
    }

    void missingFavouritesFileLoadsNothingAndFullListRefuses()
    {
        ConnectionDialogsHost host;
        QFile::remove(host.programDir.filePath(QStringLiteral("config/faworits.ini")));
        LoadFaworitList();
        QCOMPARE(Faworits().size(), 0);
        Faworits().fill(FaworitRecord{QStringLiteral("#x"), {}, {}, {}}, MaxFaworits);
        SaveFaworitList();
        const QByteArray full = host.configBytes("faworits.ini");
        QVERIFY_THROWS_EXCEPTION(ETalvinError, AddFaworit({QStringLiteral("#y"), {}, {}, {}}));
        QCOMPARE(Faworits().size(), MaxFaworits);
        QCOMPARE(host.configBytes("faworits.ini"), full);
        LoadFaworitList();
        QCOMPARE(Faworits().size(), MaxFaworits);
    }
};

QTEST_MAIN(TestConnectionLists)
#include "test_connection_lists.moc"
