// The desktop program's run, through its main window and progress window,
// under whatever platform QT_QPA_PLATFORM names (offscreen for the benchmark).
// Prints the run's seconds and, with --cancel-probes N, the longest time a
// click on 中断 waited for its question.
//
// usage: bench-desktop CSV_FILE PROGRAM_FOLDER [--cancel-probes N]

#include "forms/frmmain.h"
#include "widgets/msgbox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

using namespace Qt::StringLiterals;

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: bench-desktop CSV_FILE PROGRAM_FOLDER [--cancel-probes N]\n");
        return 2;
    }
    const int probes = args.size() >= 5 && args[3] == u"--cancel-probes"_s ? args[4].toInt() : 0;

    QElapsedTimer clock;
    std::atomic<qint64> clickedAt{-1};
    qint64 worstWait = 0;
    int answered = 0;
    MsgBox::SetHandler([&](const QString&, MessageIcon icon, MsgBox::Buttons) {
        if (icon == MessageIcon::Question) {
            worstWait = std::max(worstWait, clock.nsecsElapsed() - clickedAt.load());
            ++answered;
            return MsgBox::Answer::No; // carry on
        }
        return MsgBox::Answer::Ok;
    });

    frmMain window;
    window.Folder().SetProgramFolder(args[2]);
    window.findChild<QLineEdit*>(u"txtCsvPath"_s)->setText(args[1]);
    window.show();

    // A second thread plays the user: it clicks 中断 now and then.
    std::atomic<bool> done{false};
    std::thread user;
    if (probes > 0) {
        user = std::thread([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            for (int i = 0; i < probes && !done; ++i) {
                // Queued like a real click: it waits until the run lets events in.
                clickedAt = clock.nsecsElapsed();
                QMetaObject::invokeMethod(
                    &window,
                    [] {
                        for (QWidget* w : QApplication::topLevelWidgets()) {
                            if (w->objectName() == u"frmProgress"_s && w->isVisible())
                                w->findChild<QPushButton*>(u"cmdCancel"_s)->click();
                        }
                    },
                    Qt::QueuedConnection);
                std::this_thread::sleep_for(std::chrono::milliseconds(97));
            }
        });
    }

    clock.start();
    window.CreatePages();
    const double seconds = clock.nsecsElapsed() / 1e9;
    done = true;
    if (user.joinable())
        user.join();
    std::printf("%.6f\n", seconds);
    if (probes > 0)
        std::printf("cancel %d %.3f\n", answered, worstWait / 1e6);
    return 0;
}
