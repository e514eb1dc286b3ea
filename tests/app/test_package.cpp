// The Debian package, unpacked into a scratch root and started from PATH with an empty home, as
// a new user would: it makes its program directory, greets, connects to a real server, and a
// second start hands over to it.
#include "file_bytes.h"
#include "ngircd_server.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool Run(const QString &program, const QStringList &args, QByteArray *out = nullptr,
         const QString &dir = QString())
{
    QProcess process;
    process.setWorkingDirectory(dir);
    process.start(program, args);
    if (!process.waitForFinished(300000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        qWarning() << program << args << process.readAllStandardError().right(2000);
        return false;
    }
    if (out)
        *out = process.readAllStandardOutput();
    return true;
}

} // namespace

class TestPackage : public QObject
{
    Q_OBJECT
private slots:
    void installedPackageStartsFromPath()
    {
        QTemporaryDir scratch;
        const QString pkg = scratch.filePath("pkg");
        const QString root = scratch.filePath("root");
        QVERIFY(Run("cpack", {"-G", "DEB", "-B", pkg}, nullptr,
                    qEnvironmentVariable("TALVIN_BUILD_DIR")));
        const QStringList debs = QDir(pkg).entryList({"talvin_*.deb"});
        QCOMPARE(debs.size(), 1);
        const QString deb = pkg + QLatin1Char('/') + debs.first();
        QByteArray depends;
        QVERIFY(Run("dpkg-deb", {"-f", deb, "Depends"}, &depends));
        for (const char *needed : {"libqt6widgets6", "libqt6network6", "libqt6multimedia6",
                                   "libspeechd2", "libespeak-ng1", "speech-dispatcher"})
            QVERIFY2(depends.contains(needed), depends.constData());
        QVERIFY(Run("dpkg", {"-x", deb, root}));
        for (const char *file :
             {"applications/org.talvin.Talvin.desktop", "metainfo/org.talvin.Talvin.metainfo.xml",
              "icons/hicolor/scalable/apps/org.talvin.Talvin.svg", "talvin/config/caption.ini",
              "talvin/config/send.wav"})
            QVERIFY2(QFile::exists(root + "/usr/share/" + QLatin1String(file)), file);
        const QString share = root + "/usr/share/";
        QVERIFY(Run("appstreamcli",
                    {"validate", "--no-net", share + "metainfo/org.talvin.Talvin.metainfo.xml"}));
        QVERIFY(Run("desktop-file-validate", {share + "applications/org.talvin.Talvin.desktop"}));

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        const QString home = scratch.filePath("home");
        env.insert("HOME", home);
        env.remove("XDG_DATA_HOME");
        env.remove("TALVIN_HOME");
        env.insert("LANG", "ru_RU.UTF-8");
        env.insert("PATH", root + "/usr/bin:" + env.value("PATH"));
        // The shell looks the program up in the new PATH, as a launcher would.
        auto talvin = [&](const QString &arg = QString()) {
            auto *process = new QProcess(this);
            process->setProcessEnvironment(env);
            process->start("sh", {"-c", "exec talvin " + arg});
            return process;
        };
        QProcess *version = talvin("--version");
        QVERIFY(version->waitForFinished(10000));
        QCOMPARE(version->readAllStandardOutput(), QByteArray("Talvin " TALVIN_VERSION "\n"));

        // Only what a user (or a sighted helper) would add by hand: a transcript to read, and
        // a start straight into a connection to the test server.
        NgircdServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        const QString dir = home + "/.local/share/talvin";
        const QString speech = dir + "/log/speech.txt";
        QVERIFY(WriteBytes(speech, ""));
        QVERIFY(WriteBytes(dir + "/config/caption.ini",
                           ReadBytes(root + "/usr/share/talvin/config/caption.ini")
                               .replace("smode=master", "smode=connect")));
        QVERIFY(WriteBytes(
            dir + "/config/connect.ini",
            "[Connect]\nServer=127.0.0.1\nPort=" + QByteArray::number(server.port()) + "\n"));

        QProcess *first = talvin();
        QVERIFY(first->waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(
            QString::fromUtf8(ReadBytes(speech)).contains("Талвин ай эр це клиент"), 30000);
        QVERIFY(QFile::exists(dir + "/config/servers.ini"));
        QVERIFY(QFile::exists(dir + "/help/helptree.txt"));
        QTRY_VERIFY_WITH_TIMEOUT(ReadBytes(dir + "/log/trafic.log").contains(" 001 "), 30000);

        QProcess *second = talvin();
        QVERIFY(second->waitForFinished(20000));
        QCOMPARE(second->exitCode(), 0);
        QVERIFY(QString::fromLocal8Bit(second->readAllStandardOutput()).contains("уже запущен"));
        QTRY_VERIFY_WITH_TIMEOUT(
            QString::fromUtf8(ReadBytes(speech)).contains("Талвин уже запущен."), 10000);
        first->terminate();
        QVERIFY(first->waitForFinished(20000));
        QCOMPARE(first->exitStatus(), QProcess::NormalExit);
    }
};

QTEST_MAIN(TestPackage)
#include "test_package.moc"
