#pragma once

#include "generation/runui.h"

#include <QElapsedTimer>
#include <QWidget>

class QLabel;
class QPushButton;

// The small window a generation run shows: a line of text, a bar that fills
// with the work done, and "中断" to ask for a stop. The run pushes text and
// counters in and asks IsCancel after each ReDraw.
class frmProgress : public QWidget, public ProgressView
{
    Q_OBJECT
public:
    explicit frmProgress(QWidget* centreOver = nullptr);

    void SetTitle(const QString& title) override;
    QString Message() const { return m_message; }
    void SetMessage(const QString& message) override;
    int MaxValue() const { return m_maxValue; }
    void SetMaxValue(int vlngMaxValue) override;
    int Value() const { return m_value; }
    void SetValue(int vlngValue) override;
    void Show() override;
    void ReDraw() override;
    bool IsCancel() const override { return m_cancel; }
    void Close() override;

    // The bar's width in pixels for the current value and maximum.
    int BarWidth() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QString m_message;
    int m_maxValue = 1;
    int m_value = 0;
    bool m_cancel = false;
    bool m_closing = false;
    QElapsedTimer m_sinceRepaint;
    QWidget* m_centreOver = nullptr;
    QLabel* m_lblMessage = nullptr;
    QWidget* m_picProgress = nullptr;
    QWidget* m_lblValue = nullptr;
    QPushButton* m_cmdCancel = nullptr;
};
