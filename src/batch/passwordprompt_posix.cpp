#include "passwordprompt.h"

#include <QByteArray>

#include <cstdio>
#include <termios.h>
#include <unistd.h>

bool ReadPasswordFromTerminal(const QString& prompt, QString* password)
{
    if (!isatty(STDIN_FILENO))
        return false;
    const QByteArray text = prompt.toLocal8Bit();
    std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
    std::fflush(stderr);
    termios saved{};
    const bool hide = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (hide) {
        termios silent = saved;
        silent.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    }
    QByteArray line;
    bool ended = false;
    for (;;) {
        char c = 0;
        const ssize_t got = read(STDIN_FILENO, &c, 1);
        if (got <= 0) {
            ended = line.isEmpty();
            break;
        }
        if (c == '\n' || c == '\r')
            break;
        line.append(c);
    }
    if (hide)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::fputc('\n', stderr);
    *password = QString::fromLocal8Bit(line);
    line.fill('\0');
    return !ended;
}
