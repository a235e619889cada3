// Skins: the eleven colours and the Error colour, the sixteen border pictures, the optional
// desktop picture and the layout values every self-drawn window uses.
//
// A skin is a folder of the images folder's "Skins/". The skin named
// exactly "Windows" is the plain look: built-in colours, the platform's
// window frames, no pictures read. Any other skin is a picture skin whose
// "colors.txt" and border pictures are read by LoadSkin.
#pragma once

#include <QColor>
#include <QImage>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tavro::desktop {

class SkinError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct SkinColours {
    QColor Desktop{160, 160, 160};
    QColor Grid{128, 128, 128};
    QColor Text{0, 0, 0};
    QColor Number{0, 0, 128};
    QColor Variable{0, 0, 255};
    QColor Word{0, 128, 0};
    QColor Comment{96, 96, 96};
    QColor Menu{200, 200, 200};
    QColor Workspace{255, 255, 255};
    QColor Caption{0, 0, 0};
    QColor MenuCap{160, 160, 160};
    // Run errors in the output window and the source window's status
    // strip; a skin without an "Error" line gets a red that suits its
    // working area.
    QColor Error{192, 0, 0};
};

// The picture slots: the edges and corners with their shade masks, and the
// desktop picture.
enum SkinSlot {
    slotL, slotLShade, slotR, slotRShade, slotT, slotTShade, slotB, slotBShade,
    slotTL, slotTLShade, slotTR, slotTRShade, slotBL, slotBLShade, slotBR, slotBRShade,
    slotDesktop, kSkinSlots
};

struct Skin {
    std::string Name;
    bool Plain = true;
    std::string Folder;  // images folder + "Skins/" + name + "/"
    SkinColours Colours;
    QImage Slots[kSkinSlots];
    int Top = 0, Bottom = 0, Left = 0, Right = 0;  // border metrics
    int CaptionLeft = 0, CaptionTop = 0;
    int SelectionTop = 0, SelectionBottom = 0, SelectionLeft = 0, SelectionRight = 0;
    // Border and desktop pictures of the folder that are missing or cannot
    // be read (file names); the skin is shown without them.
    std::vector<std::string> Unreadable;
};
Skin& CurrentSkin();

struct ParsedColour {
    QColor Colour{0, 0, 0};
    std::string Remainder;
};
// "R,G,B" or "R,G,B,rest"; fewer than two commas read as black; each
// component keeps its lowest 8 bits. Throws SkinError when a component is
// not a whole number.
ParsedColour ParseColour(std::string_view text);

// base + ".bmp", else base + ".jpg", else base itself; a null image when
// the file does not exist or cannot be read.
QImage LoadPicture(const std::string& base);

// The message naming a skin's unreadable pictures; empty when there are
// none or the skin's folder does not exist.
std::string UnreadablePicturesMessage(const Skin& skin);

// Loads the skin `name` into CurrentSkin() (pictures, metrics, colours;
// the plain colours for "Windows"). A skin without "colors.txt" keeps the
// previous colours. Throws SkinError for a malformed colour or layout
// value; the skin is then partly loaded.
void LoadSkin(const std::string& name);

// The entries of the skins folder, sorted.
std::vector<std::string> SkinNames();

}  // namespace tavro::desktop
