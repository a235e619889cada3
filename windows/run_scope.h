// Every run of the interpreter that the environment starts (a typed
// command, the start-up work, a run action, a widget click) is wrapped in
// a RunScope. When the outermost one ends, a close of the main window that
// had to wait for the running program is carried out.
#pragma once

namespace tavro {

class RunScope {
public:
    RunScope();
    ~RunScope();
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;
    // How many runs are nested right now.
    static int Depth();
};

}  // namespace tavro
