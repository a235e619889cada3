#include "file_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tavro::scene {

bool WriteWholeFile(const std::string& path, const std::string& bytes, std::string& error)
{
    std::string temporary = path + ".part";
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    const char* at = bytes.data();
    size_t left = bytes.size();
    int failure = 0;
    while (left > 0 && !failure) {
        ssize_t n = ::write(fd, at, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) failure = n < 0 ? errno : ENOSPC;
        else {
            at += n;
            left -= size_t(n);
        }
    }
    if (!failure && ::fsync(fd) != 0) failure = errno;
    if (::close(fd) != 0 && !failure) failure = errno;
    if (!failure && std::rename(temporary.c_str(), path.c_str()) != 0) failure = errno;
    if (failure) {
        ::unlink(temporary.c_str());
        error = std::strerror(failure);
        return false;
    }
    return true;
}

}  // namespace tavro::scene
