// The Debian package, unpacked into a scratch root and started from PATH with an empty home, as
// a new user would: it makes its program directory, greets, connects to a real server, and a
// second start hands over to it.
#include "ngircd_server.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

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
        const QString pkg = scratch.filePath(QStringLiteral("pkg"));
        const QString root = scratch.filePath(QStringLiteral("root"));
        QVERIFY(Run(QStringLiteral("cpack"),
                    {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("-B"), pkg},
                    nullptr, qEnvironmentVariable("TALVIN_BUILD_DIR")));
        const QStringList debs = QDir(pkg).entryList({QStringLiteral("talvin_*.deb")});
        QCOMPARE(debs.size(), 1);
        const QString deb = pkg + QLatin1Char('/') + debs.first();
        QByteArray depends;
        QVERIFY(Run(QStringLiteral("dpkg-deb"),
                    {QStringLiteral("-f"), deb, QStringLiteral("Depends")}, &depends));
        for (const char *needed : {"libqt6widgets6", "libqt6network6", "libqt6multimedia6",
                                   "libspeechd2", "libespeak-ng1", "speech-dispatcher"})
            QVERIFY2(depends.contains(needed), depends.constData());
        QVERIFY(Run(QStringLiteral("dpkg"), {QStringLiteral("-x"), deb, root}));
        for (const char *file :
             {"applications/org.talvin.Talvin.desktop", "metainfo/org.talvin.Talvin.metainfo.xml",
              "icons/hicolor/scalable/apps/org.talvin.Talvin.svg", "talvin/config/caption.ini",
              "talvin/config/send.wav"})
            QVERIFY2(QFile::exists(root + QStringLiteral("/usr/share/") + QLatin1String(file)),
                     file);
        QVERIFY(Run(QStringLiteral("appstreamcli"),
                    {QStringLiteral("validate"), QStringLiteral("--no-net"),
                     root + QStringLiteral("/usr/share/metainfo/org.talvin.Talvin.metainfo.xml")}));
        QVERIFY(Run(QStringLiteral("desktop-file-validate"),
                    {root + QStringLiteral("/usr/share/applications/org.talvin.Talvin.desktop")}));

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        const QString home = scratch.filePath(QStringLiteral("home"));
        env.insert(QStringLiteral("HOME"), home);
        env.remove(QStringLiteral("XDG_DATA_HOME"));
        env.remove(QStringLiteral("TALVIN_HOME"));
        env.insert(QStringLiteral("LANG"), QStringLiteral("ru_RU.UTF-8"));
        env.insert(QStringLiteral("PATH"), root + QStringLiteral("/usr/bin:") + env.value("PATH"));
        // The shell looks the program up in the new PATH, as a launcher would.
        auto talvin = [&](const QString &arg = QString()) {
            auto *process = new QProcess(this);
            process->setProcessEnvironment(env);
            process->setProgram(QStringLiteral("sh"));
            process->setArguments({QStringLiteral("-c"), QStringLiteral("exec talvin ") + arg});
            return process;
        };
        QProcess *version = talvin(QStringLiteral("--version"));
        version->start();
        QVERIFY(version->waitForFinished(10000));
        QCOMPARE(version->readAllStandardOutput(), QByteArray("Talvin " TALVIN_VERSION "\n"));

        // Only what a user (or a sighted helper) would add by hand: a transcript to read, and
        // a start straight into a connection to the test server.
        NgircdServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        const QString dir = home + QStringLiteral("/.local/share/talvin");
        const QString speech = dir + QStringLiteral("/log/speech.txt");
        QVERIFY(WriteFile(speech, ""));
        QVERIFY(WriteFile(dir + QStringLiteral("/config/caption.ini"),
                          ReadFile(root + QStringLiteral("/usr/share/talvin/config/caption.ini"))
                              .replace("smode=master", "smode=connect")));
        QVERIFY(WriteFile(dir + QStringLiteral("/config/connect.ini"),
                          "[Connect]\nServer=127.0.0.1\nPort=" + QByteArray::number(server.port()) +
                              "\n"));

        QProcess *first = talvin();
        first->start();
        QVERIFY(first->waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(
            QString::fromUtf8(ReadFile(speech)).contains(QStringLiteral("Талвин ай эр це клиент")),
            30000);
        QVERIFY(QFile::exists(dir + QStringLiteral("/config/servers.ini")));
        QVERIFY(QFile::exists(dir + QStringLiteral("/help/helptree.txt")));
        QTRY_VERIFY_WITH_TIMEOUT(
            ReadFile(dir + QStringLiteral("/log/trafic.log")).contains(" 001 "), 30000);

        QProcess *second = talvin();
        second->start();
        QVERIFY(second->waitForFinished(20000));
        QCOMPARE(second->exitCode(), 0);
        QVERIFY(QString::fromLocal8Bit(second->readAllStandardOutput())
                    .contains(QStringLiteral("уже запущен")));
        QTRY_VERIFY_WITH_TIMEOUT(
            QString::fromUtf8(ReadFile(speech)).contains(QStringLiteral("Талвин уже запущен.")),
            10000);
        first->terminate();
        QVERIFY(first->waitForFinished(20000));
        QCOMPARE(first->exitStatus(), QProcess::NormalExit);
    }
};

QTEST_MAIN(TestPackage)
#include "test_package.moc"
