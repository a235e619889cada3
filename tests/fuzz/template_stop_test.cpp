// The stop request reaches the rounds of the template words: a crossmap
// of a million combinations, a map, filter, find or reduce over a million
// elements ends at the stop, inside its rounds, before its value is
// assigned. Each template call runs as a statement, whose check pumps the
// environment's messages and raises a requested stop. The stop comes from
// the environment at its third pump of the command, the way the fuzzer's
// step budget and the stop keys ask.
#include <cstdio>
#include <string>

#include "environment.h"
#include "host_services.h"
#include "installation.h"
#include "interpreter.h"
#include "run_control.h"
#include "state.h"
#include "structure.h"

using namespace tavro;

namespace {

class StopAtThirdPump : public Environment {
public:
    void ProcessMessages() override
    {
        if (armed && ++pumps == 3) SetRunState(rsStopRequested);
    }
    bool CollectKeys() override { return true; }
    void WriteLine(std::string_view text, int, bool) override { last = text; }
    std::string last;
    bool armed = false;
    int pumps = 0;
};

int failures = 0;

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "template_stop_test: %s\n", what);
        ++failures;
    }
}

}  // namespace

int main()
{
    StopAtThirdPump env;
    DeriveFolders();
    CreateState();
    InstallHostServices();
    SetEnvironment(&env);
    LoadConfiguration("default.ini");
    ApplyCoreConfiguration();
    LibraryCommandText = BuildLibraryCommandText("core.tvr,");
    Reset();
    check(RunSystemCommand("make \"d iseq 1 1000000 , make \"e iseq 1 1000 , print crossmap [?1 + ?2] [[1 2] [10 20]]") ==
              rscRan && env.last == "[11 21 12 22] ",
          "the libraries are there");
    for (const char* word : {"crossmap [?1 + ?2] list :e :e", "map [?1 * 2] :d", "filter [?1 > 0] :d",
                             "find [?1 < 0] :d", "reduce [?1 + ?2] :d"}) {
        RunSystemCommand("make \"r 0");
        env.pumps = 0;
        env.armed = true;
        int result = RunSystemCommand(std::string("make \"r ") + word);
        env.armed = false;
        check(result == rscRunFailed && LastRunStopped, word);
        // Stopped inside the rounds: the value never came.
        check(RunSystemCommand("print :r") == rscRan && env.last == "0 ", word);
        check(env.pumps == 3, word);
    }
    return failures == 0 ? 0 : 1;
}
