#include "pixel_formats.h"

#include <unistd.h>

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "configuration.h"

// Last: the X headers define names (Status, Bool, None) that Qt's use.
#include <GL/glx.h>

namespace tavro {

namespace {

std::string field(int value, int width)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%*d", width, value);
    return buffer;
}

}  // namespace

int WritePixelFormatLog(std::ostream& log, const std::vector<PixelFormat>& formats, int chosen,
                        std::optional<int> forced)
{
    log << "Selected Pixel Format No " << chosen << "\r\n\r\n";
    log << "No Sz V Flags Pix Clr -Red- -Grn- -Blu- -Alf- Acc ----Acc---- Dep Stn Aux Lay R L V D\r\n";
    log << "              Typ Bit Bt Sh Bt Sh Bt Sh Bt Sh Bit Rd Gr Bl Al th  cil Buf er         \r\n";
    int used = chosen;
    for (const PixelFormat& f : formats) {
        if (f.Number < 1 || f.Number > 128) continue;
        log << field(f.Number, 2) << field(f.Size, 3) << field(f.Version, 2) << field(f.Flags, 6)
            << field(f.PixelType, 4) << field(f.ColourBits, 4) << field(f.RedBits, 3) << field(f.RedShift, 3)
            << field(f.GreenBits, 3) << field(f.GreenShift, 3) << field(f.BlueBits, 3) << field(f.BlueShift, 3)
            << field(f.AlphaBits, 3) << field(f.AlphaShift, 3) << field(f.AccumBits, 4) << field(f.AccumRed, 3)
            << field(f.AccumGreen, 3) << field(f.AccumBlue, 3) << field(f.AccumAlpha, 3) << field(f.DepthBits, 5)
            << field(f.StencilBits, 3) << field(f.AuxBuffers, 4) << field(f.LayerType, 3) << field(f.Reserved, 2)
            << field(f.LayerMask, 2) << field(f.VisibleMask, 2) << field(f.DamageMask, 2) << "\r\n";
        if ((f.Flags & kFormatSupportsGL) && (f.Flags & kFormatDoubleBuffer) && f.DepthBits >= 24 &&
            f.Number < used)
            used = f.Number;
    }
    if (forced) used = *forced;
    log << "\r\nUsed Pixel Format No " << used << "\r\n";
    return used;
}

std::vector<PixelFormat> DisplayPixelFormats(int& chosen)
{
    chosen = 0;
    std::vector<PixelFormat> formats;
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display) return formats;
    int screen = DefaultScreen(display);
    int count = 0;
    GLXFBConfig* configs = glXGetFBConfigs(display, screen, &count);
    if (!configs) return formats;
    auto get = [&](GLXFBConfig c, int attribute) {
        int v = 0;
        glXGetFBConfigAttrib(display, c, attribute, &v);
        return v;
    };
    for (int i = 0; i < count; ++i) {
        GLXFBConfig c = configs[i];
        PixelFormat f;
        f.Number = i + 1;
        int drawables = get(c, GLX_DRAWABLE_TYPE);
        f.Flags = (get(c, GLX_DOUBLEBUFFER) ? 0x1 : 0) | (get(c, GLX_STEREO) ? 0x2 : 0) |
                  ((drawables & GLX_WINDOW_BIT) ? 0x4 : 0) | ((drawables & GLX_PIXMAP_BIT) ? 0x8 : 0) |
                  ((get(c, GLX_RENDER_TYPE) & GLX_RGBA_BIT) ? kFormatSupportsGL : 0);
        f.PixelType = (get(c, GLX_RENDER_TYPE) & GLX_RGBA_BIT) ? 0 : 1;
        f.ColourBits = get(c, GLX_BUFFER_SIZE);
        f.RedBits = get(c, GLX_RED_SIZE);
        f.GreenBits = get(c, GLX_GREEN_SIZE);
        f.BlueBits = get(c, GLX_BLUE_SIZE);
        f.AlphaBits = get(c, GLX_ALPHA_SIZE);
        f.AccumRed = get(c, GLX_ACCUM_RED_SIZE);
        f.AccumGreen = get(c, GLX_ACCUM_GREEN_SIZE);
        f.AccumBlue = get(c, GLX_ACCUM_BLUE_SIZE);
        f.AccumAlpha = get(c, GLX_ACCUM_ALPHA_SIZE);
        f.AccumBits = f.AccumRed + f.AccumGreen + f.AccumBlue + f.AccumAlpha;
        f.DepthBits = get(c, GLX_DEPTH_SIZE);
        f.StencilBits = get(c, GLX_STENCIL_SIZE);
        f.AuxBuffers = get(c, GLX_AUX_BUFFERS);
        f.LayerType = get(c, GLX_LEVEL);
        formats.push_back(f);
    }
    const int wanted[] = {GLX_RENDER_TYPE, GLX_RGBA_BIT, GLX_DRAWABLE_TYPE, GLX_WINDOW_BIT, GLX_DOUBLEBUFFER, True,
                          GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8, GLX_DEPTH_SIZE, 24, None};
    int matches = 0;
    GLXFBConfig* best = glXChooseFBConfig(display, screen, wanted, &matches);
    if (best && matches > 0)
        for (int i = 0; i < count; ++i)
            if (configs[i] == best[0]) chosen = i + 1;
    if (best) XFree(best);
    XFree(configs);
    return formats;
}

std::optional<PixelFormat> ChoosePlaneFormat()
{
    int chosen = 0;
    std::vector<PixelFormat> formats = DisplayPixelFormats(chosen);
    if (formats.empty()) return std::nullopt;
    std::optional<int> forced;
    const std::string& exe = desktop::Folders().Executable;
    std::ifstream pix(exe + "opengl.pix");
    int number = 0;
    if (pix && pix >> number) forced = number;
    std::string folder = access(exe.c_str(), W_OK) == 0 ? exe : desktop::UserConfigurationFolder();
    std::ostringstream log;
    int used = WritePixelFormatLog(log, formats, chosen, forced);
    std::ofstream(folder + "opengl.log", std::ios::binary | std::ios::trunc) << log.str();
    for (const PixelFormat& f : formats)
        if (f.Number == used) return f;
    return std::nullopt;
}

}  // namespace tavro
