#include "startup.h"

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "about_box.h"
#include "configuration.h"
#include "configuration_repair.h"
#include "crash_recovery.h"
#include "ending_signals.h"
#include "guarded_application.h"
#include "host_services.h"
#include "installation.h"
#include "log.h"
#include "main_window.h"
#include "message_dialog.h"
#include "qt_environment.h"
#include "state.h"
#include "tool_window.h"

namespace tavro::shell {

using namespace desktop;

namespace {

// The same depth as the command-line runner: about 200,000 levels of a
// plain recursive procedure.
constexpr rlim_t kInterpreterStack = rlim_t(256) << 20;
constexpr size_t kOtherThreadStack = size_t(8) << 20;
constexpr const char* kRestartedMark = "TAVRO_STACK_RAISED";

}  // namespace

void EnsureLargeStack(char** argv)
{
    // Other threads (the window system's, the GL's) would take the large
    // limit for their own stacks too, each mapping it as data: they keep
    // the usual size, so that they fit within the memory ceiling's margin.
    pthread_attr_t threads;
    if (pthread_attr_init(&threads) == 0) {
        if (pthread_attr_setstacksize(&threads, kOtherThreadStack) == 0) pthread_setattr_default_np(&threads);
        pthread_attr_destroy(&threads);
    }
    if (std::getenv(kRestartedMark)) return;
    rlimit limit{};
    if (getrlimit(RLIMIT_STACK, &limit) != 0) return;
    if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= kInterpreterStack) return;
    rlim_t wanted = kInterpreterStack;
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < wanted) wanted = limit.rlim_max;
    if (wanted <= limit.rlim_cur) return;
    limit.rlim_cur = wanted;
    if (setrlimit(RLIMIT_STACK, &limit) != 0) return;
    setenv(kRestartedMark, "1", 1);
    execv("/proc/self/exe", argv);
    // No restart: run with the stack there is; the depth guard measures it.
}

int RunEnvironment(int argc, char** argv)
{
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    GuardedApplication app(argc, argv);
    QApplication::setApplicationName("Tavro 5.1.1");
    QApplication::setDesktopFileName("tavro");
    unsetenv(kRestartedMark);  // programs started from here get the normal limit

    // 1: folders, configuration file.
    // Files named on the command line mean what they meant in the folder
    // the program was started in; loading the configuration changes it.
    std::vector<std::string> params;
    for (int i = 1; i < argc; ++i) {
        std::string p = argv[i];
        std::error_code ec;
        if (!p.empty() && p[0] != '!' && std::filesystem::is_regular_file(p, ec))
            p = std::filesystem::absolute(p, ec).lexically_normal().string();
        params.push_back(p);
    }
    DeriveDesktopFolders();
    CreateState();
    InstallHostServices();
    static QtEnvironment environment;
    SetEnvironment(&environment);
    ConfigurationChoice choice = ChooseConfiguration(params);
    LoadChosenConfiguration(choice);
    // What the configuration lacks comes from the shipped one, and the
    // user is told which keys (once the main window shows).
    std::vector<std::string> repaired = RepairConfiguration(Folders().Executable + "default.ini");

    // 3: main window and splash.
    auto* main = new MainWindow();
    QPointer<AboutBox> splash = new AboutBox();
    splash->show();
    QCoreApplication::processEvents();

    int status = 0;
    try {
        // 5-6
        main->ApplyConfiguration(params);
        SetStartupComplete(true);
        // 7-8
        main->StartDeferredWork();
        InstallCrashRecovery();
        InstallEndingSignals([main] { main->close(); });
        // Programs a crash kept are offered once the start-up has settled.
        std::string name = ConfigurationPath().empty() ? choice.Name : ConfigurationPath();
        QTimer::singleShot(0, [name, repaired] {
            ShowMessageDialog(RepairMessage(name, repaired));
            OfferRecovery();
        });
        if (splash) {
            // The main window has just been shown: the splash stays in front
            // (without a window manager nothing else keeps it there).
            splash->raise();
            QPointer<MainWindow> window(main);
            splash->CloseAfter(2000, [window] {
                if (window) window->ArrangeAtFirstStart();
            });
        }
        // 9-11
        status = QApplication::exec();
    } catch (const std::exception& e) {
        WriteRecoveryFile(RecoveryFilePath());
        if (splash) splash->close();
        QMessageBox::critical(nullptr, "Tavro", QString::fromStdString(e.what()));
        status = 1;
    }
    // 12: a failed start leaves the user's file as it was.
    main->SaveConfiguration();
    CloseLog();
    delete main;
    return status;
}

}  // namespace tavro::shell
