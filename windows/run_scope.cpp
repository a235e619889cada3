#include "run_scope.h"

#include "application.h"

namespace tavro {

namespace {
int gDepth = 0;
}

RunScope::RunScope() { ++gDepth; }

RunScope::~RunScope()
{
    if (--gDepth == 0)
        if (Application* main = TheApplication()) main->InterpreterIdle();
}

int RunScope::Depth() { return gDepth; }

}  // namespace tavro
