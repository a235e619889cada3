#include "skin.h"

#include <algorithm>
#include <filesystem>

#include "configuration.h"
#include "jpeg_reader.h"
#include "message_table.h"

namespace tavro::desktop {

namespace fs = std::filesystem;

namespace {

int component(std::string_view text)
{
    int v = 0;
    if (!ParseWholeNumber(text, v)) throw SkinError("'" + std::string(text) + "' is not a colour component");
    return v & 0xFF;
}

int layoutValue(const NameValueList& list, std::string_view key, const std::string& file)
{
    auto v = list.Find(key);
    int value = 0;
    if (!v || !ParseWholeNumber(*v, value))
        throw SkinError(std::string(key) + " in " + file + " is not a whole number");
    return value;
}

}  // namespace

Skin& CurrentSkin()
{
    static Skin skin;
    return skin;
}

ParsedColour ParseColour(std::string_view text)
{
    ParsedColour r;
    size_t c1 = text.find(',');
    if (c1 == std::string_view::npos) return r;
    std::string_view red = text.substr(0, c1);
    text.remove_prefix(c1 + 1);
    size_t c2 = text.find(',');
    if (c2 == std::string_view::npos) return r;
    std::string_view green = text.substr(0, c2);
    text.remove_prefix(c2 + 1);
    size_t c3 = text.find(',');
    std::string_view blue = text;
    if (c3 != std::string_view::npos) {
        blue = text.substr(0, c3);
        r.Remainder = std::string(text.substr(c3 + 1));
    }
    r.Colour = QColor(component(red), component(green), component(blue));
    return r;
}

namespace {

// The file LoadPicture reads for `base`.
std::string pictureFile(const std::string& base)
{
    std::error_code ec;
    if (fs::is_regular_file(base + ".bmp", ec)) return base + ".bmp";
    if (fs::is_regular_file(base + ".jpg", ec)) return base + ".jpg";
    return base;
}

}  // namespace

QImage LoadPicture(const std::string& base)
{
    std::error_code ec;
    std::string file = pictureFile(base);
    if (!fs::is_regular_file(file, ec)) return {};
    std::string ext = fs::path(file).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    if (ext == ".BMP") {
        QImage image(QString::fromStdString(file), "BMP");
        return image.isNull() ? image : image.convertToFormat(QImage::Format_RGB32);
    }
    return ReadJpeg(file);  // a damaged picture is skipped
}

void LoadSkin(const std::string& name)
{
    Skin& s = CurrentSkin();
    for (auto& slot : s.Slots) slot = QImage();
    s.Unreadable.clear();
    s.Name = name;
    s.Plain = name == "Windows";
    s.Folder = Folders().Images + "Skins/" + name + "/";
    if (s.Plain) {
        s.Colours = SkinColours();
        s.Top = s.Bottom = s.Left = s.Right = 0;
        return;
    }
    static const char* const kBases[16] = {"l",  "l_shade",  "r",  "r_shade",  "t",  "t_shade",  "b",  "b_shade",
                                           "tl", "tl_shade", "tr", "tr_shade", "bl", "bl_shade", "br", "br_shade"};
    for (int i = 0; i < 16; ++i) {
        s.Slots[i] = LoadPicture(s.Folder + kBases[i]);
        if (s.Slots[i].isNull()) {
            std::string file = fs::path(pictureFile(s.Folder + kBases[i])).filename().string();
            s.Unreadable.push_back(file == kBases[i] ? file + ".bmp" : file);
        }
    }
    // A missing edge picture counts as size 0.
    s.Top = s.Slots[slotT].height();
    s.Bottom = s.Slots[slotB].height();
    s.Left = s.Slots[slotL].width();
    s.Right = s.Slots[slotR].width();
    std::string colours = s.Folder + "colors.txt";
    std::error_code ec;
    if (!fs::is_regular_file(colours, ec)) return;
    NameValueList list;
    list.LoadFile(colours);
    auto colour = [&](std::string_view key) { return ParseColour(list.Find(key).value_or("")); };
    ParsedColour desktop = colour("Desktop");
    s.Colours.Desktop = desktop.Colour;
    auto trim = [](std::string t) {
        size_t b = t.find_first_not_of(" \t"), e = t.find_last_not_of(" \t\r");
        return b == std::string::npos ? std::string() : t.substr(b, e - b + 1);
    };
    std::string picture = trim(desktop.Remainder);
    if (!picture.empty()) {
        if (fs::is_regular_file(s.Folder + picture, ec)) s.Slots[slotDesktop] = LoadPicture(s.Folder + picture);
        if (s.Slots[slotDesktop].isNull()) s.Unreadable.push_back(picture);
    }
    s.Colours.Grid = colour("Grid").Colour;
    s.Colours.Text = colour("Text").Colour;
    s.Colours.Number = colour("Number").Colour;
    s.Colours.Variable = colour("Variable").Colour;
    s.Colours.Word = colour("Word").Colour;
    s.Colours.Comment = colour("Comment").Colour;
    s.Colours.Menu = colour("Menu").Colour;
    s.Colours.Workspace = colour("Workspace").Colour;
    s.Colours.Caption = colour("Caption").Colour;
    s.Colours.MenuCap = colour("MenuCap").Colour;
    if (auto error = list.Find("Error")) s.Colours.Error = ParseColour(*error).Colour;
    else s.Colours.Error = s.Colours.Workspace.lightness() < 128 ? QColor(255, 110, 110) : QColor(192, 0, 0);
    s.CaptionLeft = layoutValue(list, "Caption.Left", colours);
    s.CaptionTop = layoutValue(list, "Caption.Top", colours);
    s.SelectionTop = layoutValue(list, "Selection.Top", colours);
    s.SelectionBottom = layoutValue(list, "Selection.Bottom", colours);
    s.SelectionLeft = layoutValue(list, "Selection.Left", colours);
    s.SelectionRight = layoutValue(list, "Selection.Right", colours);
}

std::string UnreadablePicturesMessage(const Skin& skin)
{
    // A skin without a folder is the configuration's to report.
    std::error_code ec;
    if (skin.Unreadable.empty() || !fs::is_directory(skin.Folder, ec)) return {};
    std::string files;
    for (const std::string& f : skin.Unreadable) files += (files.empty() ? "" : ", ") + f;
    return "The skin " + skin.Name + " is shown without pictures that are missing or cannot be read in " +
           skin.Folder + ": " + files;
}

std::vector<std::string> SkinNames()
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(Folders().Images + "Skins/", ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace tavro::desktop
