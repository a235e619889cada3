// Measures the desktop environment as a user meets it:
//  1. start-up: from the program's entry to the first paint of the main
//     window's workspace, with the configuration applied and the command
//     and output windows open (the splash's extra two seconds excluded);
//  2. resident memory at idle, after the library programs have run;
//  3. `repeat 100000 [print (repeat)]` typed into the command window with
//     the output window open, and whether the last line is in view;
//  4. frames per second of the plane window showing 10,000 coloured
//     cubes, each its own object, and the time of a command that changes
//     one of them.
// Prints one line per figure; bench/ide/run.sh repeats runs and reports
// medians.
#include <GL/gl.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "bench_setup.h"
#include "command_window.h"
#include "configuration.h"
#include "host_services.h"
#include "main_window.h"
#include "output_window.h"
#include "plane_window.h"
#include "scene_host.h"
#include "run_control.h"
#include "state.h"
#include "qt_environment.h"
#include "startup.h"
#include "state.h"
#include "tool_window.h"

using namespace tavro;
using namespace tavro::shell;
using namespace tavro::desktop;

namespace {

long residentKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kb = 0;
            status >> kb;
            return kb;
        }
        status.ignore(4096, '\n');
    }
    return 0;
}

class FirstPaint : public QObject {
public:
    explicit FirstPaint(std::function<void()> seen) : seen_(std::move(seen)) {}
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Paint && seen_) {
            auto s = std::move(seen_);
            seen_ = nullptr;
            QTimer::singleShot(0, s);
        }
        return QObject::eventFilter(o, e);
    }

private:
    std::function<void()> seen_;
};

void run(const std::string& text)
{
    if (RunSystemCommand(text) != rscRan) std::printf("error: %s\n", LastErrorText.c_str());
}

void measurePlane(MainWindow* main)
{
    const int n = 10000;
    PlaneWindow* plane = main->OpenPlane(0, 0);
    QCoreApplication::processEvents();
    run("to drawcube , color :r :g :b , move :x :y 0 , cube 0.08 , end");
    run("to makecube :i :side , local \"n , make \"n word \"c :i , "
        "make word :n \".x ((remainder :i :side) - :side / 2) * 0.1 , "
        "make word :n \".y ((int :i / :side) - :side / 2) * 0.1 , make word :n \".r (remainder :i 7) / 7 , "
        "make word :n \".g (remainder :i 5) / 5 , make word :n \".b (remainder :i 3) / 3 , "
        "make word :n \".ondrawimage :drawcube , end");
    run("freezescene , repeat " + std::to_string(n) + " [makecube (repeat) 100] , unfreezescene , eye 0 -12 14");
    PlaneView* view = plane->View();
    if (!QTest::qWaitForWindowExposed(view)) std::fprintf(stderr, "the view was not shown\n");
    // A frame as the widget's paint draws it, finished by the GL.
    auto frame = [view] {
        view->makeCurrent();
        TheScene().Paint({255, 255, 255});
        glFinish();
    };
    frame();
    QElapsedTimer t;
    t.start();
    int frames = 0;
    while (frames < 10 || t.elapsed() < 2000) {
        frame();
        ++frames;
    }
    std::printf("plane_fps_10000_cubes %.1f\n", frames * 1000.0 / double(t.elapsed()));
    t.restart();
    for (int i = 0; i < 100; ++i) run("make \"c5000.r " + std::to_string(i % 2));
    std::printf("one_cube_change_ms %.3f\n", double(t.nsecsElapsed()) / 1e6 / 100);
}

}  // namespace

int main(int argc, char** argv)
{
    auto start = std::chrono::steady_clock::now();
    EnsureLargeStack(argv);
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    SetUpBuildTreeInterpreter(argc, argv);
    auto* main = new MainWindow();
    double startupMs = 0;
    FirstPaint filter([&] {
        startupMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        main->RunDeferredWork();  // the library programs, as the start-up timer does
        QTimer::singleShot(500, [&] {
            std::printf("startup_ms %.1f\n", startupMs);
            std::printf("idle_rss_kb %ld\n", residentKilobytes());
            CommandWindow* command = TheCommandWindow();
            OutputWindow* output = TheOutputWindow();
            if (!command || !output) {
                std::printf("error: the configuration must open the command and output windows\n");
                QCoreApplication::exit(1);
                return;
            }
            QElapsedTimer t;
            t.start();
            QTest::keyClicks(command->CommandLine(), "repeat 100000 [print (repeat)]");
            QTest::keyClick(command->CommandLine(), Qt::Key_Return);
            double printMs = double(t.nsecsElapsed()) / 1e6;
            QCoreApplication::processEvents();
            QScrollBar* bar = output->Editor()->verticalScrollBar();
            bool lastVisible = bar->value() == bar->maximum() && output->Text().endsWith("100000 ");
            std::printf("print_100000_ms %.1f\n", printMs);
            std::printf("last_line_visible %s\n", lastVisible ? "yes" : "no");
            std::printf("rss_after_kb %ld\n", residentKilobytes());
            measurePlane(main);
            QCoreApplication::exit(0);
        });
    });
    main->Desktop()->viewport()->installEventFilter(&filter);
    main->ApplyConfiguration({});
    SetStartupComplete(true);
    int status = QApplication::exec();
    delete main;
    return status;
}
