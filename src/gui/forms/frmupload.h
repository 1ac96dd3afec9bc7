#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;

// "アップロード設定": where the pages go. Protocol (FTPS by default; plain
// FTP only after a warning), host, port, user, password and remote folder.
// "保存" writes the [UPLOAD] section of the settings file and puts the
// password into the system's credential store, never into the file;
// "接続テスト" logs in and lists the remote folder with what is typed.
class frmUpload : public QDialog
{
    Q_OBJECT
public:
    explicit frmUpload(const QString& iniPath, QWidget* parent = nullptr);

private:
    void CreateControls();
    void LoadValues();
    void cboProtocol_Changed(int index);
    bool ReadDestination(class UploadDestination* destination);
    void cmdTest_Click();
    void cmdSave_Click();

    QString m_iniPath;
    int m_protocolIndex = 0;
    QComboBox* m_cboProtocol = nullptr;
    QLineEdit* m_txtHost = nullptr;
    QLineEdit* m_txtPort = nullptr;
    QLineEdit* m_txtUser = nullptr;
    QLineEdit* m_txtPassword = nullptr;
    QLineEdit* m_txtFolder = nullptr;
    QLineEdit* m_txtConnections = nullptr;
    QPushButton* m_cmdTest = nullptr;
    QPushButton* m_cmdSave = nullptr;
    QPushButton* m_cmdCancel = nullptr;
};
