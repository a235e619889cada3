#include "run_scope.h"

#include "application.h"
#include "follow_drawing.h"

namespace tavro {

namespace {
int gDepth = 0;
}

RunScope::RunScope()
{
    if (gDepth++ == 0) NoteRunBegins();
}

RunScope::~RunScope()
{
    if (--gDepth == 0) {
        FollowDrawingAfterRun();
        if (Application* main = TheApplication()) main->InterpreterIdle();
    }
}

int RunScope::Depth() { return gDepth; }

}  // namespace tavro
