// Whole files of the user: read at once, written without risk.
//
// Every write of a file that belongs to the user (programs, saved output,
// the configuration, the recovery file, pictures) goes through
// WriteWholeFile: the bytes go to a temporary file in the target's folder,
// every write, the sync and the close are checked, and only then is the
// temporary file renamed over the target. On any failure the temporary
// file is removed, the target stays exactly as it was, and the system's
// reason ("No space left on device") is handed back for the message.
//
// ReadWholeFile refuses what cannot be read whole before reading it: a
// folder, a device, a pipe or socket, and files larger than
// kLargestReadableFile; an unreadable file is a failure with the system's
// reason, never an empty text.
#pragma once

#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>

namespace tavro {

// The largest file read whole: 64 MB, far above any program and far below
// the memory a text of that size takes in an editor.
constexpr std::size_t kLargestReadableFile = std::size_t(64) << 20;

// True when the bytes are on disk under `path`. Otherwise false, `reason`
// (when given) is the system's reason, and the previous file is unchanged.
// An existing file keeps its permissions; a new one gets 0644 (under the
// umask) or 0600 when `privateFile`.
bool WriteWholeFile(const std::string& path, std::string_view bytes, std::string* reason = nullptr,
                    bool privateFile = false);

// Reads the whole regular file (up to `limit` bytes) into `bytes`. False
// with the reason when it cannot be opened or read, is no regular file, or
// is larger than `limit`.
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string* reason = nullptr,
                   std::size_t limit = kLargestReadableFile);

// What a file looked like when it was read or written, to notice a change
// by another program before it is overwritten.
struct FileStamp {
    bool exists = false;
    long long size = 0;
    std::timespec modified{};
    unsigned long long inode = 0;
    bool operator==(const FileStamp& other) const;
};
FileStamp StampOf(const std::string& path);

}  // namespace tavro
