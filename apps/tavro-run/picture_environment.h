// --picture FILE.jpg [--size WxH]: the runner with a scene. The program
// runs as usual while its objects compile their display lists into an
// off-screen GL context; when everything has run, the final scene is drawn
// once and saved as a JPEG file. Without --picture this is the plain
// console environment.
#pragma once

#include <memory>
#include <string>

#include "console_environment.h"
#include "offscreen_view.h"
#include "picture_options.h"
#include "scene.h"
#include "scene_environment.h"

namespace tavro::runner {

class PictureEnvironment : public scene::SceneEnvironment<ConsoleEnvironment> {
public:
    explicit PictureEnvironment(const PictureOptions& options) : options_(options) {}

    // Creates the off-screen context when a picture was asked for; false
    // (after a message on standard error) when that is impossible.
    bool Start();
    // Draws the final scene and writes the picture; returns the exit
    // status: `status`, or 1 when the picture could not be written.
    int Finish(int status);

private:
    PictureOptions options_;
    std::unique_ptr<scene::OffscreenView> view_;
    std::unique_ptr<scene::Scene> scene_;
};

}  // namespace tavro::runner
