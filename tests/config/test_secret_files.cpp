#include "config/config_files.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The mode a configuration file has after a save through the atomic rewrite, starting from
// an old file everybody may read. (The narrowing at start is tested with the main window.)
class TestSecretFiles : public QObject
{
    Q_OBJECT
private slots:
    void saveSetsTheMode_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("ownerOnly");
        QTest::newRow("favourites") << "faworits.ini"
                                    << "FaworChannel1"
                                    << "#c" << true;
        QTest::newRow("server list") << "servers.ini"
                                     << "Name1"
                                     << "irc.x" << true;
        QTest::newRow("server password") << "connect.ini"
                                         << "Password"
                                         << "pw" << true;
        QTest::newRow("empty password") << "connect.ini"
                                        << "Password"
                                        << "" << false;
        QTest::newRow("no secret") << "user.ini"
                                   << "Nick"
                                   << "me" << false;
    }
    void saveSetsTheMode()
    {
        QFETCH(QString, file);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(bool, ownerOnly);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("config")));
        SetProgramDir(dir.path());
        QFile old(ConfigFilePath(file));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("[S]\n; Password=not a key\n") > 0);
        old.close();
        const auto owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                           QFileDevice::ReadUser | QFileDevice::WriteUser;
        QVERIFY(old.setPermissions(owner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
        SetConfigValue(file, QStringLiteral("S"), key, value);
        QCOMPARE(GetConfigValue(file, QStringLiteral("S"), key), value);
        QCOMPARE(QFile(ConfigFilePath(file)).permissions() == owner, ownerOnly);
    }
};

QTEST_GUILESS_MAIN(TestSecretFiles)
#include "test_secret_files.moc"
