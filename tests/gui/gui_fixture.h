// Shared set-up of the desktop environment's tests: the folders of the
// build tree, a fresh interpreter state with the Qt environment, and small
// file helpers.
#pragma once

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

#include "configuration.h"
#include "host_services.h"
#include "main_window.h"
#include "message_dialog.h"
#include "qt_environment.h"
#include "startup.h"
#include "state.h"
#include "typed_procedures.h"

namespace gui_test {

inline void UseBuildTree()
{
    tavro::desktop::DeriveDesktopFolders(TAVRO_BUILD_DIR "/bin/");
    if (!tavro::State) {
        tavro::CreateState();
        tavro::InstallHostServices();
        static tavro::shell::QtEnvironment environment;
        tavro::SetEnvironment(&environment);
    }
}

inline void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A main window with a learner's configuration (light picture skin, the
// output and command windows, the core library) plus `extra` lines, its
// start-up work done. Procedures typed in an earlier session are not kept.
struct Session {
    explicit Session(const std::string& extra = "")
    {
        WriteFile(dir.path().toStdString() + "/t.ini",
                  extra + "SKIN=Daylight\nBUTTONS=Yes\nAUTOSAVE=No\nADVANCEDGUI=Yes\nLIBRARIES=core.tvr,\n"
                          "OUTPUT=Yes\nCOMMAND=Yes\nCASESENSITIVE=Yes\n");
        tavro::desktop::LoadChosenConfiguration({dir.path().toStdString() + "/t.ini", true});
        tavro::TheTypedProcedures().Forget();
        main.ApplyConfiguration({});
        main.RunDeferredWork();
    }
    QTemporaryDir dir;
    tavro::shell::MainWindow main;
};

// Calls `answer` with the next modal message dialog once it is open (its
// keys answer it at once: no test waits out the guard against keys typed
// ahead).
inline void AnswerNextDialog(std::function<void(tavro::desktop::MessageDialog*)> answer)
{
    QTimer::singleShot(0, [answer] {
        if (tavro::desktop::MessageDialog* m = tavro::desktop::OpenMessageDialog()) {
            m->EndKeyGuard();
            answer(m);
        }
        else AnswerNextDialog(answer);
    });
}

// Qt's offscreen platform when no display is there (a developer's
// terminal); the test script provides an Xvfb display.
inline void ChoosePlatform()
{
    if (!std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

}  // namespace gui_test

// The interpreter runs on the GUI thread: the tests get the same large
// stack as the program (the process restarts itself once for it).
#define TAVRO_GUI_TEST_MAIN(Class)                 \
    int main(int argc, char** argv)                \
    {                                              \
        tavro::shell::EnsureLargeStack(argv);      \
        gui_test::ChoosePlatform();                \
        QApplication app(argc, argv);              \
        gui_test::UseBuildTree();                  \
        Class test;                                \
        return QTest::qExec(&test, argc, argv);    \
    }
