// Measures the desktop environment as a user meets it:
//  1. start-up: from the program's entry to the first paint of the main
//     window's workspace, with the configuration applied and the command
//     and output windows open (the splash's extra two seconds excluded);
//  2. resident memory at idle, after the library programs have run;
//  3. `repeat 100000 [print (repeat)]` typed into the command window with
//     the output window open, and whether the last line is in view.
// Prints one line per figure; bench/ide/run.sh repeats runs and reports
// medians.
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

#include "command_window.h"
#include "configuration.h"
#include "host_services.h"
#include "main_window.h"
#include "output_window.h"
#include "qt_environment.h"
#include "startup.h"
#include "state.h"
#include "tool_window.h"

using namespace tavro;
using namespace tavro::shell;

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

}  // namespace

int main(int argc, char** argv)
{
    auto start = std::chrono::steady_clock::now();
    EnsureLargeStack(argv);
    QApplication app(argc, argv);
    DeriveShellFolders(TAVRO_BUILD_DIR "/bin/");
    CreateState();
    InstallHostServices();
    static QtEnvironment environment;
    SetEnvironment(&environment);
    std::string config = argc > 1 ? argv[1] : std::string(TAVRO_BUILD_DIR "/bin/default.ini");
    LoadChosenConfiguration({config, true});
    auto* main = new TMainForm();
    double startupMs = 0;
    FirstPaint filter([&] {
        startupMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        main->RunDeferredWork();  // the library programs, as the start-up timer does
        QTimer::singleShot(500, [&] {
            std::printf("startup_ms %.1f\n", startupMs);
            std::printf("idle_rss_kb %ld\n", residentKilobytes());
            TCommand* command = CommandWindow();
            TOutput* output = OutputWindow();
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
