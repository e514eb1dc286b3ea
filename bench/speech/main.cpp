// Word filter with a full table: 65,535 rules (Russian words of 3 to 8 letters, as a user's
// abbreviation and pronunciation list grows), applied to a 200-character chat line in
// which some of them occur in other letter cases. Prints one line per figure.

#include "speech/speech_filters.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextCodec>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const QString Letters = QStringLiteral("абвгдеёжзийклмнопрстуфхцчшщъыьэюя");

QString randomWord(QRandomGenerator &random, int minLength, int maxLength)
{
    const int length = random.bounded(minLength, maxLength + 1);
    QString word;
    for (int i = 0; i < length; ++i)
        word += Letters[random.bounded(Letters.size())];
    return word;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main()
{
    QRandomGenerator random(20261206);
    QStringList sources;
    QString rules;
    for (int i = 0; i < SpeechFilters::MaxMultiRules; ++i) {
        const QString source = randomWord(random, 3, 8);
        sources << source;
        rules += source + u'=' + randomWord(random, 3, 10) + QStringLiteral("\r\n");
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("multirules.ini"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        file.write(QTextCodec::codecForName("Windows-1251")->fromUnicode(rules));
    }

    QElapsedTimer timer;
    timer.start();
    if (!LoadMultiRules(path) || MultiRulesCount() != SpeechFilters::MaxMultiRules)
        return 1;
    const double loadMs = timer.nsecsElapsed() / 1e6;

    // Ordinary words with eight rule sources among them, some in capitals.
    QString line;
    while (line.size() < 200) {
        QString word = random.bounded(5) == 0 ? sources[random.bounded(sources.size())]
                                              : randomWord(random, 2, 9);
        if (random.bounded(3) == 0)
            word = word.toUpper();
        line += word + u' ';
    }
    line.truncate(200);

    QString result;
    std::vector<double> rounds;
    for (int round = 0; round < 21; ++round) {
        timer.restart();
        result = ApplyMultiRules(line);
        rounds.push_back(timer.nsecsElapsed() / 1e3);
    }
    if (result == line)
        return 1; // the line holds rule sources: something must have changed

    std::printf("multirules_load_65535_ms %.1f ms\n", loadMs);
    std::printf("multirules_65535_us %.0f us\n", median(rounds));
    return 0;
}
