#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <memory>

// The eight site settings as the settings file holds them (Shift_JIS bytes),
// in key order: header image, site name, catch copy 1–3, shop ID, site
// master, tax.
using OptionValues = std::array<QByteArray, 8>;

// Reads the settings for each line, as a save in the settings window during a
// run must take effect from the next line on. The file is read again only
// when it may have changed: its size or time stamp differ, or this process
// has replaced a settings file since.
class OptionSource
{
public:
    explicit OptionSource(const QString& iniPath);
    ~OptionSource();
    const OptionValues& Read();

private:
    struct Stamp;
    QString m_path;
    OptionValues m_values;
    std::unique_ptr<Stamp> m_stamp;
};
