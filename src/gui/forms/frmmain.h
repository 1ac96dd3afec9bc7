#pragma once

#include "base/datafolder.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <optional>

class QAction;
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

    // Decides, before the start-up, where the working copy, the output
    // folders and "option.ini" live (see DataFolder). False, after telling
    // the user, when the per-user folder cannot be made.
    bool ChooseDataFolder(bool perUser = false);
    DataFolder& Folder() { return m_dataFolder; }
    const DataFolder& Folder() const { return m_dataFolder; }

    // How the file dialogs (the CSV file, the folder to upload) are shown:
    // by default modally. Tests answer them: a path to choose, nothing to
    // cancel.
    // (FileDialog::SetRunner, kept here for the tests that set it so.)
    using FileDialogRunner = std::function<std::optional<QString>(QFileDialog& dialog)>;
    static void SetFileDialogRunner(FileDialogRunner runner);
    // Where the file dialog opens.
    static QString DialogStartFolder();

    // The output folder of the last run, once it existed.
    QString LastOutputFolder() const { return m_lastOutputFolder; }

protected:
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
    void mnuFileUpload_Click();
    void mnuOptionUpload_Click();
    void mnuFileOpenFolder_Click();
    void mnuFileBrowse_Click();
    // The folder the preview items show (the last run's, else the newest),
    // and the items enabled only when there is one.
    QString PreviewFolder() const;
    void UpdatePreviewMenu();

    QWidget* m_fraMain = nullptr;
    QLineEdit* m_txtCsvPath = nullptr;
    QLabel* m_statusText = nullptr;
    DataFolder m_dataFolder;
    // The running run's progress window, told when the window is closed.
    QPointer<frmProgress> m_progress;
    QString m_lastOutputFolder;
    QAction* m_mnuFileOpenFolder = nullptr;
    QAction* m_mnuFileBrowse = nullptr;
    bool m_closeRequested = false;
};
