// tavro-run: the headless command-line environment of Tavro.
//
//   tavro-run [OPTIONS] [FILE.tvr ...]   run program files
//   tavro-run [OPTIONS] -e TEXT ...      run command texts
//   tavro-run [OPTIONS]                  console (terminal) or a program on stdin
#include <malloc.h>
#include <pthread.h>
#include <unistd.h>

#include <cstdio>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "console.h"
#include "console_environment.h"
#include "host_services.h"
#include "installation.h"
#include "interpreter.h"
#include "memory_limit.h"
#include "message_table.h"
#include "modes.h"
#ifdef TAVRO_RUNNER_PICTURES
#include "picture_environment.h"
#else
#include "picture_options.h"
#endif
#include "run_control.h"
#include "state.h"

using namespace tavro;

namespace {

constexpr const char* kUsage =
    "usage: tavro-run [OPTIONS] [FILE.tvr ...]\n"
    "       tavro-run [OPTIONS] -e TEXT [-e TEXT ...]\n"
    "       tavro-run --parse FILE | --code FILE\n"
    "\n"
    "Runs Tavro programs without the desktop environment. With no file and no\n"
    "-e it reads commands from the terminal (an interactive console), or the\n"
    "whole of standard input as one program when it is not a terminal.\n"
    "\n"
    "  -e TEXT          run TEXT as if typed into the command window; several\n"
    "                   -e run in order in one interpreter\n"
    "  --config FILE    use FILE as the configuration (default: default.ini\n"
    "                   beside the executable)\n"
    "  --no-libraries   do not run the library programs after each reset\n"
    "  --picture FILE   after the run, save the scene in the format the name's\n"
    "                   extension asks for: .png, .jpg, .svg (vectors), .stl or\n"
    "                   .obj (models for 3D printing)\n"
    "  --size WxH       the picture's size in pixels (default 640x480; at most\n"
    "                   16384 a side and 64 million pixels)\n"
    "  --memory-limit MB  stop a program with an out-of-memory error when the\n"
    "                   interpreter holds MB megabytes (default: the\n"
    "                   configuration's MEMORYLIMIT, else 3/4 of the memory)\n"
    "  --parse FILE     print the translated program list (FILE - = stdin)\n"
    "  --code FILE      print the compiled code words of each statement\n"
    "  --help           show this help\n"
    "  --version        show the version\n"
    "\n"
    "Exit status: 0 when everything ran, 1 when a program or command failed,\n"
    "2 for a usage error, 130 when Ctrl+C stopped a program file (the files\n"
    "after it do not run). Like lines typed one after another, a command of\n"
    "-e that Ctrl+C stops fails (status 1) and the next one still runs.\n"
    "A program's bye ends the runner at once with status 0.\n";

// A run that the user stopped with Ctrl+C ends the runner like an
// interrupted command.
constexpr int kStoppedStatus = 130;

struct Options {
    std::vector<std::string> files;
    std::vector<std::string> commands;
    std::string config;
    size_t memoryLimit = 0;
    bool noLibraries = false;
    runner::PictureOptions picture;
};

int usageError(const char* what)
{
    std::fprintf(stderr, "tavro-run: %s\n%s", what, kUsage);
    return 2;
}

std::string currentFolder()
{
    char buf[4096];
    return getcwd(buf, sizeof buf) ? std::string(buf) : std::string();
}

void changeFolder(const std::string& folder)
{
    if (!folder.empty() && chdir(folder.c_str()) != 0) {
    }
}

void setUpInterpreter(const Options& o, runner::ConsoleEnvironment& env)
{
    DeriveFolders();
    CreateState();
    InstallHostServices();
    SetEnvironment(&env);
    std::string name = o.config.empty() ? "default.ini" : o.config;
    // The configuration's folder is remembered for finding programs, but
    // the runner keeps the folder it was started in, so file names given
    // on the command line and in `run` mean what the user typed.
    std::string startFolder = currentFolder();
    std::string path = LoadConfiguration(name);
    changeFolder(startFolder);
    if (path.empty() && !o.config.empty())
        std::fprintf(stderr, "tavro-run: configuration file %s not found\n", o.config.c_str());
    ApplyCoreConfiguration();
    if (o.memoryLimit) SetMemoryCeiling(o.memoryLimit);
    if (!o.noLibraries) LibraryCommandText = BuildLibraryCommandText(Configuration().TextOrKey("LIBRARIES"));
}

int runFiles(const Options& o, runner::ConsoleEnvironment& env)
{
    int status = 0;
    for (const auto& file : o.files) {
        std::string text;
        std::string why;
        if (!runner::ReadSource(file, text, &why)) {
            std::fprintf(stderr, "tavro-run: %s\n", why.c_str());
            status = 1;
            continue;
        }
        // Held once while it is translated: the bytes read go as soon as
        // they are decoded, and the decoded text is shared, not copied. A
        // text too long to hold as one is left to the run to report.
        std::string decoded = DecodeTextFile(text);
        std::string().swap(text);
        Text program;
        try {
            program = Text(decoded);
            std::string().swap(decoded);
        } catch (const std::exception&) {
        }
        Reset();
        SetRunState(rsRunning);
        // Like the IDE's Run: the program's folder is the current folder.
        std::string saved = currentFolder();
        if (file != "-") changeFolder(std::filesystem::path(file).parent_path().string());
        const std::string name = file == "-" ? "<stdin>" : file;
        bool ok = program.empty() ? RunCommandText(decoded, name) : RunSharedCommandText(program, name);
        changeFolder(saved);
        SetRunState(rsStopped);
        env.FinishLine();
        if (LastRunStopped) return kStoppedStatus;
        if (!ok) status = 1;
    }
    return status;
}

int runCommands(const Options& o, runner::ConsoleEnvironment& env)
{
    int status = 0;
    Reset();
    for (const auto& text : o.commands) {
        int r = RunSystemCommand(text);
        if (r == rscTranslationFailed) {
            env.ShowMessage(LastErrorText, "");
            status = 1;
        } else if (r == rscRunFailed) {
            status = 1;
        }
    }
    env.FinishLine();
    return status;
}

}  // namespace

namespace {

int runnerMain(int argc, char** argv);

// Deep recursion is ordinary in Logo (recursive list builders, tree walks).
// Each nesting of the interpreter takes about 1.3 KB of machine stack, so
// the runner runs on a thread with a large stack; the depth guard measures
// whatever stack the thread has. Only the pages actually used are touched.
constexpr size_t kInterpreterStack = size_t(256) << 20;

struct MainArguments {
    int argc;
    char** argv;
    int status;
};

void* runOnLargeStack(void* p)
{
    auto* a = static_cast<MainArguments*>(p);
    a->status = runnerMain(a->argc, a->argv);
    return nullptr;
}

}  // namespace

int main(int argc, char** argv)
{
    // One arena: the interpreter thread allocates from the main heap, which
    // grows without the per-thread arena's mprotect calls.
    mallopt(M_ARENA_MAX, 1);
    MainArguments a{argc, argv, 0};
    pthread_attr_t attr;
    pthread_t thread;
    if (pthread_attr_init(&attr) == 0 && pthread_attr_setstacksize(&attr, kInterpreterStack) == 0 &&
        pthread_create(&thread, &attr, runOnLargeStack, &a) == 0) {
        pthread_join(thread, nullptr);
        return a.status;
    }
    return runnerMain(argc, argv);  // no thread: the process stack will do
}

namespace {

#ifndef TAVRO_RUNNER_PICTURES
// Pictures need the off-screen GL, whose libraries cost more to load than
// most programs take to run: only the picture runner beside this one links
// them, and it takes over the same command line.
int handOverToPictureRunner(char** argv)
{
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    std::string path = (self.parent_path() / runner::kPictureRunner).string();
    execv(path.c_str(), argv);
    std::fprintf(stderr, "tavro-run: cannot draw pictures: %s: %s\n", path.c_str(), std::strerror(errno));
    return 1;
}
#endif

int runnerMain(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto next = [&](const char* option) -> const char* {
            if (i + 1 >= argc) return nullptr;
            (void)option;
            return argv[++i];
        };
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--version") {
            std::printf("tavro-run %s\n", TAVRO_VERSION);
            return 0;
        } else if (a == "--parse" || a == "--code") {
            const char* file = next(a.c_str());
            if (!file) return usageError("missing FILE");
            DeriveFolders();
            return a == "--parse" ? runner::ParseMode(file) : runner::CodeMode(file);
        } else if (a == "-e") {
            const char* text = next("-e");
            if (!text) return usageError("-e needs a text");
            o.commands.push_back(text);
        } else if (a == "--config") {
            const char* file = next("--config");
            if (!file) return usageError("--config needs a file");
            o.config = file;
        } else if (a == "--picture" || a == "--size") {
            const char* value = next(a.c_str());
            if (!value || !o.picture.Set(a, value))
                return usageError(a == "--picture"
                                      ? "--picture needs a file name ending in .png, .jpg, .jpeg, .svg, .stl or .obj"
                                      : "--size needs WxH, at most 16384 a side and 64 million pixels in all");
        } else if (a == "--memory-limit") {
            const char* mb = next("--memory-limit");
            if (!mb || !(o.memoryLimit = ParseMemoryMegabytes(mb)))
                return usageError("--memory-limit needs a number of megabytes");
        } else if (a == "--no-libraries") {
            o.noLibraries = true;
        } else if (a.size() > 1 && a[0] == '-' && a != "-") {
            return usageError(("unknown option " + a).c_str());
        } else {
            o.files.push_back(a);
        }
    }
    if (!o.files.empty() && !o.commands.empty()) return usageError("give files or -e, not both");

    KeepFreedMemory();
#ifdef TAVRO_RUNNER_PICTURES
    runner::PictureEnvironment env(o.picture);
    if (!env.Start()) return 1;
#else
    if (o.picture.Requested() || o.picture.sizeGiven) return handOverToPictureRunner(argv);
    runner::ConsoleEnvironment env;
#endif
    runner::InstallInterruptHandler();
    setUpInterpreter(o, env);

    int status;
    if (!o.files.empty()) {
        status = runFiles(o, env);
    } else if (!o.commands.empty()) {
        status = runCommands(o, env);
    } else if (isatty(STDIN_FILENO)) {
        Reset();
        status = runner::RunConsole(env);
    } else {
        o.files.push_back("-");
        status = runFiles(o, env);
    }
    env.FinishLine();
#ifdef TAVRO_RUNNER_PICTURES
    return env.Finish(status);
#else
    return status;
#endif
}

}  // namespace
