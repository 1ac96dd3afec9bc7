#pragma once

#include "generation/runui.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// A stand-in for the user: records everything a run shows and answers the
// cancel question from a script.
class RecordingUi : public RunUi
{
public:
    struct Message
    {
        QString text;
        MessageIcon icon;
        bool progressOpen; // a progress window was showing at that moment
    };

    struct ProgressLog
    {
        QString title;
        int maxValue = 1;
        bool shown = false;
        bool closed = false;
        QStringList messages; // the message at every ReDraw
        QList<int> values;    // the value at every ReDraw
        QList<int> refusedMaxValues;
    };

    QList<Message> messages;
    QStringList statusTexts;
    QList<bool> cursorChanges;
    bool waitCursor = false;
    QString statusText;
    QList<ProgressLog> progressWindows;

    // Asked at every ReDraw: true presses the cancel button for that line.
    std::function<bool(int redrawIndex)> pressCancel = [](int) { return false; };
    // The answer to each cancel question, in turn; Yes when the list runs out.
    QList<bool> cancelAnswers;
    QStringList questions;

    void ShowMessage(const QString& text, MessageIcon icon) override
    {
        const bool open = !progressWindows.isEmpty() && progressWindows.last().shown
                          && !progressWindows.last().closed;
        messages.append({text, icon, open});
    }
    bool AskCancel(const QString& question) override
    {
        questions.append(question);
        return cancelAnswers.isEmpty() ? true : cancelAnswers.takeFirst();
    }
    // The shop ID question: each text asked, and the answer (true: go on).
    QStringList shopIdQuestions;
    bool goOnWithoutShopId = true;
    bool AskGoOnWithoutShopId(const QString& text) override
    {
        shopIdQuestions.append(text);
        return goOnWithoutShopId;
    }
    void SetWaitCursor(bool wait) override
    {
        waitCursor = wait;
        cursorChanges.append(wait);
    }
    void SetStatusText(const QString& text) override
    {
        statusText = text;
        statusTexts.append(text);
    }
    std::unique_ptr<ProgressView> CreateProgress() override;

    QStringList messageTexts() const
    {
        QStringList texts;
        for (const Message& m : messages)
            texts.append(m.text);
        return texts;
    }

private:
    class Progress : public ProgressView
    {
    public:
        Progress(RecordingUi& ui, int index) : m_ui(ui), m_index(index) {}
        ProgressLog& log() { return m_ui.progressWindows[m_index]; }
        void SetTitle(const QString& title) override { log().title = title; }
        void Show() override { log().shown = true; }
        void SetMessage(const QString& message) override { m_message = message; }
        void SetValue(int value) override { m_value = value; }
        void ReDraw() override
        {
            log().messages.append(m_message);
            log().values.append(m_value);
            m_cancel = m_ui.pressCancel(m_redraws++);
        }
        bool IsCancel() const override { return m_cancel; }
        void Close() override { log().closed = true; }

    protected:
        void ApplyMaxValue(int value) override { log().maxValue = value; }
        void ShowRefusal(const QString& text) override
        {
            log().refusedMaxValues.append(0);
            m_ui.ShowMessage(text, MessageIcon::None);
        }

    private:
        RecordingUi& m_ui;
        int m_index;
        QString m_message = QStringLiteral("処理中です…");
        int m_value = 0;
        int m_redraws = 0;
        bool m_cancel = false;
    };
};

inline std::unique_ptr<ProgressView> RecordingUi::CreateProgress()
{
    progressWindows.append(ProgressLog());
    return std::make_unique<Progress>(*this, int(progressWindows.size() - 1));
}
