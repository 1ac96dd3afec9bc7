// sorabi-icons: writes the program icon, drawn by the program itself, as PNG
// files for the desktop's icon theme. Run by the build, never installed.
// Usage: sorabi-icons FOLDER SIZE… (writes FOLDER/<n>x<n>/sorabi.png)

#include "widgets/artwork.h"

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>

#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char* argv[])
{
    // No display is needed to draw into a picture.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 3) {
        std::fputs("usage: sorabi-icons FOLDER SIZE...\n", stderr);
        return 2;
    }
    const QDir root(arguments[1]);
    for (const QString& argument : arguments.mid(2)) {
        bool ok = false;
        const int size = argument.toInt(&ok);
        if (!ok || size < 1 || size > 1024) {
            std::fprintf(stderr, "sorabi-icons: not a size: %s\n", qUtf8Printable(argument));
            return 2;
        }
        const QString folder = root.filePath(u"%1x%1"_s.arg(size));
        const QString file = QDir(folder).filePath(u"sorabi.png"_s);
        const QPixmap icon = Look::ProgramIconPixmap(size);
        if (!QDir().mkpath(folder) || icon.size() != QSize(size, size) || !icon.save(file, "PNG")) {
            std::fprintf(stderr, "sorabi-icons: cannot write %s\n", qUtf8Printable(file));
            return 1;
        }
    }
    return 0;
}
