// The stop keys: while a program runs (or is paused), Escape and
// Ctrl+Break ask it to stop from whichever window has the focus.
//
// Escape keeps its other uses: a modal dialog gets it, and a command line
// or address box that holds text is cleared by it first; only an empty
// line lets it stop the run. Ctrl+Break always stops.
#pragma once

#include <QObject>

class QKeyEvent;

namespace tavro::shell {

// True when `key` asks the running program to stop, given the widget that
// has the focus (null for none).
bool IsStopKey(const QKeyEvent& key, const QWidget* focus);

// Installed on the application by the main window.
class StopKeyFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace tavro::shell
