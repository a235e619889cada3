#include "run_scope.h"

#include "main_window.h"

namespace tavro::shell {

namespace {
int gDepth = 0;
}

RunScope::RunScope() { ++gDepth; }

RunScope::~RunScope()
{
    if (--gDepth == 0)
        if (TMainForm* main = MainForm()) main->InterpreterIdle();
}

int RunScope::Depth() { return gDepth; }

}  // namespace tavro::shell
