// Pictures: JPEG files written from the view, read back; bad paths and
// damaged files are errors, never a crash; the runner's --picture.
#include <sys/stat.h>

#include <cstdio>
#include <fstream>

#include "scene_fixture.h"

namespace {

std::string tempPath(const std::string& name)
{
    std::string dir = std::string(TAVRO_BUILD_DIR) + "/tests/scene/work";
    mkdir(dir.c_str(), 0755);
    return dir + "/" + name;
}

TEST_F(SceneTest, SavedPictureDecodesToTheSceneColours)
{
    ASSERT_TRUE(Run("background 0 1 0 1\nto ball.ondrawimage\n  color 1 0 0\n  sphere 0.5\nend\n"));
    std::string file = tempPath("saved.jpg");
    std::remove(file.c_str());
    // A word with "/" in it is written in bars.
    ASSERT_TRUE(Run("redraw\nsavepicture \"'" + file + "'"));
    tavro::scene::RgbImage image;
    std::string error;
    ASSERT_TRUE(tavro::scene::ReadJpeg(file, image, error)) << error;
    EXPECT_EQ(image.width, kWidth);
    EXPECT_EQ(image.height, kHeight);
    const uint8_t* c = image.At(kWidth / 2, kHeight / 2);
    EXPECT_TRUE(Near({c[0], c[1], c[2]}, {255, 0, 0}));
    const uint8_t* corner = image.At(3, 3);
    EXPECT_TRUE(Near({corner[0], corner[1], corner[2]}, {0, 255, 0}));
}

TEST_F(SceneTest, UnwritablePicturePathIsAnError)
{
    EXPECT_FALSE(Run("savepicture \"'/nonexistent-folder/x.jpg'"));
    ASSERT_EQ(Env.Messages.size(), 1u);
    EXPECT_NE(Env.Messages[0].find("/nonexistent-folder/x.jpg"), std::string::npos);
    // Without a plane there is nothing to save, and that is no error.
    Scene.CloseView();
    EXPECT_TRUE(Run("savepicture \"'/nonexistent-folder/x.jpg'"));
}

TEST(Jpeg, DamagedOrMissingFilesAreFailuresWithAReason)
{
    std::string file = tempPath("damaged.jpg");
    {
        std::ofstream out(file, std::ios::binary);
        out << "this is not a picture";
    }
    tavro::scene::RgbImage image;
    std::string error;
    EXPECT_FALSE(tavro::scene::ReadJpeg(file, image, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(tavro::scene::ReadJpeg(tempPath("missing.jpg"), image, error));

    // A good file cut in half still reads (libjpeg fills the rest) or
    // fails; it never ends the process.
    uint8_t pixels[4 * 4 * 3] = {};
    ASSERT_TRUE(tavro::scene::WriteJpeg(file, pixels, 4, 4, 12, 90, error)) << error;
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(file, std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    tavro::scene::ReadJpeg(file, image, error);
}

TEST(Jpeg, PaddedRowsAreWrittenWithTheirStride)
{
    // 16 x 16 pixels, each row padded by 5 bytes: red above, blue below.
    const int stride = 16 * 3 + 5;
    std::vector<uint8_t> rows(size_t(stride) * 16, 9);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            uint8_t* p = &rows[size_t(y) * stride + 3 * x];
            p[0] = y < 8 ? 255 : 0;
            p[1] = 0;
            p[2] = y < 8 ? 0 : 255;
        }
    std::string file = tempPath("stride.jpg");
    std::string error;
    ASSERT_TRUE(tavro::scene::WriteJpeg(file, rows.data(), 16, 16, stride, 100, error)) << error;
    tavro::scene::RgbImage image;
    ASSERT_TRUE(tavro::scene::ReadJpeg(file, image, error)) << error;
    ASSERT_EQ(image.width, 16);
    const uint8_t* top = image.At(8, 2);
    const uint8_t* bottom = image.At(8, 13);
    EXPECT_TRUE(Near({top[0], top[1], top[2]}, {255, 0, 0}));
    EXPECT_TRUE(Near({bottom[0], bottom[1], bottom[2]}, {0, 0, 255}));
}

TEST(RunnerPicture, ProgramRunsHeadlessAndLeavesItsScene)
{
    std::string program = tempPath("planets.tvr");
    std::ofstream(program)
        << "make \"sun.size 0.5\nto sun.ondrawimage\n  color 1 1 0\n  sphere :size\nend\n"
           "background 0 0 0.5 1\nprint \"ok\n";
    std::string picture = tempPath("planets.jpg");
    std::remove(picture.c_str());
    std::string command = std::string(TAVRO_BUILD_DIR) + "/bin/tavro-run --picture " + picture +
                          " --size 200x100 " + program + " > " + tempPath("planets.out");
    ASSERT_EQ(std::system(command.c_str()), 0);
    tavro::scene::RgbImage image;
    std::string error;
    ASSERT_TRUE(tavro::scene::ReadJpeg(picture, image, error)) << error;
    EXPECT_EQ(image.width, 200);
    EXPECT_EQ(image.height, 100);
    const uint8_t* c = image.At(100, 50);
    EXPECT_TRUE(Near({c[0], c[1], c[2]}, {255, 255, 0}));
    const uint8_t* corner = image.At(2, 2);
    EXPECT_TRUE(Near({corner[0], corner[1], corner[2]}, {0, 0, 128}));

    std::string bad = std::string(TAVRO_BUILD_DIR) +
                      "/bin/tavro-run --picture /nonexistent-folder/p.jpg " + program +
                      " > /dev/null 2>&1";
    EXPECT_EQ(WEXITSTATUS(std::system(bad.c_str())), 1);
}

}  // namespace
