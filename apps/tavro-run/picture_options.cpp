#include "picture_options.h"

#include <cstdio>

#include "picture_format.h"

namespace tavro::runner {

bool PictureOptions::Set(const std::string& option, const std::string& value)
{
    if (option == "--picture") {
        file = value;
        return scene::PictureFormatOf(value) != scene::PictureFormat::None;
    }
    int w = 0, h = 0;
    char rest = 0;
    if (std::sscanf(value.c_str(), "%dx%d%c", &w, &h, &rest) != 2 || w < 1 || h < 1 ||
        w > scene::kMaxPictureSide || h > scene::kMaxPictureSide ||
        (long long)w * h > scene::kMaxPicturePixels)
        return false;
    width = w;
    height = h;
    sizeGiven = true;
    return true;
}

}  // namespace tavro::runner
