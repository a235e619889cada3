// picture_compare - golden-image check of a program's final scene.
//
//   picture_compare RUNNER PROGRAM GOLDEN.jpg WORK.jpg WxH
//
// Runs `RUNNER --picture WORK.jpg --size WxH PROGRAM` and compares the
// picture with the golden one, with a tolerance: JPEG and the rasteriser
// may move a component by a few steps and an edge by a pixel, so the test
// fails when the mean difference is above 1 step or more than 0.05% of the
// pixels (150 of 640x480) differ by more than 48 in some component. With the
// environment variable TAVRO_UPDATE_GOLDEN=1 the picture replaces the
// golden one instead (look at it before committing).
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "jpeg.h"

using tavro::scene::ReadJpeg;
using tavro::scene::RgbImage;

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: picture_compare RUNNER PROGRAM GOLDEN.jpg WORK.jpg WxH\n");
        return 2;
    }
    std::string runner = argv[1], program = argv[2], golden = argv[3], work = argv[4],
                size = argv[5];
    std::filesystem::remove(work);
    std::string command = "'" + runner + "' --picture '" + work + "' --size " + size + " '" +
                          program + "' > /dev/null";
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "%s failed\n", command.c_str());
        return 1;
    }
    const char* update = std::getenv("TAVRO_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        std::filesystem::copy_file(work, golden, std::filesystem::copy_options::overwrite_existing);
        std::printf("updated %s\n", golden.c_str());
        return 0;
    }
    RgbImage want, got;
    std::string error;
    if (!ReadJpeg(golden, want, error) || !ReadJpeg(work, got, error)) {
        std::fprintf(stderr, "cannot read a picture: %s\n", error.c_str());
        return 1;
    }
    if (want.width != got.width || want.height != got.height) {
        std::fprintf(stderr, "size %dx%d, golden %dx%d\n", got.width, got.height, want.width,
                     want.height);
        return 1;
    }
    double total = 0;
    size_t far = 0, pixels = size_t(want.width) * want.height;
    for (size_t i = 0; i < pixels; ++i) {
        int worst = 0;
        for (int c = 0; c < 3; ++c) {
            int d = std::abs(int(want.pixels[3 * i + c]) - int(got.pixels[3 * i + c]));
            total += d;
            if (d > worst) worst = d;
        }
        if (worst > 48) ++far;
    }
    double mean = total / (3.0 * pixels);
    std::printf("mean difference %.3f, %zu of %zu pixels far off\n", mean, far, pixels);
    return (mean <= 1.0 && far * 2000 <= pixels) ? 0 : 1;
}
