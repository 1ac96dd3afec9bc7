#pragma once

#include "generation/runui.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

class QCloseEvent;
class QLabel;
class QPushButton;
class QTimer;

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
    int Value() const { return m_value; }
    void SetValue(int vlngValue) override;
    void Show() override;
    void ReDraw() override;
    bool IsCancel() const override { return m_cancel || m_stopRequested; }
    void Close() override;
    // The window the run belongs to is closing: from now on every IsCancel
    // is true, whatever ReDraw sees.
    void UseWideMessage();
    void RequestStop() { m_stopRequested = true; }
    bool IsStopRequested() const { return m_stopRequested; }

protected:
    void ApplyMaxValue(int vlngMaxValue) override { m_maxValue = vlngMaxValue; }
    void ShowRefusal(const QString& text) override;
    void closeEvent(QCloseEvent* event) override;

private:
    int barWidth() const;
    void showState();

    QString m_message;
    int m_maxValue = 1;
    int m_value = 0;
    bool m_cancel = false;
    bool m_stopRequested = false;
    bool m_closing = false;
    QPointer<QWidget> m_centreOver;
    QLabel* m_lblMessage = nullptr;
    QWidget* m_picProgress = nullptr;
    QWidget* m_lblValue = nullptr;
    QPushButton* m_cmdCancel = nullptr;
    // When the text and the bar were last handed to the controls, and the
    // timer that hands over what a skipped ReDraw left behind.
    QElapsedTimer m_sinceShown;
    QTimer* m_pendingShow = nullptr;
};
