// The "upload" command of sorabi-batch, which starts this in its place: kept
// apart so that making pages does not load the upload's libraries.

#include "uploadcommand.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    // The name of the command the user typed, in every message.
    QCoreApplication::setApplicationName(u"sorabi-batch"_s);
    return RunUploadCommand(QCoreApplication::arguments());
}
