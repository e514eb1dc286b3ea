// Start-up without a working speech-dispatcher: a dead address and a daemon that never
// answers are both given up, and the voices speak with espeak-ng.

#include "speech/espeak_engine.h"
#include "speech/speech_dispatcher_engine.h"
#include "speech/tspeech.h"

#include <QTemporaryDir>
#include <QTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace {

bool hasDispatcherVoices(const TSpeech &speech)
{
    const QStringList names = speech.EngineNames();
    return std::any_of(names.begin(), names.end(),
                       [](const QString &n) { return n.startsWith("speech-dispatcher"); });
}

} // namespace

class TestSpeechFallback : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_silentSocket = -1;

    // A socket that accepts connections (the kernel queues them) but never answers, like a
    // daemon stuck on a missing sound card.
    QByteArray silentDaemonAddress()
    {
        const QByteArray path = m_dir.filePath("silent.sock").toUtf8();
        m_silentSocket = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.constData(), sizeof(address.sun_path) - 1);
        if (::bind(m_silentSocket, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0 ||
            ::listen(m_silentSocket, 16) != 0)
            qFatal("cannot listen on %s", path.constData());
        return "unix_socket:" + path;
    }

private slots:
    void initTestCase()
    {
        if (!TEspeakEngine::available())
            QSKIP("libespeak-ng has no voice data on this machine (package espeak-ng-data)");
    }

    void cleanupTestCase()
    {
        if (m_silentSocket >= 0)
            ::close(m_silentSocket);
    }

    void deadAddressFallsBackToEspeak()
    {
        qputenv("SPEECHD_ADDRESS",
                "unix_socket:" + m_dir.filePath("no/such/dir/speechd.sock").toUtf8());
        // libspeechd may first try to start a daemon there; either way it is given up.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("speech-dispatcher (not reachable|"
                                                              "did not answer within 2000 ms)"));
        TSpeech first;
        QVERIFY(first.Inited());
        QVERIFY(!hasDispatcherVoices(first));
        QVERIFY(first.EngineNames().contains(QStringLiteral("espeak-ng Russian (ru)")));
        first.SelectEngine(QStringLiteral("espeak-ng Russian (ru)"));
        int stops = 0;
        first.OnStop = [&](TSpeech *) { ++stops; };
        first.SetOutput(soFile);
        first.SetFilename(m_dir.filePath("fallback.wav"));
        first.Speak(QStringLiteral("Говорит запасной голос."));
        QTRY_COMPARE_WITH_TIMEOUT(stops, 1, 20000);
        QVERIFY(QFileInfo(m_dir.filePath("fallback.wav")).size() > 10000);

        // The second voice does not try the dead address again (no second warning).
        TSpeech second;
        QVERIFY(!hasDispatcherVoices(second));
        QCOMPARE(second.EngineNames(), first.EngineNames());
    }

    void silentDaemonGivenUp()
    {
        const QByteArray address = silentDaemonAddress();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("did not answer within 300 ms"));
        QVERIFY(!TSpeechDispatcherEngine::connect(address, 300));
        // Remembered: the next attempt does not wait again.
        QVERIFY(!TSpeechDispatcherEngine::connect(address, 60000));

        // The same through the default address, as the program starts.
        qputenv("SPEECHD_ADDRESS", address);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("did not answer within 2000 ms"));
        TSpeech speech;
        QVERIFY(!hasDispatcherVoices(speech));
        QVERIFY(speech.EngineNames().contains(QStringLiteral("espeak-ng Russian (ru)")));
    }
};

QTEST_GUILESS_MAIN(TestSpeechFallback)
#include "test_speech_fallback.moc"
