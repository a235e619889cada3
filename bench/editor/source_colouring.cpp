// How long a source window takes to open and colour a 10,000-line program,
// and how long one keystroke in the middle of it takes (with the number of
// lines coloured again). Not a test: it prints figures.
//
//   build/bench/source_colouring [LINES]
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextBlock>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>

#include "configuration.h"
#include "host_services.h"
#include "qt_environment.h"
#include "source_window.h"
#include "state.h"
#include "syntax_highlighter.h"

using namespace tavro;

namespace {

// A program of procedures, loops, comments over several lines, quoted
// words, numbers and variables, repeated to `lines` lines.
std::string program(int lines)
{
    static const char* const kPiece[] = {
        "; the square of a number",
        "to square :n",
        "  output :n * :n",
        "end",
        "{ a comment that",
        "  runs over two lines }",
        "make \"total 0",
        "repeat 10 [make \"total :total + (square 3) - 1.5e2]",
        "print [The total is] :total 'quoted word'",
        "",
    };
    std::string text;
    for (int i = 0; i < lines; ++i) text += std::string(kPiece[i % 10]) + "\n";
    return text;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    int lines = argc > 1 ? std::max(10, std::atoi(argv[1])) : 10000;
    desktop::DeriveDesktopFolders();
    CreateState();
    InstallHostServices();
    static shell::QtEnvironment environment;
    SetEnvironment(&environment);

    QTemporaryDir dir;
    std::string path = dir.path().toStdString() + "/long.tvr";
    std::ofstream(path) << program(lines);

    std::vector<double> opens;
    SourceWindow* window = nullptr;
    for (int run = 0; run < 5; ++run) {
        delete window;
        window = new SourceWindow();
        window->resize(600, 500);
        window->show();
        QElapsedTimer t;
        t.start();
        window->LoadFile(path);
        QCoreApplication::processEvents();
        opens.push_back(double(t.nsecsElapsed()) / 1e6);
    }

    QPlainTextEdit* edit = window->Editor();
    QTextCursor middle(edit->document()->findBlockByNumber(lines / 2 + 7));
    middle.movePosition(QTextCursor::EndOfBlock);
    edit->setTextCursor(middle);
    std::vector<double> keys;
    long long before = window->Highlighter()->LinesColoured();
    const int presses = 200;
    for (int i = 0; i < presses; ++i) {
        QElapsedTimer t;
        t.start();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, "x");
        QApplication::sendEvent(edit, &press);
        QCoreApplication::processEvents();
        keys.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    double perKey = double(window->Highlighter()->LinesColoured() - before) / presses;
    std::printf("lines: %d\n", lines);
    std::printf("open and colour (median of 5): %.1f ms\n", median(opens));
    std::printf("keystroke in the middle (median of %d): %.3f ms, %.1f line(s) coloured per keystroke\n", presses,
                median(keys), perKey);
    delete window;
    return 0;
}
