#include "widgets/filedialog.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QLocale>

using namespace Qt::StringLiterals;

namespace FileDialog {

namespace {

Runner& runner()
{
    static Runner current;
    return current;
}

} // namespace

void SetRunner(Runner r)
{
    runner() = std::move(r);
}

std::optional<QString> Run(QFileDialog& dialog)
{
    if (runner())
        return runner()(dialog);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        return dialog.selectedFiles().first();
    return std::nullopt;
}

QtTextsInJapanese::QtTextsInJapanese()
{
    if (m_texts.load(QLocale(QLocale::Japanese, QLocale::Japan), u"qtbase"_s, u"_"_s,
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&m_texts);
}

} // namespace FileDialog
