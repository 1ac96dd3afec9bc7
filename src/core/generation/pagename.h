#pragma once

#include <QString>

// Whether text is safe to use as a page's file name in any file system the
// pages may be uploaded to (Windows' rules are the strictest); the reason in
// Japanese when not.
bool IsSafePageFileName(const QString& fileName, QString* reason = nullptr);
