// Measures the desktop environment under load, one figure per line:
//  1. windows N: the start with N source windows saved in the
//     configuration (USERS=N), from ApplyConfiguration to the painted
//     workspace;
//  2. widgets N: a program that puts N buttons on the plane window;
//  3. longline MB: opening a program of one line of MB megabytes, then
//     one typed key in that line (the time until the editor has painted).
// Usage (under an X server, e.g. xvfb-run -a):
//   tavro-load-bench windows 1000 | widgets 10000 | longline 5
// Run it under `perf record -g` to see where the time goes.
#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <fstream>
#include <string>

#include "bench_setup.h"
#include "configuration.h"
#include "main_window.h"
#include "run_control.h"
#include "source_window.h"
#include "startup.h"
#include "tool_window.h"

using namespace tavro;
using namespace tavro::shell;
using namespace tavro::desktop;

namespace {

void writeFile(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

double ms(const QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e6; }

std::string configuration(const QTemporaryDir& dir, const std::string& extra)
{
    std::string path = dir.path().toStdString() + "/load.ini";
    writeFile(path, extra + "SKIN=Windows\nBUTTONS=Yes\nAUTOSAVE=No\nADVANCEDGUI=Yes\nLIBRARIES=core.tvr,graphics.tvr,gui.tvr,\n"
                            "OUTPUT=Yes\nCOMMAND=Yes\nPLANE=Yes\n");
    return path;
}

}  // namespace

int main(int argc, char** argv)
{
    EnsureLargeStack(argv);
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s windows|widgets|longline COUNT\n", argv[0]);
        return 2;
    }
    const std::string what = argv[1];
    const long count = std::atol(argv[2]);
    QTemporaryDir dir;
    std::string extra;
    if (what == "windows") {
        extra = "USERS=" + std::to_string(count) + "\n";
        for (long i = 1; i <= count; ++i) {
            std::string file = dir.path().toStdString() + "/p" + std::to_string(i) + ".tvr";
            writeFile(file, "print " + std::to_string(i) + "\n");
            std::string key = "USER" + std::to_string(i);
            extra += key + ".FILENAME=" + file + "\n" + key + ".LEFT=" + std::to_string(i % 300) + "\n" + key +
                     ".TOP=" + std::to_string(i % 200) + "\n" + key + ".WIDTH=300\n" + key + ".HEIGHT=200\n";
        }
    }
    std::string config = configuration(dir, extra);
    char* setupArgs[] = {argv[0], config.data()};
    SetUpBuildTreeInterpreter(2, setupArgs);
    auto* main = new MainWindow();
    QElapsedTimer t;
    t.start();
    main->ApplyConfiguration({});
    QCoreApplication::processEvents();
    if (what == "windows") {
        std::printf("windows_%ld_ms %.1f\n", count, ms(t));
    }
    main->RunDeferredWork();
    if (what == "widgets") {
        t.restart();
        int r = RunSystemCommand("repeat " + std::to_string(count) +
                                 " [button word \"b repcount \"ok (remainder (repcount) 40) * 20 int (repcount) / 40 20 20]");
        QCoreApplication::processEvents();
        std::printf("widgets_%ld_ms %.1f\n", count, ms(t));
        if (r != rscRan) std::printf("failed: %s\n", LastErrorText.c_str());
    } else if (what == "longline") {
        std::string file = dir.path().toStdString() + "/long.tvr";
        std::string text = "print \"";
        while (text.size() < size_t(count) << 20) text += "abc+12 [x] ";
        writeFile(file, text);
        t.restart();
        main->OpenProgramFile(file);
        SourceWindow* w = SourceWindows().back();
        w->Editor()->repaint();
        QCoreApplication::processEvents();
        std::printf("longline_%ldMB_open_ms %.1f\n", count, ms(t));
        QTextCursor c = w->Editor()->textCursor();
        c.setPosition(int(text.size() / 2));
        w->Editor()->setTextCursor(c);
        QCoreApplication::processEvents();
        for (int k = 0; k < 3; ++k) {
            t.restart();
            QTest::keyClick(w->Editor(), Qt::Key_A);
            w->Editor()->repaint();
            QCoreApplication::processEvents();
            std::printf("longline_%ldMB_key_ms %.1f\n", count, ms(t));
        }
        w->Editor()->document()->setModified(false);
    }
    std::fflush(stdout);
    std::_Exit(0);
}
