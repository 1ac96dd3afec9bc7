#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>

// The eight site settings that every page carries, kept in the settings file
// (section "OPTION"). Each user makes its own short-lived object and loads it
// afresh, so every use sees the file as it is at that moment.
class clsOption
{
public:
    // The settings file, relative to the working folder.
    static QString DefaultIniPath() { return QStringLiteral("option.ini"); }
    static constexpr int KeyCount = 8;
    // "HEADERIMAGE", "SITENAME", "CATCHCOPY1", "CATCHCOPY2", "CATCHCOPY3",
    // "SHOPID", "SITEMASTER", "TAX": the order of storing, loading and writing.
    static const std::array<QByteArray, KeyCount>& Keys();
    static QByteArray Section() { return QByteArrayLiteral("OPTION"); }

    explicit clsOption(const QString& iniPath = DefaultIniPath());

    QString HeaderImage() const { return m_values[0]; }
    void SetHeaderImage(const QString& vstrValue) { m_values[0] = vstrValue; }
    QString SiteName() const { return m_values[1]; }
    void SetSiteName(const QString& vstrValue) { m_values[1] = vstrValue; }
    QString CatchCopy1() const { return m_values[2]; }
    void SetCatchCopy1(const QString& vstrValue) { m_values[2] = vstrValue; }
    QString CatchCopy2() const { return m_values[3]; }
    void SetCatchCopy2(const QString& vstrValue) { m_values[3] = vstrValue; }
    QString CatchCopy3() const { return m_values[4]; }
    void SetCatchCopy3(const QString& vstrValue) { m_values[4] = vstrValue; }
    QString ShopID() const { return m_values[5]; }
    void SetShopID(const QString& vstrValue) { m_values[5] = vstrValue; }
    QString SiteMaster() const { return m_values[6]; }
    void SetSiteMaster(const QString& vstrValue) { m_values[6] = vstrValue; }
    QString Tax() const { return m_values[7]; }
    void SetTax(const QString& vstrTax) { m_values[7] = vstrTax; }
    // The public address (key "SITEURL", settings/siteurl.h), beside the
    // eight: written only when set or already in the file, so that a file
    // without it stays as it was.
    QString SiteUrl() const { return m_siteUrl; }
    void SetSiteUrl(const QString& vstrValue) { m_siteUrl = vstrValue; }

    // Whether a file (not a folder) is at the settings path. Reads nothing.
    bool IsIniFileExists() const;
    // Loads all eight values; a missing file or key gives the empty text.
    void GetOptionIniValue();
    // Writes all eight values in one replacement of the file. False when the
    // file could not be written; it then keeps its old content. With
    // `asUtf8` the file becomes UTF-8 with a byte-order mark in the same
    // replacement (basIniFile::ToUtf8WithBom), so that every character
    // keeps; otherwise it keeps its encoding, and what that cannot hold
    // (UnencodableCharacters) would be written as "?".
    bool SetOptionIniValue(bool asUtf8 = false);
    // For each of the eight values in key order, the characters the settings
    // file cannot hold in its present encoding; all empty when they fit.
    std::array<QStringList, KeyCount> UnencodableCharacters() const;

    // The eight stored values as Shift_JIS bytes (converted from a UTF-8
    // file), read by the same rules as GetOptionIniValue, in key order. For
    // the generation run, which needs them for every line and puts them into
    // pages as bytes.
    static std::array<QByteArray, KeyCount> ReadRawValues(const QString& iniPath);

private:
    QString m_iniPath;
    std::array<QString, KeyCount> m_values;
    QString m_siteUrl;
};
