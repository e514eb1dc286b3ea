#include "dialogs/numbered_list_file.h"

#include "config/config_files.h"
#include "config/ini_file.h"

ConfigSection ConfigSection::read(const QString &fileName, const QString &section)
{
    ConfigSection result;
    const std::optional<IniFile> file = IniFile::load(ConfigFilePath(fileName));
    if (!file)
        return result;
    result.m_fileExists = true;
    result.m_values = file->sectionValues(section);
    return result;
}

void WriteConfigSection(const QString &fileName, const QString &section,
                        const ConfigEntries &entries, SectionWrite mode)
{
    const QString path = ConfigFilePath(fileName);
    IniFile file = IniFile::loadForUpdate(path);
    if (mode == SectionWrite::ReplaceKeys)
        file.replaceKeys(section, entries);
    else
        file.setValues(section, entries);
    file.save(path);
}
