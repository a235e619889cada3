#include "ending_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QObject>
#include <QSocketNotifier>

#include "crash_recovery.h"

namespace tavro::shell {

namespace {

constexpr int kEndingSignals[] = {SIGTERM, SIGINT, SIGHUP};

int gWake[2] = {-1, -1};
volatile sig_atomic_t gFirstSignal = 0;

// Ends the process as the signal would have, with the recovery file
// written first.
[[noreturn]] void endNow(int signal)
{
    WriteRecoveryBeforeEnding();
    ::signal(signal, SIG_DFL);
    // Called from the handler of this very signal, which blocks it.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
    ::raise(signal);
    ::_exit(128 + signal);
}

void onEndingSignal(int signal)
{
    if (gFirstSignal) endNow(signal);
    gFirstSignal = signal;
    // The GUI thread gets the request through the pipe; should it be stuck
    // in a long operation, the alarm ends the process after the grace.
    ::alarm(kEndingGrace);
    char byte = char(signal);
    [[maybe_unused]] ssize_t n = ::write(gWake[1], &byte, 1);
}

void onAlarm(int) { endNow(gFirstSignal ? int(gFirstSignal) : SIGTERM); }

}  // namespace

void InstallEndingSignals(std::function<void()> close)
{
    if (gWake[0] < 0 && ::pipe2(gWake, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(gWake[0], QSocketNotifier::Read);
    QObject::connect(notifier, &QSocketNotifier::activated, [close = std::move(close)] {
        char byte = 0;
        while (::read(gWake[0], &byte, 1) > 0) {
        }
        // The GUI answers: no need for the alarm, the close takes its time.
        ::alarm(0);
        WriteRecoveryFile(RecoveryFilePath());
        close();
    });
    for (int s : kEndingSignals) {
        struct sigaction action {};
        action.sa_handler = onEndingSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(s, &action, nullptr);
    }
    struct sigaction alarmAction {};
    alarmAction.sa_handler = onAlarm;
    sigemptyset(&alarmAction.sa_mask);
    sigaction(SIGALRM, &alarmAction, nullptr);
}

}  // namespace tavro::shell
