#include "qt_environment.h"

#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QTimer>

#include "interpreter.h"
#include "main_window.h"
#include "message_dialog.h"
#include "output_window.h"
#include "source_window.h"

namespace tavro::shell {

void QtEnvironment::WriteLine(std::string_view text, int colour, bool bold)
{
    if (TOutput* out = OutputWindow()) {
        // Colours come as 0x00BBGGRR.
        QColor c(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
        out->AppendLine(text, c, bold);
    }
}

void QtEnvironment::AppendToLastLine(std::string_view text)
{
    if (TOutput* out = OutputWindow()) out->TypeText(text);
}

void QtEnvironment::WriteRunStartLine()
{
    if (TOutput* out = OutputWindow()) out->AppendLine("");
}

void QtEnvironment::ShowRunState(uint8_t state)
{
    uint8_t old = shownState_;
    shownState_ = state;
    if (TMainForm* main = MainForm()) main->ShowRunState(old, state);
    for (TSource* w : SourceWindows()) w->ShowStepMarkerForState(state);
}

SourceWindow* QtEnvironment::FindSourceWindow(std::string_view sourceName)
{
    return tavro::FindSourceWindow(sourceName);
}

void QtEnvironment::ShowMessage(std::string_view message, std::string_view source)
{
    ShowMessageDialog(std::string(message), std::string(source));
}

std::optional<std::string> QtEnvironment::AskText(std::string_view prompt)
{
    std::string text(prompt.empty() ? std::string_view("?") : prompt);
    if (ShowMessageDialog(text, {}, {}, msgInput | msgCancel | 1) != answerOK) return std::nullopt;
    return LastInputText();
}

bool QtEnvironment::CollectKeys()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return false;
}

void QtEnvironment::ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void QtEnvironment::SleepMilliseconds(int ms)
{
    // Waiting keeps the windows alive: events are handled meanwhile.
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

std::string QtEnvironment::ClipboardText() { return QGuiApplication::clipboard()->text().toStdString(); }

void QtEnvironment::SetClipboardText(std::string_view text)
{
    QGuiApplication::clipboard()->setText(QString::fromUtf8(text.data(), qsizetype(text.size())));
}

}  // namespace tavro::shell
