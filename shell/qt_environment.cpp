#include "qt_environment.h"

#include "memory_room.h"

#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QTimer>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>

#include "configuration.h"
#include "info_window.h"
#include "interpreter.h"
#include "languages.h"
#include "main_window.h"
#include "memory_window.h"
#include "message_dialog.h"
#include "output_window.h"
#include "plane_window.h"
#include "scene.h"
#include "scene_host.h"
#include "source_window.h"
#include "state.h"

namespace tavro::shell {

using namespace desktop;

void QtEnvironment::WriteLine(std::string_view text, int colour, bool bold)
{
    if (OutputWindow* out = TheOutputWindow()) {
        // Colours come as 0x00BBGGRR.
        QColor c(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
        out->AppendLine(text, c, bold);
    }
}

void QtEnvironment::AppendToLastLine(std::string_view text)
{
    if (OutputWindow* out = TheOutputWindow()) out->TypeText(text);
}

void QtEnvironment::WriteRunStartLine()
{
    if (OutputWindow* out = TheOutputWindow()) out->AppendLine("");
}

void QtEnvironment::ShowRunState(uint8_t state)
{
    uint8_t old = shownState_;
    shownState_ = state;
    if (MainWindow* main = TheMainWindow()) main->ShowRunState(old, state);
    for (SourceWindow* w : SourceWindows()) w->ShowStepMarkerForState(state);
}

SourceView* QtEnvironment::FindSourceWindow(std::string_view sourceName)
{
    return tavro::FindSourceWindow(sourceName);
}

void QtEnvironment::ShowMessage(std::string_view message, std::string_view source)
{
    EnvironmentRoom room;
    // The error stays readable in the transcript: "FILE:LINE: message" for
    // a program, the message alone for a command.
    std::string text(message), where;
    if (!source.empty()) {
        int line = CurrentPosition.Line;
        text = std::string(source) + ":" + std::to_string(line) + ": " + text;
        where = std::string(source) + ", " + Tr("MAIN.LINE") + " " + std::to_string(line);
    }
    OutputWindow* out = TheOutputWindow();
    if (out) out->AppendLine(text, OutputRole::Error);
    MainWindow* main = TheMainWindow();
    if (main) main->NoteRunOutcome(MainWindow::RunOutcome::Failed, std::string(message));
    if (SourceWindow* w = source.empty() ? nullptr : tavro::FindSourceWindow(source))
        w->ShowErrorMessage(QString::fromStdString(std::string(message)));
    // A learner types on after an error: a dialog would take the next keys.
    // It opens only where the transcript cannot show the error, or when the
    // configuration asks for it.
    if (out && !ConfigYes("ERRORDIALOG")) return;
    // What the program drew so far shows behind the dialog.
    if (PlaneWindow* plane = ThePlaneWindow()) plane->RefreshView();
    if (main) main->ShowErrorWaiting(true);
    ShowMessageDialog(std::string(message), where);
    if (TheMainWindow()) TheMainWindow()->ShowErrorWaiting(false);
}

void QtEnvironment::ShowRunStopped()
{
    if (OutputWindow* out = TheOutputWindow()) out->AppendLine(Tr("OUTPUT.STOPPED"), OutputRole::Error);
    if (MainWindow* main = TheMainWindow()) main->NoteRunOutcome(MainWindow::RunOutcome::Stopped);
}

bool QtEnvironment::ShowHelp(std::string_view topic)
{
    if (!TheMainWindow()) return false;
    // The keyboard stays where the user typed `help`: the next line typed
    // is a command, not an address.
    QPointer<QWidget> typing = QApplication::focusWidget();
    QPointer<QMdiSubWindow> window;
    for (QWidget* w = typing; w && !window; w = w->parentWidget()) window = qobject_cast<QMdiSubWindow*>(w);
    // The start page is the topic "help".
    ShowHelpFor(topic.empty() ? std::string("help") : std::string(topic));
    if (typing && window && window.data() != TheInfoWindow()) {
        if (QMdiArea* area = window->mdiArea()) area->setActiveSubWindow(window);
        typing->setFocus();
    }
    return TheInfoWindow() != nullptr;
}

void QtEnvironment::RequestQuit()
{
    // Queued: the run unwinds with its stop first, then the window closes.
    if (QWidget* window = TheMainWindow()) QMetaObject::invokeMethod(window, "close", Qt::QueuedConnection);
}

std::optional<std::string> QtEnvironment::AskText(std::string_view prompt)
{
    std::string text(prompt.empty() ? std::string_view("?") : prompt);
    EnvironmentRoom room;
    if (ShowMessageDialog(text, {}, {}, msgInput | msgCancel | 1) != answerOK) return std::nullopt;
    return LastInputText();
}

bool QtEnvironment::CollectKeys()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return false;
}

void QtEnvironment::ProcessMessages()
{
    // While a drawing is being recorded into a display list, a window
    // event could switch GL contexts or draw a frame into the recording.
    if (TheScene().Compiling()) return;
    EnvironmentRoom room;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtEnvironment::SleepMilliseconds(int ms)
{
    // Waiting keeps the windows alive: events are handled meanwhile.
    EnvironmentRoom room;
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void QtEnvironment::RebuildTree()
{
    if (MainWindow* main = TheMainWindow(); main && main->Closing()) return;
    if (MemoryWindow* memory = TheMemoryWindow()) memory->RebuildTree();
}

bool QtEnvironment::HasDisplayList(Atom* node) { return TheScene().HasDisplayList(node); }

void QtEnvironment::DeleteDisplayList(Atom* node)
{
    if (TheScene().HasDisplayList(node) && MakeSceneContextCurrent()) TheScene().DeleteDisplayList(node);
}

void QtEnvironment::BuildDisplayList(Atom* node)
{
    // Most assigned nodes draw nothing: the context is made current only
    // for one that does.
    if (!TheScene().CanDraw(node) || !MakeSceneContextCurrent()) return;
    uint64_t before = TheScene().ListsCompiled();
    TheScene().BuildDisplayList(node);
    // A changed drawing shows at the next paint, also when the assigned
    // variable is a member of the object that draws (the executor redraws
    // only for variables that own a list).
    if (TheScene().ListsCompiled() != before)
        if (PlaneWindow* p = ThePlaneWindow()) p->View()->Present();
}

void QtEnvironment::RedrawScene()
{
    if (MainWindow* main = TheMainWindow(); main && main->Closing()) return;
    if (MakeSceneContextCurrent()) TheScene().Redraw();
}

void QtEnvironment::BuildDeferredDrawings(bool whenFrameDue)
{
    if (!TheScene().HasDeferredBuilds() || TheScene().Compiling()) return;
    if (MainWindow* main = TheMainWindow(); main && main->Closing()) return;
    PlaneWindow* plane = ThePlaneWindow();
    // Nothing shows them while the plane is closed: they wait for the end
    // of the run, or for a frame.
    if (whenFrameDue && !(plane && plane->View()->FrameDue())) return;
    if (!MakeSceneContextCurrent()) return;
    TheScene().BuildDeferred();
    if (plane) plane->View()->DeferredDrawingsBuilt();
}

void QtEnvironment::RepaintPlane()
{
    if (PlaneWindow* p = ThePlaneWindow()) p->RefreshView();
}

intptr_t QtEnvironment::SceneService(int code, TText* text, long double n1, long double n2, long double n3,
                                     long double n4)
{
    if (scene::Scene::HandlesService(code)) {
        if (TheScene().ServiceNeedsContext(code, n1, n2) && !MakeSceneContextCurrent()) return 0;
        return TheScene().Service(code, text, n1, n2, n3, n4);
    }
    return WindowService(code, text, n1, n2, n3, n4);
}

void QtEnvironment::SetModelMatrix(const float matrix[16]) { TheScene().SetModelMatrix(matrix); }

Atom* QtEnvironment::CreateWidget(int serviceCode) { return CreatePlaneWidget(serviceCode); }

void QtEnvironment::ReleaseWidget(Atom* widget) { ReleasePlaneWidget(widget); }

void QtEnvironment::PlaySound(std::string_view file, int player) { PlayMedia(std::string(file), player); }

std::string QtEnvironment::ClipboardText() { return QGuiApplication::clipboard()->text().toStdString(); }

void QtEnvironment::SetClipboardText(std::string_view text)
{
    QGuiApplication::clipboard()->setText(QString::fromUtf8(text.data(), qsizetype(text.size())));
}

}  // namespace tavro::shell
