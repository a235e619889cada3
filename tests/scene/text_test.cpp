// text3d: the line font's glyphs and layout, and text drawn into an
// object's drawing, read back as pixels.
#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "scene_fixture.h"
#include "stroke_font.h"

namespace {

using tavro::scene::RgbImage;

// ------------------------------------------------------------- the font

TEST(StrokeFont, EveryGlyphIsStrokesOnTheGrid)
{
    std::set<std::string> seen;
    for (unsigned long code = STROKE_FONT_FIRST; code <= STROKE_FONT_LAST; ++code) {
        std::string glyph = stroke_font_glyph(code);
        SCOPED_TRACE(std::string("character ") + char(code));
        if (code == ' ') {
            EXPECT_EQ(glyph, "");
            continue;
        }
        ASSERT_FALSE(glyph.empty());
        // Strokes of two points or more, one blank between them.
        size_t start = 0;
        while (start <= glyph.size()) {
            size_t end = glyph.find(' ', start);
            if (end == std::string::npos) end = glyph.size();
            std::string stroke = glyph.substr(start, end - start);
            EXPECT_EQ(stroke.size() % 2, 0u) << stroke;
            EXPECT_GE(stroke.size(), 4u) << stroke;
            for (size_t i = 0; i + 1 < stroke.size(); i += 2) {
                EXPECT_TRUE(stroke[i] >= '0' && stroke[i] <= '0' + STROKE_FONT_WIDTH) << stroke;
                EXPECT_TRUE(stroke[i + 1] >= '0' && stroke[i + 1] <= '0' + STROKE_FONT_HEIGHT)
                    << stroke;
            }
            start = end + 1;
        }
        // Two characters that look the same would be a slip in the table.
        EXPECT_TRUE(seen.insert(glyph).second) << glyph;
    }
    EXPECT_EQ(seen.count(stroke_font_glyph(0x7F)), 0u) << "the box is no character's";
}

struct Layout {
    std::vector<std::vector<double>> segments;
    size_t characters = 0;
};

Layout layOut(const std::string& text)
{
    Layout l;
    l.characters = stroke_font_layout(
        text.data(), text.size(),
        [](void* context, double x0, double y0, double x1, double y1) {
            static_cast<Layout*>(context)->segments.push_back({x0, y0, x1, y1});
        },
        &l);
    return l;
}

TEST(StrokeFont, EachCodePointTakesOneAdvance)
{
    // A two-, three- and four-byte sequence, a stray continuation byte and
    // a sequence cut short by the end of the text: one box each.
    Layout l = layOut("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\x80z\xE2\x82");
    EXPECT_EQ(l.characters, 7u);
    EXPECT_EQ(layOut("\xC3\xA9").segments.size(), 4u);
    EXPECT_EQ(layOut("").characters, 0u);
    // Every segment stays in its character's cell: below the capitals'
    // height, above the descenders, within its advance.
    Layout text = layOut("Agy|_^ ~{}");
    ASSERT_EQ(text.characters, 10u);
    for (const auto& s : text.segments) {
        for (int end = 0; end < 2; ++end) {
            double x = s[2 * end], y = s[2 * end + 1];
            EXPECT_GE(y, -1.0 / 3 - 1e-9);
            EXPECT_LE(y, 1 + 1e-9);
            EXPECT_GE(x, 0);
            EXPECT_LE(x, 9 * STROKE_FONT_ADVANCE + 4.0 / 6 + 1e-9);
        }
        // Both ends in the same cell.
        EXPECT_EQ(std::floor(s[0] / STROKE_FONT_ADVANCE), std::floor(s[2] / STROKE_FONT_ADVANCE));
    }
}

// ----------------------------------------------------------- in the scene

// The camera looks at the XY plane from straight above, 40 units away:
// the text stands upright on the screen.
const char* kFacingCamera = "eye 0 0 40\nlookat 0 0 0\nupvector 0 1 0";

// The box of the dark pixels of a frame, and how many there are.
struct Ink {
    int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1, count = 0;
    int Width() const { return count ? right - left + 1 : 0; }
};

class TextSceneTest : public SceneTest {
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        ASSERT_TRUE(Run(kFacingCamera));
        double half = 40 * std::tan(tavro::scene::FieldOfView(kHeight) / 2 * M_PI / 180);
        unit = kHeight / 2.0 / half;
        originX = kWidth / 2 - 3 * unit;
        originY = kHeight / 2;
    }

    // Draws the object's text in black, its origin 3 units left of the
    // centre, and finds the ink.
    Ink Draw(const std::string& body)
    {
        Ink ink;
        EXPECT_TRUE(Run("to words.ondrawimage\n color 0 0 0\n move -3 0 0\n " + body + "\nend"))
            << body;
        Scene.Paint({255, 255, 255});
        RgbImage image = View.Read();
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x) {
                const uint8_t* p = image.At(x, y);
                if (p[0] > 128 || p[1] > 128 || p[2] > 128) continue;
                ++ink.count;
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x);
                ink.top = std::min(ink.top, y);
                ink.bottom = std::max(ink.bottom, y);
            }
        return ink;
    }

    double unit = 0;  // pixels per unit
    double originX = 0, originY = 0;
};

TEST_F(TextSceneTest, TextInksItsBoxFromTheOriginUpToTheCapitals)
{
    Ink ink = Draw("text3d \"HELLO");
    ASSERT_GT(ink.count, 5 * unit);
    // H's stem stands on the origin, the capitals' tops one unit above.
    EXPECT_NEAR(ink.left, originX, 1.5);
    EXPECT_NEAR(ink.top, originY - unit, 1.5);
    EXPECT_NEAR(ink.bottom, originY, 1.5);
    EXPECT_NEAR(ink.right, originX + (4 * 0.8 + 4.0 / 6) * unit, 1.5);
    // Descenders reach below the line; the word draws nothing outside a
    // drawing.
    EXPECT_NEAR(Draw("text3d \"gy").bottom, originY + unit / 3, 1.5);
    EXPECT_TRUE(Run("text3d \"outside"));
}

TEST_F(TextSceneTest, LongerTextIsWiderByItsAdvances)
{
    int two = Draw("text3d \"Hi").Width();
    int six = Draw("text3d \"'Hi Hi!'").Width();
    ASSERT_GT(two, 0);
    EXPECT_NEAR(six - two, 4 * 0.8 * unit, 2.5);
    // Characters the font lacks still take their place.
    EXPECT_NEAR(Draw("text3d \"H\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9i").Width(), six, 2.5);
}

TEST_F(TextSceneTest, ListDrawsAsPrintShowsIt)
{
    Ink list = Draw("text3d [AB [C] 7]");
    Ink words = Draw("text3d \"'AB [C] 7'");
    ASSERT_GT(list.count, 0);
    EXPECT_EQ(list.left, words.left);
    EXPECT_EQ(list.right, words.right);
    EXPECT_EQ(list.count, words.count);
}

}  // namespace
