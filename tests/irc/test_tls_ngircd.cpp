// TLS against ngircd's TLS port, with a certificate authority and a server certificate for
// "localhost" made here by the openssl command: verified, refused for a name the
// certificate does not carry or an unknown authority, let through by an accepted
// fingerprint; and a whole IRC session over it.
#include "ngircd_server.h"

#include "config/config_files.h"
#include "dialogs/server_list_store.h"
#include "irc/irc_client.h"
#include "irc/socket_handler.h"
#include "irc/tls_session.h"

#include <QDir>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

class TestTlsNgircd : public QObject
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

private slots:
    void initTestCase()
    {
        const QString subject = QStringLiteral("-subj");
        openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", subject, "/CN=Talvin Test CA",
                 "-keyout", "ca.key", "-out", "ca.pem", "-days", "2"});
        openssl({"req", "-newkey", "rsa:2048", "-nodes", subject, "/CN=localhost", "-keyout",
                 "server.key", "-out", "server.csr"});
        QFile ext(file("ext.cnf"));
        QVERIFY(ext.open(QIODevice::WriteOnly));
        ext.write("subjectAltName=DNS:localhost\n");
        ext.close();
        openssl({"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                 "-CAcreateserial", "-out", "server.pem", "-days", "2", "-extfile", "ext.cnf"});
        m_fingerprint = QString::fromLatin1(
            openssl({"x509", "-in", "server.pem", "-noout", "-fingerprint", "-sha256"})
                .split('=')
                .value(1)
                .trimmed());
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
    }

    void handshake_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("accepted"); // "right", "wrong" or none
        QTest::addColumn<bool>("ownAuthority");
        QTest::addColumn<QString>("refusal"); // empty: the connection is made
        QTest::newRow("verified") << "localhost"
                                  << "" << true << "";
        QTest::newRow("name not in the certificate") << "127.0.0.1"
                                                     << "" << true << "IP address mismatch";
        QTest::newRow("unknown authority")
            << "localhost"
            << "" << false << "unable to get local issuer certificate";
        QTest::newRow("accepted fingerprint") << "127.0.0.1"
                                              << "right" << true << "";
        QTest::newRow("another accepted fingerprint") << "127.0.0.1"
                                                      << "wrong" << true << "IP address mismatch";
    }

    void handshake()
    {
        QFETCH(QString, host);
        QFETCH(QString, accepted);
        QFETCH(bool, ownAuthority);
        QFETCH(QString, refusal);
        useAuthority(ownAuthority ? file("ca.pem") : file("ext.cnf"));
        TSocketHandler handler;
        handler.UseTls = true;
        if (accepted == QLatin1String("right"))
            handler.Tls.AcceptedFingerprint = m_fingerprint.toLower(); // case does not matter
        else if (accepted == QLatin1String("wrong"))
            handler.Tls.AcceptedFingerprint = QString(m_fingerprint).replace('A', 'B');
        QString refused, offered;
        // The server may still be making its DH parameters: wait for the TLS port.
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                try {
                    handler.ConnectTo(host, m_tlsPort, QString(), 0);
                    refused.clear();
                    return true;
                } catch (const ECertificateRefused &error) {
                    refused = error.message();
                    offered = error.Fingerprint();
                    return true;
                } catch (const ETalvinError &) {
                    return false;
                }
            }(),
            10000);
        QCOMPARE(refused, refusal);
        if (!refused.isEmpty())
            QCOMPARE(offered, m_fingerprint);
        else
            QCOMPARE(handler.Handle()->Tls()->Verified(), accepted.isEmpty());
        handler.Close();
    }

    void acceptedFingerprintIsRemembered()
    {
        // What the program does when the user accepts: the refused certificate's fingerprint
        // goes to servers.ini, and the next connection reads it from there.
        useAuthority(file("ca.pem"));
        SetProgramDir(m_dir.path());
        QDir(m_dir.path()).mkpath(QStringLiteral("config"));
        TSocketHandler first;
        first.UseTls = true;
        QString offered;
        try {
            first.ConnectTo(QStringLiteral("127.0.0.1"), m_tlsPort, QString(), 0);
        } catch (const ECertificateRefused &error) {
            offered = error.Fingerprint();
        }
        QCOMPARE(offered, m_fingerprint);
        StoreServerFingerprint(QStringLiteral("127.0.0.1"), m_tlsPort, offered);

        const std::optional<ServerRecord> record = ReadServerRecord(QStringLiteral("127.0.0.1"));
        QVERIFY(record && record->Tls && record->Port == m_tlsPort);
        TSocketHandler next;
        next.UseTls = true;
        next.Tls.AcceptedFingerprint = record->Fingerprint;
        next.ConnectTo(QStringLiteral("127.0.0.1"), m_tlsPort, QString(), 0);
        QVERIFY(next.Connected() && !next.Handle()->Tls()->Verified());
        next.Close();
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

QTEST_GUILESS_MAIN(TestTlsNgircd)
#include "test_tls_ngircd.moc"
