#pragma once

#include <QString>

// Whether text is safe to use as a page's file name in any file system the
// pages may be uploaded to (Windows' rules are the strictest); the reason in
// Japanese when not.
bool IsSafePageFileName(const QString& fileName, QString* reason = nullptr);

// What two page names have in common when a file system takes them for the
// same file: Windows' compares names without regard to case (Unicode simple
// case folding), so "D1.html" and "d1.html" are one file there.
QString PageNameKey(const QString& fileName);
