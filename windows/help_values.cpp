#include "help_values.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "skin.h"

namespace tavro {

namespace fs = std::filesystem;

std::string HtmlColour(const QColor& colour)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", colour.red() & 0xFF, colour.green() & 0xFF,
                  colour.blue() & 0xFF);
    return text;
}

int FontHeightValue(const QFont& font, double dotsPerInch)
{
    if (font.pixelSize() > 0) return -font.pixelSize();
    double points = font.pointSizeF() > 0 ? font.pointSizeF() : 10.0;
    return -int(std::lround(points * dotsPerInch / 72.0));
}

std::string MainFilter(const std::string& topic) { return "*[name='" + topic + "']"; }

HelpValueFiles::HelpValueFiles(std::string helpFolder, std::string userFolder)
    : helpFolder_(std::move(helpFolder)), userFolder_(std::move(userFolder)), folder_(helpFolder_)
{
}

bool HelpValueFiles::writeFile(const std::string& folder, const char* file, const std::string& value)
{
    std::ofstream out(folder + file, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << value;
    out.flush();
    return bool(out);
}

void HelpValueFiles::Write(const char* file, const std::string& value)
{
    values_[file] = value;
    if (writeFile(folder_, file, value)) return;
    if (InUserFolder()) return;  // nowhere else to go: the failure is ignored
    folder_ = userFolder_;
    std::error_code ec;
    fs::create_directories(folder_, ec);
    // The presentation now reads only from here: every value goes along.
    for (const auto& [name, v] : values_) writeFile(folder_, name.c_str(), v);
}

void HelpValueFiles::WriteStyle(const QFont& font, double dotsPerInch)
{
    const desktop::SkinColours& c = desktop::CurrentSkin().Colours;
    Write(kBackgroundColorFile, HtmlColour(c.Workspace));
    Write(kTextColorFile, HtmlColour(c.Text));
    Write(kBlendColorFile, HtmlColour(c.Menu));
    Write(kLinkColorFile, HtmlColour(c.Number));
    Write(kFontSizeFile, std::to_string(FontHeightValue(font, dotsPerInch)));
    Write(kFontFamilyFile, font.family().toStdString());
}

void HelpValueFiles::WriteTopic(const std::string& topic)
{
    Write(kMainFilterFile, MainFilter(topic));
    Write(kTopicFilterFile, topic);
}

std::string ReadHelpValue(const std::string& folder, const char* file, bool* found)
{
    std::ifstream in(folder + file, std::ios::binary);
    if (found) *found = bool(in);
    if (!in) return {};
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace tavro
