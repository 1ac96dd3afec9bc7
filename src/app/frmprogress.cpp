#include "frmprogress.h"

frmProgress::frmProgress(QWidget* centreOver) : QWidget(nullptr), m_centreOver(centreOver) {}

void frmProgress::SetTitle(const QString& title)
{
    setWindowTitle(title);
}
void frmProgress::SetMessage(const QString& message)
{
    m_message = message;
}
void frmProgress::SetMaxValue(int vlngMaxValue)
{
    m_maxValue = vlngMaxValue;
}
void frmProgress::SetValue(int vlngValue)
{
    m_value = vlngValue;
}
void frmProgress::Show()
{
    show();
}
void frmProgress::ReDraw() {}
void frmProgress::Close()
{
    close();
}
