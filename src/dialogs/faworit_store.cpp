#include "dialogs/faworit_store.h"

#include "base/exception.h"
#include "dialogs/numbered_list_file.h"

namespace {

const QString FaworitsFile = QStringLiteral("faworits.ini");
const QString FaworitsSection = QStringLiteral("Faworits");

QString numbered(const char *key, int n)
{
    return QLatin1String(key) + QString::number(n);
}

} // namespace

QList<FaworitRecord> &Faworits()
{
    static QList<FaworitRecord> list;
    return list;
}

void LoadFaworitList()
{
    const ConfigSection file = ConfigSection::read(FaworitsFile, FaworitsSection);
    QList<FaworitRecord> list;
    for (int n = 1; n <= MaxFaworits && file.contains(numbered("FaworChannel", n)); ++n) {
        list.append(
            {file.value(numbered("FaworChannel", n)), file.value(numbered("FaworPassword", n)),
             file.value(numbered("FaworDescr", n)), file.value(numbered("FaworServer", n))});
    }
    Faworits() = list;
}

void SaveFaworitList()
{
    ConfigEntries entries;
    int n = 0;
    for (const FaworitRecord &record : Faworits()) {
        ++n;
        entries.append({numbered("FaworChannel", n), record.channel});
        entries.append({numbered("FaworPassword", n), record.password});
        entries.append({numbered("FaworDescr", n), record.description});
        entries.append({numbered("FaworServer", n), record.server});
    }
    WriteConfigSection(FaworitsFile, FaworitsSection, entries, SectionWrite::UpdateKeys);
}

void AddFaworit(const FaworitRecord &record)
{
    // The file, not what was last loaded, decides the new number: the editor is also opened
    // from the channel list before the favourites window ever loaded the list, and an
    // append to an empty list would overwrite the user's first favourite.
    LoadFaworitList();
    if (Faworits().size() >= MaxFaworits)
        throw ETalvinError(
            QStringLiteral("Favourites list is full (%1 channels)").arg(MaxFaworits));
    Faworits().append(record);
    try {
        SaveFaworitList();
    } catch (...) {
        Faworits().removeLast(); // not stored, so not listed either
        throw;
    }
}
