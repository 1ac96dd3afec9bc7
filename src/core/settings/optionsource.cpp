#include "settings/optionsource.h"

#include "base/platform.h"
#include "settings/basinifile.h"
#include "settings/clsoption.h"

struct OptionSource::Stamp
{
    std::filesystem::path path;
    Platform::FileStamp file;
    quint64 writes = 0;

    bool operator==(const Stamp& other) const { return file == other.file && writes == other.writes; }
};

OptionSource::OptionSource(const QString& iniPath) : m_path(iniPath), m_stamp(new Stamp)
{
    // Converted once: the stamp is taken for every line.
    m_stamp->path = Platform::FileSystemPath(iniPath);
}

OptionSource::~OptionSource() = default;

const OptionValues& OptionSource::Read()
{
    Stamp now;
    now.writes = basIniFile::WriteCount();
    now.file = Platform::StampOf(m_stamp->path); // not valid for a folder either
    if (now == *m_stamp)
        return m_values;
    m_values = clsOption::ReadRawValues(m_path);
    now.path = std::move(m_stamp->path);
    *m_stamp = std::move(now);
    return m_values;
}
