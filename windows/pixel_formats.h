// The plane window's choice of a framebuffer configuration and its
// diagnostic file "opengl.log".
//
// On this platform the configurations are the GLX framebuffer
// configurations of the display, numbered from 1 in the order the server
// lists them. Each is described in the columns of the log; fields that
// have no meaning here (descriptor size and version, colour shifts, layer
// masks) are written as 0. The choice is the server's best match for a
// double-buffered RGBA window with a depth buffer, replaced by any lower
// numbered configuration that is double-buffered, supports GL and has at
// least 24 depth bits; a number in "opengl.pix" beside the executable
// overrides it. The used configuration's sizes become the plane window's
// surface format.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace tavro {

struct PixelFormat {
    int Number = 0;
    int Size = 0, Version = 0, Flags = 0, PixelType = 0, ColourBits = 0;
    int RedBits = 0, RedShift = 0, GreenBits = 0, GreenShift = 0, BlueBits = 0, BlueShift = 0;
    int AlphaBits = 0, AlphaShift = 0, AccumBits = 0, AccumRed = 0, AccumGreen = 0, AccumBlue = 0, AccumAlpha = 0;
    int DepthBits = 0, StencilBits = 0, AuxBuffers = 0, LayerType = 0, Reserved = 0, LayerMask = 0,
        VisibleMask = 0, DamageMask = 0;
};

constexpr int kFormatDoubleBuffer = 0x1;
constexpr int kFormatSupportsGL = 0x20;

// Writes the log and returns the number of the configuration to use.
int WritePixelFormatLog(std::ostream& log, const std::vector<PixelFormat>& formats, int chosen,
                        std::optional<int> forced);

// The display's configurations and the server's choice (0 when there is
// no X display).
std::vector<PixelFormat> DisplayPixelFormats(int& chosen);

// Enumerates, chooses and logs ("opengl.log" beside the executable when
// writable, else in the user's configuration folder); the used
// configuration, or nullopt without an X display.
std::optional<PixelFormat> ChoosePlaneFormat();

}  // namespace tavro
