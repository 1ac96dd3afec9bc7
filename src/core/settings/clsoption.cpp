#include "settings/clsoption.h"

#include "base/basfile.h"
#include "base/textcodec.h"
#include "settings/basinifile.h"
#include "settings/siteurl.h"

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
    QByteArray bytes;
    if (!basIniFile::ReadFileBytes(m_iniPath, &bytes))
        bytes.clear();
    const TextEncoding encoding = basIniFile::FileEncoding(bytes);
    for (int i = 0; i < KeyCount; ++i) {
        m_values[size_t(i)] = TextCodec::Decode(
            basIniFile::GetIniValueFromBytes(bytes, Section(), Keys()[size_t(i)]), encoding);
    }
    m_siteUrl = TextCodec::Decode(basIniFile::GetIniValueFromBytes(bytes, Section(), SiteUrl::Key),
                                  encoding);
}

std::array<QStringList, clsOption::KeyCount> clsOption::UnencodableCharacters() const
{
    std::array<QStringList, KeyCount> lost;
    QByteArray bytes;
    // A file that cannot be read is not written either; nothing is lost.
    if (!basIniFile::ReadFileBytes(m_iniPath, &bytes))
        return lost;
    const TextEncoding encoding = basIniFile::FileEncoding(bytes);
    for (int i = 0; i < KeyCount; ++i)
        lost[size_t(i)] = TextCodec::UnencodableCharacters(m_values[size_t(i)], encoding);
    return lost;
}

bool clsOption::SetOptionIniValue(bool asUtf8)
{
    QByteArray bytes;
    if (!basIniFile::ReadFileBytes(m_iniPath, &bytes))
        return false;
    if (asUtf8)
        bytes = basIniFile::ToUtf8WithBom(bytes);
    // A file saved as UTF-8 by an editor stays UTF-8; a new one is Shift_JIS.
    const TextEncoding encoding = basIniFile::FileEncoding(bytes);
    for (int i = 0; i < KeyCount; ++i) {
        bytes = basIniFile::SetIniValueInBytes(bytes, Section(), Keys()[size_t(i)],
                                               TextCodec::Encode(m_values[size_t(i)], encoding));
    }
    bool hasSiteUrl = false;
    basIniFile::GetIniValueFromBytes(bytes, Section(), SiteUrl::Key, &hasSiteUrl);
    if (hasSiteUrl || !m_siteUrl.isEmpty())
        bytes = basIniFile::SetIniValueInBytes(bytes, Section(), SiteUrl::Key,
                                               TextCodec::Encode(m_siteUrl, encoding));
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
    const bool utf8 = basIniFile::FileEncoding(bytes) == TextEncoding::Utf8;
    for (int i = 0; i < KeyCount; ++i) {
        QByteArray value = basIniFile::GetIniValueFromBytes(bytes, section, Keys()[size_t(i)]);
        // Pages are Shift_JIS: what it cannot hold becomes a character
        // reference, which the browser shows as the character itself.
        if (utf8 && !TextCodec::IsAscii(value))
            value = TextCodec::EncodeShiftJis(QString::fromUtf8(value),
                                              TextCodec::Unmappable::CharacterReference);
        values[size_t(i)] = value;
    }
    return values;
}
