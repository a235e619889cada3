#include "console_environment.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include <iostream>
#include <string>

#include "help_text.h"

#include "interpreter.h"
#include "log.h"
#include "run_control.h"
#include "state.h"

namespace tavro::runner {

volatile std::sig_atomic_t InterruptCount = 0;

namespace {
void onInterrupt(int) { InterruptCount = InterruptCount + 1; }
}  // namespace

void InstallInterruptHandler()
{
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no restart: a blocking read returns at once
    sigaction(SIGINT, &sa, nullptr);
}

intptr_t ConsoleEnvironment::SceneService(int code, TText* text, long double n1, long double n2,
                                          long double n3, long double n4)
{
    intptr_t result = 0;
    if (sceneSettings_.Answer(code, n1, n2, n3, n4, result)) return result;
    return Environment::SceneService(code, text, n1, n2, n3, n4);
}

// Lines are written without their line end until the next line starts, so
// that text appended to the last line lands where the output window would
// show it.
void ConsoleEnvironment::WriteLine(std::string_view text, int, bool)
{
    if (lineOpen_) std::fputc('\n', stdout);
    if (!text.empty()) std::fwrite(text.data(), 1, text.size(), stdout);
    lineOpen_ = true;
}

void ConsoleEnvironment::AppendToLastLine(std::string_view text)
{
    if (!text.empty()) std::fwrite(text.data(), 1, text.size(), stdout);
    lineOpen_ = true;
}

void ConsoleEnvironment::FinishLine()
{
    if (lineOpen_) std::fputc('\n', stdout);
    lineOpen_ = false;
    std::fflush(stdout);
}

void ConsoleEnvironment::RequestQuit()
{
    FinishLine();
    CloseLog();
    std::fflush(stderr);
    // The interpreter is deep inside the run: nothing of it needs tearing
    // down, and static destructors must not run under its feet.
    _exit(0);
}

void ConsoleEnvironment::ShowMessage(std::string_view message, std::string_view source)
{
    FinishLine();
    std::string text;
    if (!source.empty()) {
        text += std::string(source) + ":" + std::to_string(CurrentPosition.Line) + ": ";
    }
    text += message;
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
}

bool ConsoleEnvironment::ShowHelp(std::string_view topic)
{
    FinishLine();
    std::fputs(RunnerHelp(topic).c_str(), stdout);
    std::fflush(stdout);
    return true;
}

std::optional<std::string> ConsoleEnvironment::AskText(std::string_view prompt)
{
    FinishLine();
    if (!prompt.empty() && isatty(STDIN_FILENO)) {
        std::fwrite(prompt.data(), 1, prompt.size(), stdout);
        std::fputc(' ', stdout);
        std::fflush(stdout);
    }
    // Read byte by byte from the descriptor, like the keys: nothing is
    // buffered that readchar would then miss. The wait polls, because
    // Ctrl+C may be delivered to another thread and interrupt nothing
    // here; it ends the wait as a stop of the program.
    std::string line;
    for (;;) {
        if (InterruptCount > 0) {
            InterruptCount = 0;
            SetRunState(rsStopRequested);
            return std::nullopt;
        }
        pollfd p{STDIN_FILENO, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char c;
        ssize_t n = read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (line.empty()) return std::nullopt;
            break;
        }
        if (c == '\n') break;
        line += c;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

void ConsoleEnvironment::ProcessMessages()
{
    std::fflush(stdout);
    // A write that Ctrl+C interrupted leaves the error flag set; the
    // output after the stop must still appear.
    if (std::ferror(stdout)) std::clearerr(stdout);
    if (InterruptCount > 0) {
        InterruptCount = 0;
        if (RunState != rsIdle && RunState != rsStopped) SetRunState(rsStopRequested);
    }
}

bool ConsoleEnvironment::CollectKeys()
{
    if (inputEnded_) return true;
    std::fflush(stdout);  // a prompt the program printed shows first
    pollfd p{STDIN_FILENO, POLLIN, 0};
    while (poll(&p, 1, 0) > 0 && (p.revents & (POLLIN | POLLHUP))) {
        char buffer[256];
        ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            inputEnded_ = n == 0 || errno != EINTR;
            return inputEnded_;
        }
        AppendKey(std::string_view(buffer, size_t(n)));
    }
    return false;
}

void ConsoleEnvironment::SleepMilliseconds(int ms) { usleep(static_cast<useconds_t>(ms) * 1000); }

}  // namespace tavro::runner
