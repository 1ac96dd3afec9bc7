#pragma once

#include <QDialog>
#include <QString>

class QComboBox;
class QEvent;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class clsOption;
class numberText;

// The site settings window: header picture (with a preview fetched from the
// service), site name, three catch-copy lines, the public address, shop ID,
// site administrator and tax rate. Loads the settings file when created; "保存" writes all eight
// values back and closes (Accepted), "キャンセル" closes without saving
// (Rejected).
class frmOption : public QDialog
{
    Q_OBJECT
public:
    explicit frmOption(QWidget* parent = nullptr);

    // Where the 100 header pictures are fetched from; "007.jpg" and the like
    // follow directly. An empty text restores the service's own address.
    static QString PreviewBaseUrl();
    static void SetPreviewBaseUrl(const QString& baseUrl);

    // The list position that a stored HEADERIMAGE text selects: its leading
    // decimal number rounded half to even; -1 selects nothing. Numbers that
    // have no entry select picture 001.
    static int HeaderImageIndex(const QString& headerImage);

    void setVisible(bool visible) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CreateControls();
    void InitControls();
    void LoadOptionValues();
    void ShowHeaderImage();
    void FillOption(clsOption& option) const;
    bool AskKeepCharacters(bool* asUtf8);
    bool SaveOptionValues(bool asUtf8);
    void cmdSave_Click();

    QWidget* m_client = nullptr;
    QLineEdit* m_txtSiteName = nullptr;
    QLineEdit* m_txtCatchCopy1 = nullptr;
    QLineEdit* m_txtCatchCopy2 = nullptr;
    QLineEdit* m_txtCatchCopy3 = nullptr;
    QLineEdit* m_txtSiteUrl = nullptr;
    QString m_siteUrl; // as checked by the save
    QComboBox* m_cboHeaderImage = nullptr;
    QLabel* m_picHeaderImage = nullptr;
    QLineEdit* m_txtShopID = nullptr;
    QLineEdit* m_txtSiteMaster = nullptr;
    QLineEdit* m_txtTax = nullptr;
    QPushButton* m_cmdSave = nullptr;
    QPushButton* m_cmdCancel = nullptr;
    numberText* m_taxBox = nullptr;
};
