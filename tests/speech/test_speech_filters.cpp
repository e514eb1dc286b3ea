// The character and word filters: file formats, rule order, matching and the scan rule,
// encodings and line ends of rule files, damaged and missing files.

#include "speech/speech_filters.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCodec>

class TestSpeechFilters : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write %s", qPrintable(path));
        file.write(bytes);
        return path;
    }

    static QByteArray cp1251(const QString &text)
    {
        return QTextCodec::codecForName("Windows-1251")->fromUnicode(text);
    }

    void loadMulti(const QString &rulesUtf8)
    {
        QVERIFY(LoadMultiRules(writeFile(QStringLiteral("multirules.ini"), rulesUtf8.toUtf8())));
    }

private slots:
    void init() { ClearSpeechRules(); }

    void noRulesLeaveTextUnchangedButCarriageReturnSilent()
    {
        QCOMPARE(ApplySingleRules(QStringLiteral("x")), QStringLiteral("x"));
        QCOMPARE(ApplyMultiRules(QStringLiteral("hello")), QStringLiteral("hello"));
        QCOMPARE(ApplySingleRules(QStringLiteral("\r")), QString());
    }

    void characterRulesReadSecondAndFifthOnward()
    {
        // Second character replaced; first, third and fourth ignored; the last rule for a
        // character wins; an empty replacement leaves the character as it is.
        QVERIFY(LoadSingleRules(
            writeFile(QStringLiteral("singlerules.ini"), QByteArray("[x]=ex\r\n"
                                                                    "'y'-why\r\n"
                                                                    "'y'-igrek\r\n"
                                                                    "-z--\r\n"
                                                                    "-,- comma\r\n"))));
        QCOMPARE(SingleRulesCount(), 5);
        QCOMPARE(ApplySingleRules(QStringLiteral("x")), QStringLiteral("ex"));
        QCOMPARE(ApplySingleRules(QStringLiteral("X")), QStringLiteral("X"));
        QCOMPARE(ApplySingleRules(QStringLiteral("y")), QStringLiteral("igrek"));
        QCOMPARE(ApplySingleRules(QStringLiteral("z")), QStringLiteral("z"));
        QCOMPARE(ApplySingleRules(QStringLiteral(",")), QStringLiteral("comma"));
        QCOMPARE(ApplySingleRules(QStringLiteral("\r")), QString());
    }

    void characterRulesInWindows1251AndUtf8()
    {
        const QString rules = QStringLiteral("[ё]=йо\r\n[Ё]=большое йо\r\n");
        QVERIFY(LoadSingleRules(writeFile(QStringLiteral("s1251.ini"), cp1251(rules))));
        QCOMPARE(ApplySingleRules(QStringLiteral("ё")), QStringLiteral("йо"));
        QCOMPARE(ApplySingleRules(QStringLiteral("Ё")), QStringLiteral("большое йо"));
        QVERIFY(LoadSingleRules(writeFile(QStringLiteral("sutf8.ini"), rules.toUtf8())));
        QCOMPARE(SingleRulesCount(), 2);
        QCOMPARE(ApplySingleRules(QStringLiteral("ё")), QStringLiteral("йо"));
    }

    void characterRulesBeyondCapacityIgnored()
    {
        QByteArray bytes;
        for (int i = 0; i < 300; ++i)
            bytes += "[" + QByteArray(1, char('A' + i % 26)) + "]=r" + QByteArray::number(i) + "\n";
        QVERIFY(LoadSingleRules(writeFile(QStringLiteral("many.ini"), bytes)));
        QCOMPARE(SingleRulesCount(), 255);
        // Rule 254 (0-based) is the last read: 'A' + 254 % 26 = 'U'.
        QCOMPARE(ApplySingleRules(QStringLiteral("U")), QStringLiteral("r254"));
        // 'V' was last given by rule 229; rule 255 (also 'V') is beyond the table.
        QCOMPARE(ApplySingleRules(QStringLiteral("V")), QStringLiteral("r229"));
    }

    void wordRulesReplaceEverywhereIgnoringCase()
    {
        loadMulti(QStringLiteral("lol=laughing\r\n"));
        QCOMPARE(ApplyMultiRules(QStringLiteral("LOL and lollipop")),
                 QStringLiteral("laughing and laughinglipop"));
        QCOMPARE(ApplyMultiRules(QStringLiteral("lo")), QStringLiteral("lo"));
    }

    void laterRulesSeeEarlierReplacements()
    {
        loadMulti(QStringLiteral("xd=lol\r\nlol=laughing\r\n"));
        QCOMPARE(ApplyMultiRules(QStringLiteral("xd!")), QStringLiteral("laughing!"));
        // In the other order the second rule comes too late.
        loadMulti(QStringLiteral("lol=laughing\r\nxd=lol\r\n"));
        QCOMPARE(ApplyMultiRules(QStringLiteral("xd!")), QStringLiteral("lol!"));
    }

    void scanResumesOnePastTheReplacement()
    {
        loadMulti(QStringLiteral("a=b\r\n"));
        QCOMPARE(ApplyMultiRules(QStringLiteral("aa")), QStringLiteral("ba"));
        QCOMPARE(ApplyMultiRules(QStringLiteral("aXa")), QStringLiteral("bXb"));
        QCOMPARE(ApplyMultiRules(QStringLiteral("aaaa")), QStringLiteral("baba"));
        // A replacement that contains its own source is not rescanned.
        loadMulti(QStringLiteral("ab=abab\r\n"));
        QCOMPARE(ApplyMultiRules(QStringLiteral("ab ab")), QStringLiteral("abab abab"));
        // An empty replacement: scanning goes on one character after the cut.
        loadMulti(QStringLiteral("abc=\r\n"));
        QCOMPARE(ApplyMultiRules(QStringLiteral("xabc abc")), QStringLiteral("x "));
        QCOMPARE(ApplyMultiRules(QStringLiteral("abcabc")), QStringLiteral("abc"));
    }

    void cyrillicMatchesInAnyCase()
    {
        loadMulti(QStringLiteral("привет=здравствуй\r\nЁЖ=ёжик\r\n"));
        QCOMPARE(ApplyMultiRules(QStringLiteral("ПРИВЕТ всем, Привет! ёж")),
                 QStringLiteral("здравствуй всем, здравствуй! ёжик"));
    }

    void lineSplitting()
    {
        // x==y: source x, replacement y. A leading "=" is skipped. No "=" or an empty
        // source: skipped. Further "=" in the replacement are dropped.
        loadMulti(QStringLiteral("x==y\r\n=qq=r\r\nnoequals\r\n==z\r\nkk=a=b=c\r\n"));
        QCOMPARE(MultiRulesCount(), 3);
        QCOMPARE(ApplyMultiRules(QStringLiteral("x qq kk noequals z")),
                 QStringLiteral("y r abc noequals z"));
    }

    void sourceLongerThanTextNeverMatches()
    {
        loadMulti(QStringLiteral("abcdef=X\r\n"));
        QCOMPARE(ApplyMultiRules(QStringLiteral("abc")), QStringLiteral("abc"));
    }

    void readingStopsAtFirstEmptyLine()
    {
        loadMulti(QStringLiteral("one=1\r\n\r\ntwo=2\r\n"));
        QCOMPARE(MultiRulesCount(), 1);
        QCOMPARE(ApplyMultiRules(QStringLiteral("one two")), QStringLiteral("1 two"));
    }

    void lineEnds_data()
    {
        QTest::addColumn<QByteArray>("separator");
        QTest::newRow("CR LF") << QByteArray("\r\n");
        QTest::newRow("LF") << QByteArray("\n");
        QTest::newRow("CR") << QByteArray("\r");
    }

    void lineEnds()
    {
        QFETCH(QByteArray, separator);
        const QByteArray file = cp1251(QStringLiteral("кот=кошка")) + separator + "dog=puppy" +
                                separator + separator + "cow=calf" + separator;
        QVERIFY(LoadMultiRules(writeFile(QStringLiteral("ends.ini"), file)));
        QCOMPARE(MultiRulesCount(), 2);
        QCOMPARE(ApplyMultiRules(QStringLiteral("Кот, dog, cow")),
                 QStringLiteral("кошка, puppy, cow"));
        const QByteArray chars = QByteArray("[a]=alpha") + separator + "[b]=beta" + separator;
        QVERIFY(LoadSingleRules(writeFile(QStringLiteral("chars.ini"), chars)));
        QCOMPARE(ApplySingleRules(QStringLiteral("a")), QStringLiteral("alpha"));
        QCOMPARE(ApplySingleRules(QStringLiteral("b")), QStringLiteral("beta"));
    }

    void utf8AndWindows1251WordRules()
    {
        const QString rules = QStringLiteral("спс=спасибо\nпж=пожалуйста\n");
        QVERIFY(LoadMultiRules(writeFile(QStringLiteral("utf8.ini"), rules.toUtf8())));
        QCOMPARE(ApplyMultiRules(QStringLiteral("СПС, пж")), QStringLiteral("спасибо, пожалуйста"));
        QVERIFY(LoadMultiRules(writeFile(QStringLiteral("cp1251.ini"), cp1251(rules))));
        QCOMPARE(ApplyMultiRules(QStringLiteral("СПС, пж")), QStringLiteral("спасибо, пожалуйста"));
        // "РЁ" in Windows-1251 is also valid UTF-8 ("Ш"); a UTF-8 reading wins then, as
        // for any file that decodes cleanly.
        QVERIFY(LoadMultiRules(
            writeFile(QStringLiteral("ambiguous.ini"), QByteArray("\xD0\xA8=sha\n"))));
        QCOMPARE(ApplyMultiRules(QStringLiteral("Ш ш")), QStringLiteral("sha sha"));
    }

    void byteOrderMarkIsNotPartOfTheFirstRule()
    {
        QVERIFY(LoadMultiRules(writeFile(QStringLiteral("bom.ini"), "\xEF\xBB\xBFlol=laughing\n")));
        QCOMPARE(ApplyMultiRules(QStringLiteral("lol")), QStringLiteral("laughing"));
        QVERIFY(LoadSingleRules(writeFile(QStringLiteral("bom2.ini"), "\xEF\xBB\xBF[q]=queue\n")));
        QCOMPARE(ApplySingleRules(QStringLiteral("q")), QStringLiteral("queue"));
    }

    void wordRulesBeyondCapacityIgnored()
    {
        QByteArray bytes;
        for (int i = 0; i < 65540; ++i)
            bytes += "w" + QByteArray::number(i) + "x=r" + QByteArray::number(i) + "\n";
        QVERIFY(LoadMultiRules(writeFile(QStringLiteral("huge.ini"), bytes)));
        QCOMPARE(MultiRulesCount(), 65535);
        QCOMPARE(ApplyMultiRules(QStringLiteral("w65534x w65535x")),
                 QStringLiteral("r65534 w65535x"));
    }

    void missingFilesLeaveSpeechUnfiltered()
    {
        loadMulti(QStringLiteral("a=b\n"));
        QVERIFY(LoadSingleRules(writeFile(QStringLiteral("c.ini"), QByteArray("[a]=b\n"))));
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("Speech rules .*absent.ini not read"));
        QVERIFY(!LoadMultiRules(m_dir.filePath(QStringLiteral("absent.ini"))));
        QCOMPARE(MultiRulesCount(), 0);
        QCOMPARE(ApplyMultiRules(QStringLiteral("aa")), QStringLiteral("aa"));
        // A missing character rule file keeps the rules already loaded.
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("Speech rules .*absent.ini not read"));
        QVERIFY(!LoadSingleRules(m_dir.filePath(QStringLiteral("absent.ini"))));
        QCOMPARE(ApplySingleRules(QStringLiteral("a")), QStringLiteral("b"));
    }

    void sameResultsAsPlainScanOfEveryRule()
    {
        // The filter skips rules that cannot match; compare it with the plain algorithm:
        // every rule in order, every position, upper-cased comparison, resume one past
        // the replacement. Small alphabets make rules overlap and feed each other.
        const QString alphabet = QStringLiteral("abAB аБя");
        QRandomGenerator random(7);
        auto word = [&](int min, int max) {
            QString w;
            for (int n = random.bounded(min, max + 1); n > 0; --n)
                w += alphabet[random.bounded(alphabet.size())];
            return w;
        };
        for (int round = 0; round < 40; ++round) {
            QList<QPair<QString, QString>> rules;
            QString file;
            for (int i = 0; i < 30; ++i) {
                QString source = word(1, 4).remove(u'=');
                if (source.trimmed().isEmpty())
                    source = QStringLiteral("a");
                rules.append({source, word(0, 5)});
                file += source + u'=' + rules.last().second + u'\n';
            }
            QVERIFY(LoadMultiRules(writeFile(QStringLiteral("random.ini"), file.toUtf8())));
            for (int t = 0; t < 20; ++t) {
                const QString text = word(2, 40);
                QString expected = text;
                for (const auto &[source, replacement] : rules) {
                    const qsizetype length = source.size();
                    qsizetype i = 0;
                    while (i <= expected.size() - length) {
                        if (expected.mid(i, length).toUpper() == source.toUpper()) {
                            expected = expected.left(i) + replacement + expected.mid(i + length);
                            i += replacement.size() + 1;
                        } else {
                            ++i;
                        }
                    }
                }
                QCOMPARE(ApplyMultiRules(text), expected);
            }
        }
    }

    void damagedFilesDoNotCrash()
    {
        // Binary junk, a lone "=" and one-character lines load without harm.
        QByteArray junk;
        for (int i = 1; i < 256; ++i)
            junk.append(char(i == 10 || i == 13 ? 'x' : i));
        QVERIFY(LoadMultiRules(writeFile(QStringLiteral("junk.ini"), junk + "\n=\nq\n")));
        QVERIFY(LoadSingleRules(writeFile(QStringLiteral("junk2.ini"), "q\n" + junk)));
        QCOMPARE(ApplySingleRules(QStringLiteral("q")), QStringLiteral("q"));
        ApplyMultiRules(QStringLiteral("anything at all"));
    }
};

QTEST_GUILESS_MAIN(TestSpeechFilters)
#include "test_speech_filters.moc"
