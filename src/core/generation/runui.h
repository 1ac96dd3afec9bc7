#pragma once

#include "base/messageicon.h"

#include <QString>

#include <memory>

// How a generation run reaches the user. The desktop program answers with
// windows, the headless front end with its terminal, tests with a recorder,
// so all of them drive the same run.


// The progress display of a run: a line of text, a bar and a cancel button.
// Message and Value take effect at the next ReDraw, which is also the one
// moment at which the user's input (the cancel button) is looked at.
class ProgressView
{
public:
    virtual ~ProgressView() = default;
    virtual void SetTitle(const QString& title) = 0;
    // The maximum divides the bar, so 0 is refused: the display shows
    // ZeroMaxValueText() as a plain message and keeps its maximum.
    void SetMaxValue(int vlngMaxValue)
    {
        if (vlngMaxValue == 0)
            ShowRefusal(ZeroMaxValueText());
        else
            ApplyMaxValue(vlngMaxValue);
    }
    static QString ZeroMaxValueText()
    {
        return QStringLiteral("MaxValue ﾌﾟﾛﾊﾟﾃｨに 0 は設定できません。");
    }
    virtual void Show() = 0;
    virtual void SetMessage(const QString& message) = 0;
    virtual void SetValue(int vlngValue) = 0;
    virtual void ReDraw() = 0;
    virtual bool IsCancel() const = 0;
    virtual void Close() = 0;

protected:
    virtual void ApplyMaxValue(int vlngMaxValue) = 0;
    // A message without an icon, titled with the product name.
    virtual void ShowRefusal(const QString& text) = 0;
};

class RunUi
{
public:
    virtual ~RunUi() = default;
    // A message box with an OK button, titled with the product name.
    virtual void ShowMessage(const QString& text, MessageIcon icon) = 0;
    // The cancel question: Yes and No, No the default. True for Yes.
    virtual bool AskCancel(const QString& question) = 0;
    // Asked once, before a run whose settings hold no shop ID (its pages'
    // cart links would have none); `text` says so. True to make the pages
    // anyway. The desktop asks (No the default, and No opens the site
    // settings), sorabi-batch prints it as a warning and goes on.
    virtual bool AskGoOnWithoutShopId(const QString& text) = 0;
    virtual void SetWaitCursor(bool wait) = 0;
    virtual void SetStatusText(const QString& text) = 0;
    // A freshly loaded progress display for one run.
    virtual std::unique_ptr<ProgressView> CreateProgress() = 0;
};
