// Pictures that leave the plane: raster pictures at any size drawn tile by
// tile, SVG vectors where the camera projects them (and as rsvg-convert
// draws them), watertight meshes for 3D printing with their colours, the
// formats and sizes that are refused, and the camera's fallback up vector.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "mesh.h"
#include "png_file.h"
#include "scene_fixture.h"

namespace {

using tavro::scene::Mesh;
using tavro::scene::RgbImage;

bool red(const uint8_t* p) { return p[0] > 160 && p[1] < 100 && p[2] < 100; }

bool redNear(const RgbImage& image, int x, int y, int within)
{
    for (int dy = -within; dy <= within; ++dy)
        for (int dx = -within; dx <= within; ++dx) {
            int px = x + dx, py = y + dy;
            if (px >= 0 && py >= 0 && px < image.width && py < image.height && red(image.At(px, py)))
                return true;
        }
    return false;
}

// The share of the red pixels of `a` that have a red pixel of `b` within
// `within` pixels, when b is `scale` times as large.
double redFoundIn(const RgbImage& a, const RgbImage& b, int scale, int within)
{
    int all = 0, found = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            if (red(a.At(x, y))) {
                ++all;
                if (redNear(b, x * scale + scale / 2, y * scale + scale / 2, within)) ++found;
            }
    return all ? double(found) / all : 0;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string temporary(const std::string& name) { return ::testing::TempDir() + "tavro-export-" + name; }

// A file name as a program writes it: in bars, since "/" and "-" are
// operators.
std::string inBars(const std::string& path) { return "\"'" + path + "'"; }

// A red square of 60 steps around home, the turtle hidden.
constexpr const char* kSquare = "hideturtle\nsetpc \"red\npenup\nsetxy -30 -30\npendown\nrepeat 4 [fd 60 rt 90]";

double pixelsPerStep(int height)
{
    double half = 40 * std::tan(tavro::scene::FieldOfView(height) / 2 * M_PI / 180);
    return height / 2.0 / half * 0.05;
}

TEST_F(TurtleSceneTest, PicturesOfAnySizeShowTheViewTileByTile)
{
    ASSERT_TRUE(Run(kSquare));
    RgbImage one = Scene.RenderPicture(kWidth, kHeight);
    // Twice the size is four tiles of the view's buffer, and the square
    // crosses all of them.
    RgbImage two = Scene.RenderPicture(2 * kWidth, 2 * kHeight);
    ASSERT_EQ(two.width, 2 * kWidth);
    EXPECT_GT(redFoundIn(one, two, 2, 2), 0.97);
    for (auto [x, y] : {std::pair{0.3, 0.3}, {0.7, 0.3}, {0.3, 0.7}, {0.7, 0.7}}) {
        bool any = false;
        for (int py = int(y * two.height) - 40; py < int(y * two.height) + 40 && !any; ++py)
            for (int px = int(x * two.width) - 40; px < int(x * two.width) + 40 && !any; ++px)
                any = red(two.At(px, py));
        EXPECT_TRUE(any) << "a side of the square in the tile at " << x << " " << y;
    }

    // The file form writes exactly that picture, losslessly.
    std::string file = temporary("square.png");
    ASSERT_TRUE(Run("(savepicture " + inBars(file) + " 320 240)"));
    RgbImage back;
    std::string error;
    ASSERT_TRUE(tavro::scene::ReadPng(file, back, error)) << error;
    EXPECT_EQ(back.pixels, two.pixels);
    std::remove(file.c_str());

    // A wider picture shows more on its longer side: the square keeps its
    // size in pixels per step of the height.
    RgbImage wide = Scene.RenderPicture(2 * kWidth, kHeight);
    int left = wide.width, right = -1;
    for (int x = 0; x < wide.width; ++x)
        if (red(wide.At(x, kHeight / 2 + 1)) || red(wide.At(x, kHeight / 2 - 1))) {
            left = std::min(left, x);
            right = std::max(right, x);
        }
    EXPECT_NEAR(right - left, 60 * pixelsPerStep(kHeight), 3);
}

TEST_F(TurtleSceneTest, SvgHoldsTheStrokesWhereTheCameraProjectsThem)
{
    ASSERT_TRUE(Run("hideturtle\nsetpc \"red\nsetpensize 2\nrepeat 4 [fd 30 rt 90]"));
    std::string file = temporary("square.svg");
    ASSERT_TRUE(Run("savepicture " + inBars(file)));
    std::string svg = readFile(file);
    ASSERT_NE(svg.find("<svg"), std::string::npos);

    // One path for the stroke piece: five points, the square's corners.
    std::smatch m;
    ASSERT_TRUE(std::regex_search(svg, m, std::regex("<path d=\"([^\"]*)\"[^>]*stroke=\"#ff0000\"")));
    std::vector<double> numbers;
    std::string d = m[1];
    std::regex number("-?[0-9.]+");
    for (auto it = std::sregex_iterator(d.begin(), d.end(), number); it != std::sregex_iterator(); ++it)
        numbers.push_back(std::stod(it->str()));
    ASSERT_EQ(numbers.size(), 10u) << d;
    double s = 30 * pixelsPerStep(kHeight), cx = kWidth / 2.0, cy = kHeight / 2.0;
    std::vector<std::pair<double, double>> corners = {{cx, cy}, {cx, cy - s}, {cx + s, cy - s}, {cx + s, cy}};
    for (size_t i = 0; i < numbers.size(); i += 2) {
        bool atCorner = false;
        for (auto [x, y] : corners) atCorner |= std::abs(numbers[i] - x) < 0.6 && std::abs(numbers[i + 1] - y) < 0.6;
        EXPECT_TRUE(atCorner) << numbers[i] << " " << numbers[i + 1];
    }
    EXPECT_EQ(std::count(svg.begin(), svg.end(), '\n'), 5) << "header, svg, background, path, end";

    // rsvg-convert draws it where GL draws the same view.
    std::string raster = temporary("square-svg.png");
    ASSERT_EQ(std::system(("rsvg-convert -o '" + raster + "' '" + file + "'").c_str()), 0)
        << "rsvg-convert (librsvg2-bin) is needed";
    RgbImage fromSvg, fromGl = Scene.RenderPicture(kWidth, kHeight);
    std::string error;
    ASSERT_TRUE(tavro::scene::ReadPng(raster, fromSvg, error)) << error;
    EXPECT_GT(redFoundIn(fromSvg, fromGl, 1, 2), 0.95);
    EXPECT_GT(redFoundIn(fromGl, fromSvg, 1, 2), 0.95);
    std::remove(file.c_str());
    std::remove(raster.c_str());
}

// A cube, a sphere and a turtle's path in 3D with its head: every edge of the mesh is an
// edge of exactly two triangles, in opposite directions, and the box is
// the scene's in turtle steps.
TEST_F(TurtleSceneTest, ModelsForPrintingAreWatertight)
{
    ASSERT_TRUE(Run("to block.ondrawimage\n color \"red\n cube 2\nend"));
    ASSERT_TRUE(Run("to ball.ondrawimage\n color \"blue\n move 3 0 0\n sphere 1\nend"));
    ASSERT_TRUE(Run("penup\nsetxyz 0 100 0\npendown\nsetpensize 3\nrepeat 12 [fd 20 rt 30 up 10]"));
    Mesh mesh;
    ASSERT_TRUE(Scene.MeshOf(mesh));
    EXPECT_TRUE(mesh.Watertight(true));
    double lowX = 1e9, highX = -1e9, lowZ = 1e9, highZ = -1e9;
    for (const auto& v : mesh.vertices) {
        lowX = std::min(lowX, v.x);
        highX = std::max(highX, v.x);
        lowZ = std::min(lowZ, v.z);
        highZ = std::max(highZ, v.z);
    }
    // The cube's side is 2 units, 40 steps; the ball reaches 4 units out.
    EXPECT_NEAR(lowX, -20, 2);
    EXPECT_NEAR(highX, 80, 0.5);
    EXPECT_NEAR(lowZ, -20, 0.5);
    EXPECT_GT(highZ, 20);

    // OBJ keeps the three colours in its material file.
    std::string file = temporary("model.obj");
    ASSERT_TRUE(Run("savepicture " + inBars(file)));
    std::string obj = readFile(file), mtl = readFile(temporary("model.mtl"));
    EXPECT_NE(obj.find("mtllib tavro-export-model.mtl"), std::string::npos);
    EXPECT_NE(mtl.find("Kd 1.0000 0.0000 0.0000"), std::string::npos) << mtl;
    EXPECT_NE(mtl.find("Kd 0.0000 0.0000 1.0000"), std::string::npos) << mtl;
    size_t faces = 0;
    for (size_t at = obj.find("\nf "); at != std::string::npos; at = obj.find("\nf ", at + 1)) ++faces;
    EXPECT_EQ(faces, mesh.triangles.size());
    std::remove(file.c_str());
    std::remove(temporary("model.mtl").c_str());

    // STL: a header, the count, fifty bytes a triangle.
    file = temporary("model.stl");
    ASSERT_TRUE(Run("savepicture " + inBars(file)));
    EXPECT_EQ(readFile(file).size(), 84 + 50 * mesh.triangles.size());
    std::remove(file.c_str());
}

TEST_F(TurtleSceneTest, FormatsAndSizesOutsideTheRulesAreRefused)
{
    ASSERT_TRUE(Run("fd 10"));
    EXPECT_FALSE(Run("savepicture " + inBars(temporary("picture.bmp"))));
    ASSERT_EQ(Env.Messages.size(), 1u);
    EXPECT_NE(Env.Messages[0].find(".png, .jpg, .svg, .stl or .obj"), std::string::npos) << Env.Messages[0];
    EXPECT_FALSE(Run("(savepicture " + inBars(temporary("huge.png")) + " 20000 10)"));
    EXPECT_FALSE(Run("(savepicture " + inBars(temporary("huge.png")) + " 10000 10000)"));
    ASSERT_EQ(Env.Messages.size(), 1u);
    EXPECT_NE(Env.Messages[0].find("too large"), std::string::npos) << Env.Messages[0];
    ASSERT_TRUE(Run("clean\nhideturtle"));
    EXPECT_FALSE(Run("savepicture " + inBars(temporary("nothing.stl"))));
}

// The view follows the drawing only when some of it is outside.
TEST_F(TurtleSceneTest, DrawingOutsideTheViewIsNoticed)
{
    // The test's small view shows about 50 steps up from home.
    ASSERT_TRUE(Run("fd 30"));
    EXPECT_FALSE(Scene.DrawingOutsideView());
    ASSERT_TRUE(Run("fd 3000"));
    EXPECT_TRUE(Scene.DrawingOutsideView());
    ASSERT_TRUE(Scene.Fit());
    EXPECT_FALSE(Scene.DrawingOutsideView());
}

// An up vector along the line of sight: the Z axis stands in, and the
// object shows.
TEST_F(TurtleSceneTest, UpVectorAlongTheViewFallsBackToAnAxis)
{
    ASSERT_TRUE(Run("hideturtle\nto ball.ondrawimage\n color \"red\n sphere 1\nend"));
    ASSERT_TRUE(Run("eye 0 -60 0\nlookat 0 0 0"));
    EXPECT_TRUE(Near(Centre(), {255, 0, 0}, 40));
    ASSERT_TRUE(Run("eye 0 0 60\nupvector 0 0 1"));
    EXPECT_TRUE(Near(Centre(), {255, 0, 0}, 40));
    ASSERT_TRUE(Run("print getupvector"));
    EXPECT_EQ(Env.Lines.back(), "[0 0 1] ");
}

}  // namespace
