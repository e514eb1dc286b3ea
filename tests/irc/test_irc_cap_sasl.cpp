// Capability negotiation and SASL against the scripted peer, byte for byte: what the
// client sends after each server line, and which SASL failures it reports. Then what the
// client reads from ISUPPORT and from the names replies the capabilities change.
#include "scripted_peer.h"

#include "irc/irc_client.h"

#include <QTest>

using L = QByteArrayList;

class TestIrcCapSasl : public QObject
{
    Q_OBJECT

private slots:
    void negotiation_data()
    {
        QTest::addColumn<QByteArray>("mechanism");
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<L>("serverLines");
        QTest::addColumn<QByteArray>("sent"); // after the registration lines
        QTest::addColumn<L>("failures");
        const QByteArray plain = "AUTHENTICATE " + QByteArray("acc\0acc\0pw", 10).toBase64();
        const QByteArray ls = ":s CAP * LS :multi-prefix sasl=PLAIN,EXTERNAL x";
        const QByteArray ackSasl = ":s CAP me ACK :multi-prefix sasl";
        QTest::newRow("server without CAP")
            << QByteArray() << QByteArray("pw") << L{":s 421 me CAP :Unknown command"}
            << QByteArray() << L{};
        QTest::newRow("no CAP, SASL wanted")
            << QByteArray("PLAIN") << QByteArray("pw") << L{":s 421 me CAP :Unknown command"}
            << QByteArray() << L{" The server does not offer SASL"};
        QTest::newRow("caps in two LS lines, no SASL")
            << QByteArray() << QByteArray("pw")
            << L{":s CAP * LS * :away-notify foo", ":s CAP * LS :server-time sasl",
                 ":s CAP * ACK :away-notify server-time"}
            << QByteArray("CAP REQ :away-notify server-time\r\nCAP END\r\n") << L{};
        QTest::newRow("refused") << QByteArray() << QByteArray("pw")
                                 << L{ls, ":s CAP * NAK :multi-prefix"}
                                 << QByteArray("CAP REQ :multi-prefix\r\nCAP END\r\n") << L{};
        QTest::newRow("nothing wanted offered")
            << QByteArray() << QByteArray("pw") << L{":s CAP * LS :foo bar"}
            << QByteArray("CAP END\r\n") << L{};
        QTest::newRow("PLAIN accepted")
            << QByteArray("PLAIN") << QByteArray("pw")
            << L{ls, ackSasl, "AUTHENTICATE +", ":s 900 me me!u@h acc :You are now logged in",
                 ":s 903 me :SASL authentication successful"}
            << "CAP REQ :multi-prefix sasl\r\nAUTHENTICATE PLAIN\r\n" + plain + "\r\nCAP END\r\n"
            << L{};
        QTest::newRow("PLAIN refused")
            << QByteArray("PLAIN") << QByteArray("pw")
            << L{ls, ackSasl, "AUTHENTICATE +", ":s 904 me :SASL authentication failed"}
            << "CAP REQ :multi-prefix sasl\r\nAUTHENTICATE PLAIN\r\n" + plain + "\r\nCAP END\r\n"
            << L{"904 SASL authentication failed"};
        QTest::newRow("mechanism not offered")
            << QByteArray("PLAIN") << QByteArray("pw") << L{":s CAP * LS :sasl=EXTERNAL"}
            << QByteArray("CAP END\r\n") << L{" The server does not offer SASL PLAIN"};
        QTest::newRow("EXTERNAL") << QByteArray("EXTERNAL") << QByteArray()
                                  << L{ls, ackSasl, "AUTHENTICATE +",
                                       ":s 903 me :SASL authentication successful"}
                                  << QByteArray(
                                         "CAP REQ :multi-prefix sasl\r\nAUTHENTICATE EXTERNAL\r\n"
                                         "AUTHENTICATE +\r\nCAP END\r\n")
                                  << L{};
        // 300 bytes make 400 base64 characters: one full piece, then "+".
        const QByteArray longPassword(292, 'p');
        QTest::newRow("response of a full piece")
            << QByteArray("PLAIN") << longPassword
            << L{":s CAP * LS :sasl", ":s CAP * ACK :sasl", "AUTHENTICATE +"}
            << "CAP REQ :sasl\r\nAUTHENTICATE PLAIN\r\nAUTHENTICATE " +
                   (QByteArray("acc\0acc\0", 8) + longPassword).toBase64() +
                   "\r\nAUTHENTICATE +\r\n"
            << L{};
    }
    void negotiation()
    {
        QFETCH(QByteArray, mechanism);
        QFETCH(QByteArray, password);
        QFETCH(L, serverLines);
        QFETCH(QByteArray, sent);
        QFETCH(L, failures);
        ScriptedPeer peer;
        TIrcClient client;
        client.Host = QStringLiteral("127.0.0.1");
        client.Port = peer.port();
        client.BoundIP = QStringLiteral("127.0.0.1");
        client.SetNick("me");
        client.NegotiateCaps = true;
        client.Sasl = {mechanism, "acc", password};
        L failed;
        client.OnSaslFailed = [&](TIrcClient *, const QByteArray &numeric, const QByteArray &text) {
            failed << numeric + ' ' + text;
        };
        client.Connect();
        const QByteArray registration = "CAP LS 302\r\nNICK me\r\nUSER username 127.0.0.1 "
                                        "127.0.0.1 :Real name\r\n";
        QVERIFY(peer.waitForReceived(registration.size()));
        for (const QByteArray &line : serverLines)
            peer.sendLine(line);
        peer.sendLine("PING :sync");
        QVERIFY(peer.waitForReceivedContains("PONG :sync\r\n"));
        QCOMPARE(peer.received(), registration + sent + "PONG :sync\r\n");
        QCOMPARE(failed, failures);
    }

    void isupportAndNames()
    {
        TIrcClient client;
        QByteArrayList networks;
        client.OnNetwork = [&](TIrcClient *, const QByteArray &name) { networks << name; };
        client.Dispatch(":s 001 me :Welcome"); // names the client "me"
        client.Dispatch(":s 005 me CASEMAPPING=ascii CHANTYPES=#& PREFIX=(qov)~@+ "
                        "NETWORK=Libera\\x20Chat :are supported by this server");
        client.Dispatch(":s 005 me NETWORK=Libera\\x20Chat SAFELIST :are supported");
        const TIrcIsupport &is = client.Isupport();
        QCOMPARE(is.CaseMapping + is.ChanTypes + is.PrefixModes + is.PrefixSymbols,
                 QByteArray("ascii#&qov~@+"));
        QCOMPARE(networks, L{"Libera Chat"}); // said once
        QVERIFY(!is.IsChannelName("+c") && is.IsChannelName("&c"));
        client.Dispatch(":me!u@h JOIN #c");
        client.Dispatch(":s 353 me = #c :~@+owner @+opv!u@host +v plain");
        const TIrcNames &names = client.Channels().Get("#c")->Names();
        QByteArray flags;
        for (int i = 0; i < names.Count(); ++i)
            flags += names.Nick(i) + '=' + QByteArray::number(names.Flags(i)) + ' ';
        QCOMPARE(flags, "owner=" + QByteArray::number(MemberOp | MemberVoice) +
                            " opv=" + QByteArray::number(MemberOp | MemberVoice) +
                            " v=" + QByteArray::number(MemberVoice) + " plain=0 ");
        QCOMPARE(client.Users().Get("opv")->Address, QByteArray("u@host"));
        client.Dispatch(":opv!u@host CHGHOST nu new.host");
        QCOMPARE(client.Users().Get("opv")->Address, QByteArray("nu@new.host"));
    }
};

QTEST_MAIN(TestIrcCapSasl)
#include "test_irc_cap_sasl.moc"
