// The environment's application object: an exception that escapes an
// event handler (std::bad_alloc from a window that asked for too much, any
// other std::exception) becomes an ordinary error message and the event
// counts as handled; the process goes on with its windows and their
// unsaved programs.
#pragma once

#include <QApplication>

namespace tavro::shell {

class GuardedApplication : public QApplication {
public:
    GuardedApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
    // How many escaped exceptions were reported (for the tests).
    static int Reported();
};

}  // namespace tavro::shell
