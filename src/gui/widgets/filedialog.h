#pragma once

#include <QString>
#include <QTranslator>

#include <functional>
#include <optional>

class QFileDialog;

// Every file dialog of the program (the CSV file, the folder to upload) is
// shown through here: by default modally; tests answer instead, as they do
// message boxes (msgbox).
namespace FileDialog {

// Answers a dialog: a path to choose, nothing to cancel.
using Runner = std::function<std::optional<QString>(QFileDialog& dialog)>;
// An empty runner restores real dialogs.
void SetRunner(Runner runner);
// The path chosen, or nothing when cancelled.
std::optional<QString> Run(QFileDialog& dialog);

// Qt's own file dialog speaks Japanese like the rest of the program,
// whatever the system's language, for as long as this lives; made before the
// dialog, which takes its texts when it is made. (Qt's Japanese texts for
// the whole program lost the first key typed into the settings window.)
class QtTextsInJapanese
{
public:
    QtTextsInJapanese();

private:
    // Leaves the application when destroyed.
    QTranslator m_texts;
};

} // namespace FileDialog
