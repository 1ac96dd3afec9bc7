#include "settings/clsoption.h"

#include "base/basfile.h"
#include "base/textcodec.h"
#include "settings/basinifile.h"

using namespace Qt::StringLiterals;

const std::array<QByteArray, clsOption::KeyCount>& clsOption::Keys()
{
    static const std::array<QByteArray, KeyCount> keys = {
        "HEADERIMAGE"_ba, "SITENAME"_ba, "CATCHCOPY1"_ba, "CATCHCOPY2"_ba,
        "CATCHCOPY3"_ba,  "SHOPID"_ba,   "SITEMASTER"_ba, "TAX"_ba,
    };
    return keys;
}

clsOption::clsOption(const QString& iniPath) : m_iniPath(iniPath) {}

bool clsOption::IsIniFileExists() const
{
    return basFile::IsFileExists(m_iniPath);
}

void clsOption::GetOptionIniValue()
{
    // One read gives a consistent set even if the file changes meanwhile.
    const std::array<QByteArray, KeyCount> raw = ReadRawValues(m_iniPath);
    for (int i = 0; i < KeyCount; ++i)
        m_values[size_t(i)] = TextCodec::DecodeShiftJis(raw[size_t(i)]);
}

bool clsOption::SetOptionIniValue()
{
    QByteArray bytes;
    if (!basIniFile::ReadFileBytes(m_iniPath, &bytes))
        return false;
    for (int i = 0; i < KeyCount; ++i) {
        bytes = basIniFile::SetIniValueInBytes(bytes, Section(), Keys()[size_t(i)],
                                               TextCodec::EncodeShiftJis(m_values[size_t(i)]));
    }
    // One replacement: a failure leaves the old file, never half the keys.
    return basIniFile::WriteFileAtomically(m_iniPath, bytes);
}

std::array<QByteArray, clsOption::KeyCount> clsOption::ReadRawValues(const QString& iniPath)
{
    std::array<QByteArray, KeyCount> values;
    QByteArray bytes;
    if (!basIniFile::ReadFileBytes(iniPath, &bytes) || bytes.isEmpty())
        return values;
    const QByteArray section = Section();
    for (int i = 0; i < KeyCount; ++i)
        values[size_t(i)] = basIniFile::GetIniValueFromBytes(bytes, section, Keys()[size_t(i)]);
    return values;
}
