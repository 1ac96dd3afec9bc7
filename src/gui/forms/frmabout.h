#pragma once

#include <QDialog>

// The About window: program icon, product-family line, product name and
// version, a button to the support page (opened through Shell::OpenUrl, so
// tests can stand in for the browser) and "OK".
class frmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);

    void setVisible(bool visible) override;

private:
    void cmdURL_Click();
};
