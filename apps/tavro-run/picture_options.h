// The runner's picture options (--picture FILE.jpg, --size WxH). They are
// read by every runner; only the picture runner, which links the
// off-screen GL, acts on them (the plain runner hands the whole command
// line over to it, so programs without pictures never load GL).
#pragma once

#include <string>

namespace tavro::runner {

struct PictureOptions {
    std::string file;
    int width = 640;
    int height = 480;
    bool sizeGiven = false;

    bool Requested() const { return !file.empty(); }
    // Takes the value of --picture or --size; false for a malformed size.
    bool Set(const std::string& option, const std::string& value);
};

// The picture runner's file name; it lives beside the plain runner.
constexpr const char* kPictureRunner = "tavro-run-picture";

}  // namespace tavro::runner
