// Writing a whole file so that a failure never leaves a half-written one:
// the bytes go to a temporary file beside the target, which replaces the
// target only when every write, the flush and the sync succeeded.
#pragma once

#include <string>

namespace tavro::scene {

// False with the system's reason in `error`; the target is then as it was.
bool WriteWholeFile(const std::string& path, const std::string& bytes, std::string& error);

}  // namespace tavro::scene
