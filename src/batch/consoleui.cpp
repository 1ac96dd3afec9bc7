#include "consoleui.h"

#include "base/platform.h"
#include "cli.h"

#include <QString>

using namespace Qt::StringLiterals;

namespace {

void writeText(std::FILE* out, QString text)
{
    text.replace(u"\r\n"_s, u"\n"_s);
    Platform::Print(out, text);
}

class ConsoleProgress : public ProgressView
{
public:
    explicit ConsoleProgress(ConsoleUi& ui) : m_ui(ui) {}
    ~ConsoleProgress() override { Close(); }

    void SetTitle(const QString&) override {}
    void Show() override {}
    void SetMessage(const QString&) override {}
    void SetValue(int value) override { m_value = value; }
    void ReDraw() override
    {
        if (!m_ui.isTerminal())
            return;
        if (!m_throttle.Due(m_value, m_max))
            return;
        const qint64 now = m_throttle.Elapsed();
        const double seconds = std::max<double>(now, 1) / 1000.0;
        const QString line = u"\r%1 / %2 行  %3 行/秒\x1b[K"_s.arg(m_value).arg(m_max).arg(
            qRound64(m_value / seconds));
        writeText(m_ui.err(), line);
        std::fflush(m_ui.err());
        m_ui.SetProgressLineShown(true);
    }
    bool IsCancel() const override { return Platform::InterruptRequested(); }
    void Close() override { m_ui.ClearProgressLine(); }

protected:
    void ApplyMaxValue(int value) override { m_max = value; }
    void ShowRefusal(const QString& text) override { m_ui.ShowMessage(text, MessageIcon::None); }

private:
    ConsoleUi& m_ui;
    Cli::ProgressThrottle m_throttle;
    int m_max = 1;
    int m_value = 0;
};

} // namespace

ConsoleUi::ConsoleUi(std::FILE* err) : m_err(err), m_terminal(Platform::IsTerminal(err)) {}

void ConsoleUi::ClearProgressLine()
{
    if (m_progressLineShown) {
        std::fputs("\r\x1b[K", m_err);
        m_progressLineShown = false;
    }
}

void ConsoleUi::ShowMessage(const QString& text, MessageIcon)
{
    ClearProgressLine();
    writeText(m_err, text + u'\n');
    std::fflush(m_err);
}

bool ConsoleUi::AskCancel(const QString&)
{
    // Only Ctrl-C asks, and pressing it is the answer.
    return true;
}

bool ConsoleUi::AskGoOnWithoutShopId(const QString& text)
{
    ShowMessage(u"警告: "_s + text + u"ショップIDなしで作成を続けます。"_s, MessageIcon::Exclamation);
    return true;
}

std::unique_ptr<ProgressView> ConsoleUi::CreateProgress()
{
    return std::make_unique<ConsoleProgress>(*this);
}
