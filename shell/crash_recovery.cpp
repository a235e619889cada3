#include "crash_recovery.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "configuration.h"
#include "languages.h"
#include "memory_room.h"
#include "message_dialog.h"
#include "program_files.h"
#include "source_window.h"
#include "whole_file.h"

namespace tavro::shell {

using namespace desktop;

namespace {

constexpr const char* kFileName = "tavro-recovery.txt";
constexpr const char* kHeader = "TAVRO RECOVERY 1";
constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

volatile sig_atomic_t gWriting = 0;
std::terminate_handler gPreviousTerminate = nullptr;

bool writeAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n <= 0) return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

// Once per process: a second fault while writing gives up at once.
void writeOnce()
{
    if (gWriting) return;
    gWriting = 1;
    // The process may have died of exhausted memory: whatever room is held
    // back goes to the writing.
    GiveRoomInCrash();
    try {
        WriteRecoveryFile(RecoveryFilePath());
    } catch (...) {
    }
}

void onFatalSignal(int signal)
{
    writeOnce();
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

void onTerminate()
{
    writeOnce();
    if (gPreviousTerminate) gPreviousTerminate();
    std::abort();
}

}  // namespace

std::string RecoveryFilePath()
{
    namespace fs = std::filesystem;
    fs::path config(ConfigurationPath());
    fs::path folder = config.has_parent_path() ? config.parent_path() : fs::path(UserConfigurationFolder());
    return (folder / kFileName).string();
}

void InstallCrashRecovery()
{
    for (int s : kFatalSignals) {
        struct sigaction action {};
        action.sa_handler = onFatalSignal;
        sigemptyset(&action.sa_mask);
        // A crash from running out of stack still finds a stack to write on.
        action.sa_flags = SA_ONSTACK;
        sigaction(s, &action, nullptr);
    }
    static char alternateStack[1 << 16];
    stack_t stack{};
    stack.ss_sp = alternateStack;
    stack.ss_size = sizeof alternateStack;
    sigaltstack(&stack, nullptr);
    gPreviousTerminate = std::set_terminate(onTerminate);
}

int WriteRecoveryFile(const std::string& path)
{
    std::string contents = std::string(kHeader) + "\n";
    int count = 0;
    for (SourceWindow* w : SourceWindows()) {
        if (!w->IsModified()) continue;
        std::string text = w->Editor()->toPlainText().toStdString();
        contents += "FILE " + w->FileName() + "\n";
        contents += "CAPTION " + w->Caption() + "\n";
        contents += "SIZE " + std::to_string(text.size()) + "\n";
        contents += text + "\n";
        ++count;
    }
    if (count == 0) return 0;
    return WriteWholeFile(path, contents, nullptr, true) ? count : 0;
}

void WriteRecoveryBeforeEnding() { writeOnce(); }

void RefreshRecoveryFile()
{
    const std::string path = RecoveryFilePath();
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return;
    bool unsaved = false;
    for (SourceWindow* w : SourceWindows()) unsaved = unsaved || w->IsModified();
    if (unsaved) WriteRecoveryFile(path);
    else std::filesystem::remove(path, ec);
}

void DiscardRecoveryFile()
{
    std::error_code ec;
    std::filesystem::remove(RecoveryFilePath(), ec);
}

std::vector<RecoveredProgram> ReadRecoveryFile(const std::string& path)
{
    std::vector<RecoveredProgram> programs;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!std::getline(in, line) || line != kHeader) return programs;
    auto field = [&](const char* name, std::string& value) {
        std::string prefix = std::string(name) + " ";
        if (!std::getline(in, line) || line.compare(0, prefix.size(), prefix) != 0) return false;
        value = line.substr(prefix.size());
        return true;
    };
    for (;;) {
        RecoveredProgram p;
        std::string size;
        if (!field("FILE", p.fileName) || !field("CAPTION", p.caption) || !field("SIZE", size)) break;
        char* end = nullptr;
        unsigned long long bytes = std::strtoull(size.c_str(), &end, 10);
        if (size.empty() || *end || bytes > (1ull << 31)) break;
        p.text.resize(size_t(bytes));
        if (!in.read(p.text.data(), std::streamsize(bytes)) || in.get() != '\n') break;
        programs.push_back(std::move(p));
    }
    return programs;
}

int OfferRecovery()
{
    const std::string path = RecoveryFilePath();
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return 0;
    // The file stays until its programs are open again and saved or the
    // user declines them: a crash in between offers them once more.
    std::vector<RecoveredProgram> programs = ReadRecoveryFile(path);
    if (programs.empty()) {
        std::filesystem::remove(path, ec);
        return 0;
    }
    std::string names;
    for (const auto& p : programs) names += (names.empty() ? "" : ", ") + p.caption;
    if (ShowMessageDialog(FormatOne(Tr("FILERECOVER"), names), {}, {}, 3) != answerOK) {
        std::filesystem::remove(path, ec);
        return 0;
    }
    int opened = 0;
    WindowBatch batch;
    for (const auto& p : programs) {
        SourceWindow* w = OpenSourceWindow(QRect(QPoint(20 * opened, 20 * opened), QSize(ConfigInt("SOURCE.WIDTH"), ConfigInt("SOURCE.HEIGHT"))), {});
        w->AdoptText(p.fileName, QString::fromStdString(p.text));
        // Each save or close of a recovered program rewrites the file with
        // what is still unsaved (or removes it when nothing is).
        auto refresh = [] { QTimer::singleShot(0, [] { RefreshRecoveryFile(); }); };
        QObject::connect(w->Editor()->document(), &QTextDocument::modificationChanged, refresh);
        QObject::connect(w, &QObject::destroyed, refresh);
        ++opened;
    }
    return opened;
}

}  // namespace tavro::shell
