#pragma once

#include "generation/runui.h"

#include <cstdio>

// The user of the headless front end is its terminal: messages go to
// standard error, the cancel request is Ctrl-C (confirmed by pressing it),
// and on a terminal a progress line shows the count and the rate.
class ConsoleUi : public RunUi
{
public:
    explicit ConsoleUi(std::FILE* err = stderr);

    void ShowMessage(const QString& text, MessageIcon icon) override;
    bool AskCancel(const QString& question) override;
    // Prints the text as a warning and goes on: nobody is there to answer.
    bool AskGoOnWithoutShopId(const QString& text) override;
    void SetWaitCursor(bool) override {}
    void SetStatusText(const QString&) override {}
    std::unique_ptr<ProgressView> CreateProgress() override;

    // Clears the progress line before other output.
    void ClearProgressLine();
    void SetProgressLineShown(bool shown) { m_progressLineShown = shown; }
    std::FILE* err() const { return m_err; }
    bool isTerminal() const { return m_terminal; }

private:
    std::FILE* m_err;
    bool m_terminal;
    bool m_progressLineShown = false;
};
