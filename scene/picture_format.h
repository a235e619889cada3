// The picture formats, chosen by the file name's extension (no GL: the
// runner checks its --picture option before it loads any).
#pragma once

#include <cctype>
#include <string>

namespace tavro::scene {

enum class PictureFormat { None, Png, Jpeg, Svg, Stl, Obj };

// The format of `fileName` by its extension in any letter case; None for
// another extension or none.
inline PictureFormat PictureFormatOf(const std::string& fileName)
{
    size_t dot = fileName.find_last_of('.');
    size_t slash = fileName.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return PictureFormat::None;
    std::string e = fileName.substr(dot + 1);
    for (char& c : e) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (e == "png") return PictureFormat::Png;
    if (e == "jpg" || e == "jpeg") return PictureFormat::Jpeg;
    if (e == "svg") return PictureFormat::Svg;
    if (e == "stl") return PictureFormat::Stl;
    if (e == "obj") return PictureFormat::Obj;
    return PictureFormat::None;
}

// The largest picture: a side, and the pixels in all (three bytes each,
// and a buffer of four bytes each for the runner's view).
constexpr int kMaxPictureSide = 16384;
constexpr long long kMaxPicturePixels = 64LL * 1000 * 1000;

// The extensions, as the messages list them.
constexpr const char* kPictureFormats = ".png, .jpg, .svg, .stl or .obj";

}  // namespace tavro::scene
