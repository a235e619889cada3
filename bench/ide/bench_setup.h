// The interpreter with the desktop environment's seam and the build
// tree's folders and configuration, as the program sets them up (shared by
// the benchmarks of the desktop environment).
#pragma once

#include <string>

#include "configuration.h"
#include "host_services.h"
#include "qt_environment.h"
#include "state.h"

inline void SetUpBuildTreeInterpreter(int argc, char** argv)
{
    using namespace tavro;
    desktop::DeriveDesktopFolders(TAVRO_BUILD_DIR "/bin/");
    CreateState();
    InstallHostServices();
    static shell::QtEnvironment environment;
    SetEnvironment(&environment);
    desktop::LoadChosenConfiguration({argc > 1 ? argv[1] : std::string(TAVRO_BUILD_DIR "/bin/default.ini"), true});
}
