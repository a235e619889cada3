// tavro_fuzz: a mutation fuzzer for the whole interpreter (lexer, parser,
// compiler, executor and the core library).
//
//   tavro_fuzz [OPTIONS] SEED...
//
// SEED is a program file, a folder (every *.tvr below it) or a help file
// (*.xml: the text of every <code> element). Each input is a mutated seed
// or a splice of two; it runs in a child process forked from an
// interpreter that has already loaded the libraries, so a crash costs one
// child and the next input starts from the same clean state. A child that
// dies by a signal, or exits with anything but 0, is a finding: its input
// is kept in the output folder as crash-N.tvr together with what it wrote
// to standard error (crash-N.log; sanitizer reports land there).
//
// Options:
//   --runs N        inputs to run (default 1000; 0: until --seconds ends)
//   --seconds N     stop after N seconds (default: no limit)
//   --seed N        random seed (default 1): the same seed, seeds and
//                   options give the same inputs
//   --steps N       statements a child may run before it is stopped like
//                   a user stop (default 20000)
//   --timeout N     seconds before a child counts as hung and is killed
//                   (default 10); hangs are kept like crashes
//                   (hang-N.tvr), each with a minimised copy (.min.tvr)
//   --memory MB     the interpreter's memory ceiling in each child
//                   (default 1024)
//   --out DIR       where findings go (default: fuzz-findings)
//   --quiet         no progress lines
//   --replay        run each SEED file once, unmutated, and tell how it
//                   ended (for reproducing a finding)
//
// Exit status: 0 when no input crashed, 1 when some did, 2 for a usage
// error.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "environment.h"
#include "host_services.h"
#include "installation.h"
#include "interpreter.h"
#include "memory_limit.h"
#include "run_control.h"
#include "state.h"

using namespace tavro;
namespace fs = std::filesystem;

namespace {

struct Options {
    long runs = 1000;
    long seconds = 0;
    unsigned seed = 1;
    long steps = 20000;
    int timeout = 10;
    long memoryMb = 1024;
    std::string out = "fuzz-findings";
    bool quiet = false;
    bool replay = false;
    std::vector<std::string> seeds;
};

// Output goes nowhere; keys never come; the step budget ends the run the
// way the Stop command does (YieldCheck pumps messages every 16 statements).
class FuzzEnvironment : public Environment {
public:
    explicit FuzzEnvironment(long steps) : pumpsLeft_(steps / 16 + 1) {}
    void ProcessMessages() override
    {
        if (--pumpsLeft_ <= 0 && RunState != rsIdle && RunState != rsStopped)
            SetRunState(rsStopRequested);
    }
    bool CollectKeys() override { return true; }

private:
    long pumpsLeft_;
};

// ------------------------------------------------------------ the seeds

std::string readFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string unescapeXml(std::string_view s)
{
    static const std::pair<std::string_view, char> entities[] = {
        {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        bool replaced = false;
        if (s[i] == '&') {
            for (const auto& [entity, c] : entities) {
                if (s.substr(i, entity.size()) == entity) {
                    out += c;
                    i += entity.size() - 1;
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) out += s[i];
    }
    return out;
}

void addSeed(const fs::path& p, std::vector<std::string>& corpus)
{
    std::error_code ec;
    if (fs::is_directory(p, ec)) {
        for (const auto& e : fs::recursive_directory_iterator(p, ec))
            if (e.is_regular_file() && e.path().extension() == ".tvr") corpus.push_back(readFile(e.path()));
        return;
    }
    std::string text = readFile(p);
    if (p.extension() != ".xml") {
        corpus.push_back(text);
        return;
    }
    for (size_t at = text.find("<code>"); at != std::string::npos; at = text.find("<code>", at)) {
        at += 6;
        size_t end = text.find("</code>", at);
        if (end == std::string::npos) break;
        corpus.push_back(unescapeXml(std::string_view(text).substr(at, end - at)));
        at = end;
    }
}

// ------------------------------------------------------------ mutations

// Words and shapes that reach the interesting corners: every reserved word,
// names of the tree, deep nesting, huge and odd numbers, comments, quotes.
const char* const kDictionary[] = {
    "make ", "ob ", "print ", "run ", "if ", "while ", "repeat ", "output ", "local ",
    "DUMP", "to ", "end\n", ":", "\"", ".", ",", "\n", "[", "]", "(", ")", "{", "}", "'",
    ";", " - ", "+", "*", "/", "^", "=", "<", ">", "<=", "<>", "1e5000", "-1e-300",
    "2147483648", "0", "-0", "NAN", "INF", "1e308", "[Root]", "'[Root]'", "..", ".onchange",
    ".ondrawimage", ".lambda", ".onpriority", ".onbeforemake", ".onaftermake", "\"x", ":x",
    "x.y.z", "first ", "butfirst ", "last ", "item ", "count ", "word ", "sentence ",
    "fput ", "lput ", "list ", "iseq ", "thing ", "erase ", "members ", "parentof ",
    "fullname ", "sin ", "cos ", "tan ", "sqrt ", "power ", "char ", "ascii ", "reverse ",
    "uppercase ", "runtext ", "lock ", "keepdefinition ", "keephistory ",
    "trackdependencies ", "(repeat)", "(while)", "dll.core.SUM", "readword", "readchar",
};

class Mutator {
public:
    Mutator(const std::vector<std::string>& corpus, unsigned seed) : corpus_(corpus), rng_(seed) {}

    std::string next()
    {
        std::string s = corpus_[pick(corpus_.size())];
        int rounds = 1 + int(pick(6));
        for (int i = 0; i < rounds; ++i) mutate(s);
        if (s.size() > kMaxInput) s.resize(kMaxInput);
        return s;
    }

private:
    static constexpr size_t kMaxInput = 1 << 20;

    size_t pick(size_t n) { return n ? std::uniform_int_distribution<size_t>(0, n - 1)(rng_) : 0; }

    void mutate(std::string& s)
    {
        size_t at = pick(s.size() + 1);
        switch (pick(9)) {
        case 0:  // one byte, any value
            if (!s.empty()) s[pick(s.size())] = char(pick(256));
            break;
        case 1:  // a dictionary word
        case 2:
            s.insert(at, kDictionary[pick(std::size(kDictionary))]);
            break;
        case 3:  // a cut
            if (!s.empty()) s.erase(at > 0 ? at - 1 : 0, 1 + pick(16));
            break;
        case 4: {  // a piece repeated
            if (s.empty()) break;
            size_t from = pick(s.size());
            std::string piece = s.substr(from, 1 + pick(12));
            size_t times = pick(4) == 0 ? 1 + pick(20000) : 1 + pick(8);
            std::string grown;
            for (size_t k = 0; k < times && grown.size() < kMaxInput; ++k) grown += piece;
            s.insert(at, grown);
            break;
        }
        case 5: {  // spliced with another seed
            const std::string& other = corpus_[pick(corpus_.size())];
            size_t from = pick(other.size() + 1);
            s.insert(at, other.substr(from, pick(200)));
            break;
        }
        case 6: {  // a number exchanged for an odd one
            const char* numbers[] = {"0", "-1", "1e5000", "-1e-12", "179.9999999", "90", "270",
                                     "4294967296", "1e-4950", "3.5", "-0.0000001"};
            s.insert(at, std::string(" ") + numbers[pick(std::size(numbers))] + " ");
            break;
        }
        case 7:  // a statement break
            s.insert(at, pick(2) ? "\n" : " , ");
            break;
        default:  // a delimiter dropped or doubled
            for (size_t k = 0; k < s.size(); ++k) {
                size_t i = (at + k) % s.size();
                if (std::strchr("[](){}'\":", s[i])) {
                    if (pick(2))
                        s.erase(i, 1);
                    else
                        s.insert(i, 1, s[i]);
                    break;
                }
            }
        }
    }

    const std::vector<std::string>& corpus_;
    std::mt19937 rng_;
};

// ----------------------------------------------------------- the runs

enum class Outcome { Clean, Crash, Hang };

Outcome runChild(const std::string& input, const Options& o, const std::string& logPath)
{
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t pid = fork();
    if (pid < 0) return Outcome::Clean;
    if (pid == 0) {
        int null = open("/dev/null", O_RDWR);
        int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        if (log >= 0) dup2(log, STDERR_FILENO);
        alarm(unsigned(o.timeout));
        SetRunState(rsRunning);
        RunCommandText(input, "fuzz");
        SetRunState(rsStopped);
        _exit(0);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status) && (WTERMSIG(status) == SIGALRM || WTERMSIG(status) == SIGKILL))
        return Outcome::Hang;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return Outcome::Clean;
    return Outcome::Crash;
}

// The input cut down while it still ends the same way: lines are taken out
// in halves, then quarters and so on, as long as a smaller input keeps the
// outcome. At most `tries` runs (a hang costs the timeout each).
std::string minimise(std::string input, Outcome outcome, const Options& o, const std::string& logPath, int tries)
{
    auto lines = [](const std::string& text) {
        std::vector<std::string> out;
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            out.push_back(text.substr(start, end - start));
            start = end + 1;
        }
        return out;
    };
    std::vector<std::string> kept = lines(input);
    for (size_t chunks = 2; tries > 0 && kept.size() > 1 && chunks <= kept.size();) {
        size_t size = (kept.size() + chunks - 1) / chunks;
        bool cut = false;
        for (size_t from = 0; from < kept.size() && tries > 0; from += size) {
            std::vector<std::string> trial(kept.begin(), kept.begin() + long(from));
            trial.insert(trial.end(), kept.begin() + long(std::min(kept.size(), from + size)), kept.end());
            std::string text;
            for (const auto& l : trial) text += l + "\n";
            --tries;
            if (!trial.empty() && runChild(text, o, logPath) == outcome) {
                kept = trial;
                cut = true;
                break;
            }
        }
        if (!cut) chunks *= 2;
        else chunks = std::max<size_t>(2, chunks - 1);
    }
    std::string text;
    for (const auto& l : kept) text += l + "\n";
    return text;
}

double secondsSince(const timespec& start)
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec - start.tv_sec) + double(now.tv_nsec - start.tv_nsec) / 1e9;
}

int fuzzMain(const Options& o)
{
    std::vector<std::string> corpus;
    for (const auto& s : o.seeds) addSeed(s, corpus);
    if (corpus.empty()) {
        std::fprintf(stderr, "tavro_fuzz: no seeds\n");
        return 2;
    }
    std::error_code ec;
    fs::create_directories(o.out, ec);

    FuzzEnvironment env(o.steps);
    DeriveFolders();
    CreateState();
    InstallHostServices();
    SetEnvironment(&env);
    LoadConfiguration("default.ini");
    ApplyCoreConfiguration();
    LibraryCommandText = BuildLibraryCommandText(Configuration().TextOrKey("LIBRARIES"));
    SetMemoryCeiling(size_t(o.memoryMb) << 20);
    Reset();

    const std::string logPath = (fs::path(o.out) / "child.log").string();
    if (o.replay) {
        int found = 0;
        for (const auto& input : corpus) {
            Outcome r = runChild(input, o, logPath);
            std::printf("%s\n", r == Outcome::Clean ? "clean" : r == Outcome::Hang ? "hang" : "crash");
            if (r == Outcome::Crash) ++found;
        }
        return found ? 1 : 0;
    }
    Mutator mutator(corpus, o.seed);
    timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    long ran = 0, crashes = 0, hangs = 0;
    for (;;) {
        if (o.runs > 0 && ran >= o.runs) break;
        if (o.seconds > 0 && secondsSince(start) >= double(o.seconds)) break;
        std::string input = mutator.next();
        Outcome r = runChild(input, o, logPath);
        ++ran;
        if (r == Outcome::Hang || r == Outcome::Crash) {
            long n = r == Outcome::Hang ? ++hangs : ++crashes;
            fs::path base = fs::path(o.out) / ((r == Outcome::Hang ? "hang-" : "crash-") + std::to_string(n));
            // The whole input first, so nothing is lost should minimising
            // itself be cut short.
            std::ofstream(base.string() + ".tvr", std::ios::binary) << input;
            fs::rename(logPath, base.string() + ".log", ec);
            std::string small = minimise(input, r, o, logPath, r == Outcome::Hang ? 12 : 64);
            if (small.size() < input.size())
                std::ofstream(base.string() + ".min.tvr", std::ios::binary) << small;
        }
        if (!o.quiet && ran % 1000 == 0)
            std::printf("%ld inputs, %ld crashes, %ld hangs, %.0f s\n", ran, crashes, hangs,
                        secondsSince(start));
    }
    std::printf("done: %ld inputs, %ld crashes, %ld hangs, %.0f s\n", ran, crashes, hangs,
                secondsSince(start));
    return crashes ? 1 : 0;
}

struct Call {
    Options* options;
    int status;
};

void* onLargeStack(void* p)
{
    auto* c = static_cast<Call*>(p);
    c->status = fuzzMain(*c->options);
    return nullptr;
}

}  // namespace

int main(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* v = nullptr;
        if (a == "--quiet") {
            o.quiet = true;
        } else if (a == "--replay") {
            o.replay = true;
        } else if (a == "--runs" && (v = value())) {
            o.runs = std::atol(v);
        } else if (a == "--seconds" && (v = value())) {
            o.seconds = std::atol(v);
        } else if (a == "--seed" && (v = value())) {
            o.seed = unsigned(std::atol(v));
        } else if (a == "--steps" && (v = value())) {
            o.steps = std::atol(v);
        } else if (a == "--timeout" && (v = value())) {
            o.timeout = std::atoi(v);
        } else if (a == "--memory" && (v = value())) {
            o.memoryMb = std::atol(v);
        } else if (a == "--out" && (v = value())) {
            o.out = v;
        } else if (!a.empty() && a[0] != '-') {
            o.seeds.push_back(a);
        } else {
            std::fprintf(stderr, "usage: tavro_fuzz [OPTIONS] SEED...\n");
            return 2;
        }
    }
    // The interpreter runs on a large stack, as in the runner, so deep
    // recursion ends with the language error and not with the stack.
    Call call{&o, 0};
    pthread_attr_t attr;
    pthread_t thread;
    if (pthread_attr_init(&attr) == 0 && pthread_attr_setstacksize(&attr, size_t(256) << 20) == 0 &&
        pthread_create(&thread, &attr, onLargeStack, &call) == 0) {
        pthread_join(thread, nullptr);
        return call.status;
    }
    return fuzzMain(o);
}
