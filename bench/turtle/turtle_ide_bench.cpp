// The turtle in the desktop environment (not a test): with the shipped
// configuration, which opens the plane, `repeat N [fd 1 rt 1]` is typed
// into the command window; the figures are the wall time of the run, the
// steps per second and the frames the plane painted meanwhile (each a
// distinct picture of the growing drawing). bench/turtle/run.sh sets them
// beside tavro-run's times for the same program.
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>
#include <cstdlib>
#include <string>

#include "../ide/bench_setup.h"
#include "command_window.h"
#include "main_window.h"
#include "memory_room.h"
#include "plane_window.h"
#include "scene_host.h"
#include "startup.h"

using namespace tavro;
using namespace tavro::shell;
using namespace tavro::desktop;

int main(int argc, char** argv)
{
    EnsureLargeStack(argv);
    KeepFreedMemory();
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const int steps = argc > 2 ? std::atoi(argv[2]) : 10000;
    SetUpBuildTreeInterpreter(argc, argv);
    auto* main = new MainWindow();
    main->ApplyConfiguration({});
    SetStartupComplete(true);
    QTimer::singleShot(300, [&] {
        main->RunDeferredWork();
        CommandWindow* command = TheCommandWindow();
        PlaneWindow* plane = ThePlaneWindow();
        if (!command || !plane || !QTest::qWaitForWindowExposed(plane->View())) {
            std::printf("error: the configuration must open the command and plane windows\n");
            QCoreApplication::exit(1);
            return;
        }
        QTest::qWait(300);
        // With PLANE_HIDDEN set the plane is hidden before the run: the
        // figure is then the environment's cost without frames.
        if (std::getenv("PLANE_HIDDEN")) plane->hide();
        QTest::qWait(100);
        uint64_t frames = TheScene().FramesDrawn();
        uint64_t fromKept = TheScene().FramesFromKept();
        // Processor time as well: on a machine shared with other work the
        // wall time says little (the GL's threads count too).
        auto cpuMs = [] {
            rusage use{};
            getrusage(RUSAGE_SELF, &use);
            return (use.ru_utime.tv_sec + use.ru_stime.tv_sec) * 1e3 +
                   (use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e3;
        };
        double cpuBefore = cpuMs();
        QElapsedTimer t;
        t.start();
        QTest::keyClicks(command->CommandLine(), "repeat " + QString::number(steps) + " [fd 1 rt 1]");
        QTest::keyClick(command->CommandLine(), Qt::Key_Return);
        double ms = double(t.nsecsElapsed()) / 1e6;
        std::printf("ide_steps %d\n", steps);
        std::printf("ide_ms %.1f\n", ms);
        std::printf("ide_cpu_ms %.1f\n", cpuMs() - cpuBefore);
        std::printf("ide_steps_per_s %.0f\n", steps / ms * 1000);
        std::printf("ide_frames %llu\n", (unsigned long long)(TheScene().FramesDrawn() - frames));
        std::printf("ide_frames_from_kept %llu\n", (unsigned long long)(TheScene().FramesFromKept() - fromKept));
        QCoreApplication::exit(0);
    });
    int status = QApplication::exec();
    delete main;
    return status;
}
