#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "installation.h"
#include "message_table.h"
#include "modes.h"
#include "state.h"
#include "structure.h"

namespace tavro::runner {

namespace {

// No program comes near this; an endless stream must not fill memory.
constexpr size_t kMaxProgramBytes = size_t(1) << 30;

bool fail(std::string* why, const std::string& text)
{
    if (why) *why = text;
    return false;
}

}  // namespace

bool ReadSource(const std::string& path, std::string& text, std::string* why)
{
    int fd = STDIN_FILENO;
    if (path != "-") {
        std::error_code ec;
        if (std::filesystem::is_directory(path, ec)) return fail(why, path + " is a folder, not a program");
        fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return fail(why, "cannot read " + path);
    }
    text.clear();
    bool ok = true;
    bool wide = false;  // UTF-16 text holds zero bytes; other text never does
    char buffer[65536];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ok = fail(why, "cannot read " + path);
            break;
        }
        if (n == 0) break;
        if (text.empty() && n >= 2 && static_cast<unsigned char>(buffer[0]) == 0xFF &&
            static_cast<unsigned char>(buffer[1]) == 0xFE)
            wide = true;
        if (!wide && std::memchr(buffer, 0, size_t(n))) {
            ok = fail(why, path + " is not a program text (it holds zero bytes)");
            break;
        }
        if (text.size() + size_t(n) > kMaxProgramBytes) {
            ok = fail(why, path + " is too large for a program (more than 1 GB)");
            break;
        }
        text.append(buffer, size_t(n));
    }
    if (fd != STDIN_FILENO) close(fd);
    if (!ok) text.clear();
    return ok;
}

bool PrepareDeveloperMode(const std::string& path, std::string& text)
{
    std::string why;
    if (!ReadSource(path, text, &why)) {
        std::fprintf(stderr, "%s\n", why.c_str());
        return false;
    }
    CreateState();
    PushContext(CreatePath(nullptr, "[Root]", nullptr, false));
    LoadErrorMessages("English");
    return true;
}

}  // namespace tavro::runner
