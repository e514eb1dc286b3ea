// The whole engine against a real IRC server: Debian's ngircd on a loopback port, with two
// real clients talking to each other through it; and its TLS port, with a certificate
// authority and a server certificate for "localhost" made here by the openssl command:
// verified, refused for a name the certificate does not carry or an unknown authority, let
// through by an accepted fingerprint, and a whole IRC session over it.
#include "file_bytes.h"
#include "irc_event_log.h"
#include "ngircd_server.h"

#include "irc/connection_intercept.h"
#include "irc/irc_read_thread.h"
#include "irc/socket_handler.h"
#include "irc/tls_session.h"

#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// One client on the test server with everything it raises and sends written down.
struct Client
{
    explicit Client(const QByteArray &nick)
    {
        irc.SetNick(nick);
        irc.AltNick = nick + "_";
        irc.Username = "u" + nick;
        irc.RealName = "Real " + nick;
        irc.Intercept = &intercept;
        log.bind(irc);
        irc.OnSend = [this](TIrcClient *, const QByteArray &line) { sent << line; };
        intercept.OnDisconnect = [this](TConnectionIntercept *) { log.lines << "Closed"; };
    }

    TConnectionIntercept intercept; // declared first: it outlives the client
    TIrcClient irc;
    IrcEventLog log;
    QByteArrayList sent;

    // Waits until count logged lines start with prefix.
    bool waitFor(const QByteArray &prefix, int count = 1)
    {
        const QString start = '^' + QRegularExpression::escape(QString::fromLatin1(prefix));
        return QTest::qWaitFor([&] { return Grep(log.lines, start).size() >= count; }, 5000);
    }
    QByteArray dump() const { return "\n  " + log.lines.join("\n  "); }
    void connectTo(const NgircdServer &server)
    {
        irc.Host = server.host();
        irc.Port = server.port();
        irc.Connect();
    }
    bool registered()
    {
        return QTest::qWaitFor([&] { return irc.State() == stConnected; }, 5000);
    }
    // A member's flags in this client's record of channel, -1 when not listed.
    int flags(const QByteArray &channel, const QByteArray &nick)
    {
        TIrcChannel *record = irc.Channels().Get(channel);
        const int index = record ? record->Names().IndexOf(nick) : -1;
        return index < 0 ? -1 : record->Names().Flags(index);
    }
    TIrcChannel *chan(const QByteArray &name) { return irc.Channels().Get(name); }
};

#define WAIT(client, line) QVERIFY2((client).waitFor(line), (client).dump())

} // namespace

class TestIrcNgircd : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<NgircdServer> m_server;
    quint16 m_tlsPort = 0;
    QString m_fingerprint; // as `openssl x509 -fingerprint -sha256` prints it

    QString file(const char *name) const { return m_dir.filePath(QLatin1String(name)); }
    QByteArray openssl(const QStringList &arguments)
    {
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        process.start(QStringLiteral("openssl"), arguments);
        if (!process.waitForFinished(30000) || process.exitCode() != 0)
            qWarning("openssl %s: %s", qUtf8Printable(arguments.join(' ')),
                     process.readAllStandardError().constData());
        return process.readAllStandardOutput();
    }
    void useAuthority(const QString &caFile) { qputenv("SSL_CERT_FILE", caFile.toLocal8Bit()); }

    // Two registered clients on the shared server, both in channel.
    bool pair(Client &a, Client &b, const QByteArray &channel)
    {
        a.connectTo(*m_server);
        b.connectTo(*m_server);
        if (!a.registered() || !b.registered())
            return false;
        a.irc.Join(channel);
        if (!a.waitFor("Joined " + channel + " active=1"))
            return false;
        b.irc.Join(channel);
        return b.waitFor("Joined " + channel + " active=1") &&
               a.waitFor("Join <" + b.irc.CurrentNick() + "> " + channel);
    }

private slots:
    void initTestCase()
    {
        const QString subject = QStringLiteral("-subj");
        openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", subject, "/CN=Talvin Test CA",
                 "-keyout", "ca.key", "-out", "ca.pem", "-days", "2"});
        openssl({"req", "-newkey", "rsa:2048", "-nodes", subject, "/CN=localhost", "-keyout",
                 "server.key", "-out", "server.csr"});
        QVERIFY(WriteBytes(file("ext.cnf"), "subjectAltName=DNS:localhost\n"));
        openssl({"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                 "-CAcreateserial", "-out", "server.pem", "-days", "2", "-extfile", "ext.cnf"});
        const QByteArray printed =
            openssl({"x509", "-in", "server.pem", "-noout", "-fingerprint", "-sha256"});
        m_fingerprint = QString::fromLatin1(printed.split('=').value(1).trimmed());
        QVERIFY(!m_fingerprint.isEmpty());
        // ngircd reads its certificate after it has become "nobody".
        const auto readable = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                              QFile::ReadOther | QFile::ExeOwner | QFile::ExeGroup |
                              QFile::ExeOther;
        QFile::setPermissions(m_dir.path(), readable);
        for (const char *name : {"server.pem", "server.key"})
            QFile::setPermissions(file(name), readable);

        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        m_tlsPort = probe.serverPort();
        probe.close();
        NgircdServer::Options options;
        options.extraGlobal = "[SSL]\n\tCertFile = " + file("server.pem").toLocal8Bit() +
                              "\n\tKeyFile = " + file("server.key").toLocal8Bit() +
                              "\n\tPorts = " + QByteArray::number(m_tlsPort) + "\n";
        m_server = std::make_unique<NgircdServer>(options);
        QVERIFY2(m_server->start(), qPrintable(m_server->errorString()));
        // The kernel accepts connections while ngircd still makes its TLS parameters and
        // serves nobody, on either port: wait until a handshake completes.
        QVERIFY(QTest::qWaitFor(
            [&] {
                try {
                    TSocketHandler probe;
                    probe.UseTls = true;
                    probe.ConnectTo(QStringLiteral("localhost"), m_tlsPort, QString(), 0);
                } catch (const ECertificateRefused &) {
                } catch (const ETalvinError &) {
                    return false;
                }
                return true;
            },
            30000));
    }

    void cleanupTestCase()
    {
        m_server.reset();
        QVERIFY(QTest::qWaitFor([] { return TIrcReadThread::RunningCount() == 0; }, 5000));
    }

    // Topic, nicks, modes, parts and kicks: both clients' registries follow.
    void channelLifeTrackedByBothClients()
    {
        Client a("chanop");
        Client b("member");
        QVERIFY(pair(a, b, "#life"));
        for (Client *c : {&a, &b}) // the creator is an operator
            QCOMPARE(QList<int>({c->flags("#life", "chanop"), c->flags("#life", "member")}),
                     QList<int>({MemberOp, 0}));
        a.irc.SetTopic("#life", "the topic text");
        WAIT(b, "Topic <chanop> #life #life the topic text");
        QCOMPARE(b.chan("#life")->Topic(), QByteArray("the topic text"));
        b.irc.SetNick("member2");
        WAIT(a, "NickChange <member> member2");
        WAIT(b, "NickChanged member -> member2");
        QCOMPARE(a.flags("#life", "member") + a.flags("#life", "member2"), -1 + 0);
        // The op's registry holds no user record for a member that joined after it and has
        // said nothing, so its event carries no target there.
        a.irc.Mode("#life", "+o", "member2");
        WAIT(b, "Op <chanop> #life <member2>");
        WAIT(a, "Op <chanop> #life nil");
        b.irc.Mode("#life", "+v", "chanop");
        WAIT(a, "Voice <member2> #life <chanop>");
        QCOMPARE(a.flags("#life", "chanop"), MemberOp | MemberVoice);
        a.irc.Mode("#life", "+kl", "sesame 10");
        a.irc.Mode("#life", "+b", "bad!*@*");
        WAIT(b, "Ban <chanop> #life bad!*@*");
        QVERIFY(b.log.has("ChannelMode <chanop> #life #life [+kl sesame 10]"));
        QCOMPARE(b.chan("#life")->ModeString(), QByteArray("+lk 10 sesame"));
        // The key is needed to come back in; the joiner's mode query then fills its record.
        b.irc.Part("#life", "going away");
        WAIT(a, "Part <member2> #life reason=going away");
        WAIT(b, "Parted #life active=0 leftby=1");
        QCOMPARE(a.flags("#life", "member2"), -1);
        b.irc.Join("#life");
        WAIT(b, "Error <> 475 ");
        b.irc.Join("#life", "sesame");
        WAIT(a, "Join <member2> #life");
        QVERIFY(QTest::qWaitFor(
            [&] { return b.chan("#life") && b.chan("#life")->Key() == "sesame"; }, 5000));
        QCOMPARE(b.chan("#life")->Limit(), 10);
        a.irc.Kick("#life", "member2", "out you go");
        WAIT(a, "Kick <chanop> <member2> #life reason=out you go");
        WAIT(b, "Kicked <chanop> #life reason=out you go leftby=2");
        QVERIFY(!b.chan("#life") && a.flags("#life", "member2") == -1);
        QVERIFY(a.log.find("ReadError").isEmpty() && b.log.find("ReadError").isEmpty());
    }

    void quitClosesTheConnection()
    {
        Client a("quitter");
        Client b("watcher");
        QVERIFY(pair(a, b, "#quit"));
        a.log.take();
        a.irc.Quit("bye now");
        // The server answers QUIT by closing; the client notices through its reading thread.
        // A close by the server is not the client's own Disconnect: no event, state kept.
        WAIT(a, "Disconnected");
        QCOMPARE(Grep(a.log.lines, "^(Closed|Disconnect)"),
                 (QByteArrayList{"Closed", "Disconnected"}));
        QCOMPARE(a.irc.State(), stConnected);
        WAIT(b, "Quit <quitter> ");
        QVERIFY(b.log.find("Quit <quitter> ").contains("bye now"));
        QCOMPARE(b.flags("#quit", "quitter"), -1);
        // Sending now reports the closed connection instead of writing.
        a.irc.Say("#quit", "hello?");
        QVERIFY(a.log.has("Error nil  Not connected to server."));
        // The client can connect again; now it names the server it knows in USER.
        a.sent.clear();
        a.connectTo(*m_server);
        QVERIFY(a.registered());
        QVERIFY2(a.sent.at(1).endsWith(" irc.test.local :Real quitter"), a.sent.at(1).constData());
        a.irc.Join("#quit");
        WAIT(b, "Join <quitter> #quit");
    }

    void handshake_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("accepted"); // "right", "wrong" or none
        QTest::addColumn<bool>("ownAuthority");
        QTest::addColumn<QString>("refusal"); // empty: the connection is made
        const auto row = [](const char *name, const char *host, const char *accepted,
                            bool ownAuthority, const char *refusal) {
            QTest::newRow(name) << host << accepted << ownAuthority << refusal;
        };
        row("verified", "localhost", "", true, "");
        row("name not in the certificate", "127.0.0.1", "", true, "IP address mismatch");
        row("unknown authority", "localhost", "", false, "unable to get local issuer certificate");
        row("accepted fingerprint", "127.0.0.1", "right", true, "");
        row("another accepted fingerprint", "127.0.0.1", "wrong", true, "IP address mismatch");
    }

    void handshake()
    {
        QFETCH(QString, host);
        QFETCH(QString, accepted);
        QFETCH(bool, ownAuthority);
        useAuthority(ownAuthority ? file("ca.pem") : file("ext.cnf"));
        TSocketHandler handler;
        handler.UseTls = true;
        if (accepted == QLatin1String("right"))
            handler.Tls.AcceptedFingerprint = m_fingerprint.toLower(); // case does not matter
        else if (accepted == QLatin1String("wrong"))
            handler.Tls.AcceptedFingerprint = // another first byte
                QString(m_fingerprint).replace(0, 2, m_fingerprint.startsWith("00") ? "11" : "00");
        QString refused, offered;
        try {
            handler.ConnectTo(host, m_tlsPort, QString(), 0);
        } catch (const ECertificateRefused &error) {
            refused = error.message();
            offered = error.Fingerprint();
        }
        QTEST(refused, "refusal");
        if (!refused.isEmpty())
            QCOMPARE(offered, m_fingerprint);
        else
            QCOMPARE(handler.Handle()->Tls()->Verified(), accepted.isEmpty());
        handler.Close();
    }

    void sessionOverTls()
    {
        useAuthority(file("ca.pem"));
        TIrcClient client;
        client.IOHandler = std::make_shared<TSocketHandler>();
        client.IOHandler->UseTls = true;
        client.Host = QStringLiteral("localhost");
        client.Port = m_tlsPort;
        client.SetNick("tlsuser");
        QByteArrayList received;
        client.OnReceive = [&](TIrcClient *, QByteArray &line) { received << line; };
        client.Connect();
        QTRY_COMPARE_WITH_TIMEOUT(client.State(), stConnected, 10000);
        // Lines both ways: a paste of lines and the server's answers, in order.
        for (int i = 0; i < 50; ++i)
            client.Raw("PING :n" + QByteArray::number(i));
        QTRY_VERIFY_WITH_TIMEOUT(!received.isEmpty() && received.last().endsWith(":n49"), 10000);
        client.Quit("bye");
        QTRY_VERIFY_WITH_TIMEOUT(!client.Connected(), 10000);
    }
};

QTEST_GUILESS_MAIN(TestIrcNgircd)
#include "test_irc_ngircd.moc"
