// The speech filters: rule files of arbitrary bytes (UTF-8 or Windows-1251) loaded, then
// arbitrary texts filtered. A rule table never makes a text explode or the filter hang.
#include "fuzz_input.h"

#include "speech/speech_filters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(bytes) == bytes.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    FuzzInput input(data, size);
    const QString singles = dir.filePath(QStringLiteral("singlerules.ini"));
    const QString multis = dir.filePath(QStringLiteral("multirules.ini"));
    writeFile(singles, input.piece(120));
    writeFile(multis, input.piece(250));
    const QString text = QString::fromUtf8(input.rest());

    FUZZ_CHECK(LoadSingleRules(singles) && LoadMultiRules(multis));
    FUZZ_CHECK(SingleRulesCount() <= SpeechFilters::MaxSingleRules);
    if (text.size() == 1)
        ApplySingleRules(text);
    ApplyMultiRules(text);
    for (const QString &word : text.split(u' '))
        ApplySingleRules(word.left(1)), ApplyMultiRules(word);
    return 0;
}
