// Measures the memory and info windows as a user meets them:
//  1. RebuildTree of the memory window for a name tree of 10,000 nodes
//     (100 objects of 99 members each, plus the libraries' procedures),
//     once with every object closed and once with every object open;
//  2. in the info window, the time from Enter in the address box to the
//     rendered topic, for a word's topic ("repeat") and for the largest
//     page ("index").
// Each figure is the median of several rounds. Run it under an X server:
//   xvfb-run -a build/bench/ide/tavro-memory-info-bench [CONFIG.ini]
#include <QApplication>

#include "bench_setup.h"
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "configuration.h"
#include "host_services.h"
#include "info_window.h"
#include "main_window.h"
#include "memory_window.h"
#include "qt_environment.h"
#include "run_control.h"
#include "startup.h"
#include "state.h"
#include "structure.h"
#include "tool_window.h"

using namespace tavro;
using namespace tavro::shell;
using namespace tavro::desktop;

namespace {

constexpr int kRounds = 9;

template <class F>
double medianMs(F&& f)
{
    std::vector<double> times;
    for (int i = 0; i < kRounds; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        times.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

int countItems(QTreeWidget* tree)
{
    int n = 0;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) ++n;
    return n;
}

double enterToPage(InfoWindow* web, const QString& word, const QString& expected)
{
    return medianMs([&] {
        web->AddressBox()->lineEdit()->setText(word);
        QTest::keyClick(web->AddressBox()->lineEdit(), Qt::Key_Return);
        while (!web->View()->toPlainText().contains(expected)) QCoreApplication::processEvents();
        // The next round must render again.
        web->View()->clear();
    });
}

}  // namespace

int main(int argc, char** argv)
{
    EnsureLargeStack(argv);
    QApplication app(argc, argv);
    SetUpBuildTreeInterpreter(argc, argv);
    ConfigSet("AUTOSAVE", "No");
    auto* main = new MainWindow();
    main->ApplyConfiguration({});
    SetStartupComplete(true);
    main->RunDeferredWork();

    MemoryWindow* memory = main->OpenMemory();
    RunSystemCommand("repeat 100 [make \"i (repeat) , repeat 99 "
                     "[make (word (word \"obj :i) (word \".m (repeat))) (repeat)]]");
    memory->RebuildTree();
    std::printf("tree_items %d\n", countItems(memory->Tree()));
    std::printf("rebuild_closed_ms %.1f\n", medianMs([&] { memory->RebuildTree(); }));
    for (Atom* m = RootNode()->FirstChild; m; m = m->NextSibling) SetFlag(m, kExpandedInMemoryWindow, true);
    std::printf("rebuild_open_ms %.1f\n", medianMs([&] { memory->RebuildTree(); }));

    InfoWindow* web = main->OpenInfo();
    web->TimerTick();
    std::printf("enter_to_topic_ms %.1f\n", enterToPage(web, "repeat", "repeat: run a list several times"));
    std::printf("enter_to_index_ms %.1f\n", enterToPage(web, "index", "Index of all topics"));
    delete main;
    return 0;
}
