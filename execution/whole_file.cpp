#include "whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace tavro {

namespace {

void setReason(std::string* reason, int error)
{
    if (reason) *reason = std::strerror(error);
}

bool writeAll(int fd, const char* data, size_t size, int& error)
{
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = errno;
            return false;
        }
        // A write that takes nothing would loop for ever: the device is full.
        if (n == 0) {
            error = ENOSPC;
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

}  // namespace

bool WriteWholeFile(const std::string& path, std::string_view bytes, std::string* reason, bool privateFile)
{
    namespace fs = std::filesystem;
    fs::path target(path);
    fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string temporary = (folder / ("." + target.filename().string() + ".tmp-XXXXXX")).string();
    int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        setReason(reason, errno);
        return false;
    }
    int error = 0;
    bool ok = writeAll(fd, bytes.data(), bytes.size(), error);
    if (ok && ::fsync(fd) != 0) ok = false, error = errno;
    if (ok) {
        struct stat old {};
        mode_t mode = privateFile ? 0600 : 0644;
        if (::stat(path.c_str(), &old) == 0) mode = old.st_mode & 07777;
        else if (!privateFile) {
            mode_t mask = ::umask(0);
            ::umask(mask);
            mode &= ~mask;
        }
        ::fchmod(fd, mode);
    }
    if (::close(fd) != 0 && ok) ok = false, error = errno;
    if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) ok = false, error = errno;
    if (!ok) {
        ::unlink(temporary.c_str());
        setReason(reason, error);
        return false;
    }
    // The rename is durable once the folder is synced.
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string* reason, std::size_t limit)
{
    bytes.clear();
    // Opened without blocking, so a pipe without a writer cannot hold the
    // caller; the type is checked on what was opened.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        setReason(reason, errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        setReason(reason, errno);
        ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        if (reason)
            *reason = S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : "Not a regular file (a device, pipe or socket)";
        return false;
    }
    if (size_t(st.st_size) > limit) {
        ::close(fd);
        if (reason) *reason = "File too large (more than " + std::to_string(limit >> 20) + " MB)";
        return false;
    }
    bytes.resize(size_t(st.st_size));
    size_t got = 0;
    for (;;) {
        if (got == bytes.size()) {
            // The file may have grown since fstat.
            if (bytes.size() >= limit + 1) break;
            bytes.resize(std::min(limit + 1, bytes.size() + 65536));
        }
        ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            setReason(reason, errno);
            ::close(fd);
            bytes.clear();
            return false;
        }
        if (n == 0) break;
        got += size_t(n);
    }
    ::close(fd);
    bytes.resize(got);
    if (got > limit) {
        bytes.clear();
        if (reason) *reason = "File too large (more than " + std::to_string(limit >> 20) + " MB)";
        return false;
    }
    return true;
}

bool FileStamp::operator==(const FileStamp& other) const
{
    return exists == other.exists && size == other.size && modified.tv_sec == other.modified.tv_sec &&
           modified.tv_nsec == other.modified.tv_nsec && inode == other.inode;
}

FileStamp StampOf(const std::string& path)
{
    FileStamp stamp;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return stamp;
    stamp.exists = true;
    stamp.size = st.st_size;
    stamp.modified = st.st_mtim;
    stamp.inode = st.st_ino;
    return stamp;
}

}  // namespace tavro
