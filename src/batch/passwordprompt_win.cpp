#include "passwordprompt.h"

#include <QByteArray>

#include <windows.h>

#include <cstdio>
#include <string>

bool ReadPasswordFromTerminal(const QString& prompt, QString* password)
{
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &mode))
        return false;
    const std::wstring text = prompt.toStdWString();
    DWORD written = 0;
    WriteConsoleW(GetStdHandle(STD_ERROR_HANDLE), text.c_str(), DWORD(text.size()), &written,
                  nullptr);
    SetConsoleMode(input, mode & ~DWORD(ENABLE_ECHO_INPUT));
    wchar_t buffer[512];
    DWORD read = 0;
    const BOOL ok = ReadConsoleW(input, buffer, 511, &read, nullptr);
    SetConsoleMode(input, mode);
    WriteConsoleW(GetStdHandle(STD_ERROR_HANDLE), L"\r\n", 2, &written, nullptr);
    if (!ok)
        return false;
    QString line = QString::fromWCharArray(buffer, int(read));
    while (line.endsWith(u'\n') || line.endsWith(u'\r'))
        line.chop(1);
    SecureZeroMemory(buffer, sizeof buffer);
    *password = line;
    return true;
}
