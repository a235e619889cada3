#include "application.h"

namespace tavro {

namespace {
Application* gApplication = nullptr;
}

Application* TheApplication() { return gApplication; }

void SetApplication(Application* application) { gApplication = application; }

}  // namespace tavro
