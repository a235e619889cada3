#include "picture_environment.h"

#include <cstdio>

#include "errors.h"

namespace tavro::runner {

namespace {

// The runner has no skin: the plane shows the window colour, white.
constexpr scene::WindowColour kWindowColour{255, 255, 255};

}  // namespace

bool PictureEnvironment::Start()
{
    if (options_.sizeGiven && !options_.Requested()) {
        std::fprintf(stderr, "tavro-run: --size goes with --picture\n");
        return false;
    }
    if (!options_.Requested()) return true;
    auto view = std::make_unique<scene::OffscreenView>(true);
    std::string error;
    if (!view->Create(options_.width, options_.height, error)) {
        std::fprintf(stderr, "tavro-run: cannot draw pictures: %s\n", error.c_str());
        return false;
    }
    view_ = std::move(view);
    scene_ = std::make_unique<scene::Scene>();
    scene_->OpenView(view_.get(), kWindowColour);
    AttachScene(scene_.get());
    return true;
}

int PictureEnvironment::Finish(int status)
{
    if (!scene_) return status;
    FinishLine();
    try {
        scene_->Paint(kWindowColour);
        scene_->SavePicture(options_.file);
    } catch (const LanguageError& e) {
        std::fprintf(stderr, "tavro-run: %s\n", e.what());
        return 1;
    }
    return status;
}

}  // namespace tavro::runner
