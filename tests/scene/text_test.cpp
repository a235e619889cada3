// text3d: the line font's glyphs and layout.
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "stroke_font.h"

namespace {

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

}  // namespace
