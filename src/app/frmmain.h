#pragma once

#include <QMainWindow>

#include <functional>
#include <optional>

class QFileDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class frmProgress;

// The program's first window: the CSV path, the start of a run, the menus to
// the settings and About windows, the support page and the status bar.
class frmMain : public QMainWindow
{
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // Start-up: the settings window comes first while no settings file
    // exists; then the window opens maximised.
    void Startup();

    // One generation run from the path in txtCsvPath. Ignored while a run
    // is in progress.
    void CreatePages();

    QString StatusText() const;

    // The folder that holds the program: where the working copy and the
    // output folders go while it can take them. Tests set it.
    QString ProgramFolder() const;
    void SetProgramFolder(const QString& folder) { m_programFolder = folder; }

    // Decides, before the start-up, where the working copy, the output
    // folders and "option.ini" live: the program's folder, as for a program
    // kept in a folder of its own, unless that folder is not writable or is
    // the one the program was installed to (or `perUser` asks for it); then
    // the per-user folder, created on first use and made the working folder
    // so that "option.ini" lives there too. False, after telling the user,
    // when that folder cannot be made.
    bool ChooseDataFolder(bool perUser = false);
    // The program's folder, or the per-user folder once chosen.
    QString DataFolder() const;
    bool UsesPerUserFolder() const { return !m_perUserFolder.isEmpty(); }
    // "Sorabi" in the user's home folder.
    static QString PerUserFolder();
    // Where an installation puts the program; empty where none is known.
    static QString InstalledProgramFolder();

    // Whether files can be made in the folder, found out by making one and
    // removing it (permission bits say nothing to an administrator, or about
    // read-only media). Tests answer instead.
    using WritableProbe = std::function<bool(const QString& folder)>;
    static void SetWritableProbe(WritableProbe probe);
    static bool IsFolderWritable(const QString& folder);

    // How the CSV file dialog is shown: by default modally. Tests answer it:
    // a path to choose it, nothing to cancel.
    using FileDialogRunner = std::function<std::optional<QString>(QFileDialog& dialog)>;
    static void SetFileDialogRunner(FileDialogRunner runner);
    // Where the file dialog opens.
    static QString DialogStartFolder();

    // The output folder of the last run, once it existed.
    QString LastOutputFolder() const { return m_lastOutputFolder; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    class RunUiImpl;

    void CreateControls();
    void CreateMenus();
    void CentreMainPanel();
    void cmdView_Click();
    void cmdSupport_Click();
    void mnuOptionSite_Click();
    void mnuHelpVersion_Click();

    QWidget* m_fraMain = nullptr;
    QLineEdit* m_txtCsvPath = nullptr;
    QLabel* m_statusText = nullptr;
    QString m_programFolder;
    QString m_perUserFolder;
    QString m_lastOutputFolder;
    bool m_closeRequested = false;
};
