#pragma once

// What the commands of sorabi-batch (making pages, "upload") share: their
// exit statuses, the message about an unknown option and the progress line
// on a terminal.

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>

namespace Cli {

// As the help texts and the manual page list them.
enum ExitStatus { Completed = 0, Failed = 1, BadUsage = 2, Interrupted = 130 };

// "知らないオプションです: --x, -y", or the empty text when the parser
// found no unknown option.
inline QString UnknownOptionText(const QCommandLineParser& parser)
{
    using namespace Qt::StringLiterals;
    QStringList names;
    for (const QString& name : parser.unknownOptionNames())
        names.append((name.size() == 1 ? u"-"_s : u"--"_s) + name);
    return names.isEmpty() ? QString() : u"知らないオプションです: %1"_s.arg(names.join(u", "_s));
}

// When the progress line on a terminal is drawn again: at most every tenth
// of a second, but always the first time (again after Reset) and at the end.
class ProgressThrottle
{
public:
    ProgressThrottle() { m_clock.start(); }
    // Whether to draw `done` of `total` now; when true, counts as drawn.
    bool Due(qint64 done, qint64 total)
    {
        const qint64 now = m_clock.elapsed();
        if (m_drawn && now - m_last < 100 && done < total)
            return false;
        m_last = now;
        m_drawn = true;
        return true;
    }
    // The line was cleared: the next one is drawn at once.
    void Reset() { m_drawn = false; }
    qint64 Elapsed() const { return m_clock.elapsed(); }

private:
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    bool m_drawn = false;
};

} // namespace Cli
