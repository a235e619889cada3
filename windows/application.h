// What a tool window asks of the application that owns it: the main
// window implements this, and the windows reach it only through here, so
// that windows/ knows no main window. Every call is safe when no
// application is set (tests that build a window alone): TheApplication()
// is then null and the callers skip the request.
#pragma once

#include <QPoint>
#include <string>

namespace tavro {

class InfoWindow;
class PlaneWindow;

class Application {
public:
    // The info window, opened on the help's start page unless it is open
    // (readable, and placed beside the program and the plane if `place`).
    virtual InfoWindow* OpenInfo(bool place = true) = 0;
    // The plane window at a workspace point (or the open one).
    virtual PlaneWindow* OpenPlane(int left, int top, bool place = true) = 0;
    // Applies the current skin to every window (after a change of it).
    virtual void ApplySkin(bool repaint) = 0;
    // The environment font one point larger (1) or smaller (-1).
    virtual void Zoom(int step) = 0;
    // Notes a program file in the recent-programs menu.
    virtual void AddRecentFile(const std::string& path) = 0;
    // Opens the edit popup at a screen point.
    virtual void ShowEditPopup(QPoint globalPos) = 0;
    // True while the application is shutting down.
    virtual bool Closing() const = 0;
    // The outermost run of the interpreter has returned.
    virtual void InterpreterIdle() = 0;

protected:
    ~Application() = default;
};

// The one application (null before it exists and after it is gone).
Application* TheApplication();
void SetApplication(Application* application);

}  // namespace tavro
