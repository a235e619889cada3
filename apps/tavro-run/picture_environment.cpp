#include "picture_environment.h"

#include <cstdio>

#include "errors.h"

namespace tavro::runner {

namespace {

// The runner has no skin: the plane shows the window colour, white.
constexpr scene::WindowColour kWindowColour{255, 255, 255};

}  // namespace

bool PictureOptions::Set(const std::string& option, const std::string& value)
{
    if (option == "--picture") {
        file = value;
        return !value.empty();
    }
    int w = 0, h = 0;
    char rest = 0;
    if (std::sscanf(value.c_str(), "%dx%d%c", &w, &h, &rest) != 2 || w < 1 || h < 1 || w > 16384 ||
        h > 16384)
        return false;
    width = w;
    height = h;
    sizeGiven = true;
    return true;
}

bool PictureEnvironment::Start()
{
    if (options_.sizeGiven && !options_.Requested()) {
        std::fprintf(stderr, "tavro-run: --size goes with --picture\n");
        return false;
    }
    if (!options_.Requested()) return true;
    auto view = std::make_unique<scene::OffscreenView>();
    std::string error;
    if (!view->Create(options_.width, options_.height, error)) {
        std::fprintf(stderr, "tavro-run: cannot draw pictures: %s\n", error.c_str());
        return false;
    }
    view_ = std::move(view);
    scene_ = std::make_unique<scene::Scene>();
    scene_->OpenView(view_.get(), kWindowColour);
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

bool PictureEnvironment::HasDisplayList(Atom* node) { return scene_ && scene_->HasDisplayList(node); }

void PictureEnvironment::DeleteDisplayList(Atom* node)
{
    if (scene_) scene_->DeleteDisplayList(node);
}

void PictureEnvironment::BuildDisplayList(Atom* node)
{
    if (scene_) scene_->BuildDisplayList(node);
}

void PictureEnvironment::RedrawScene()
{
    if (scene_) scene_->Redraw();
}

intptr_t PictureEnvironment::SceneService(int code, TText* text, long double n1, long double n2,
                                          long double n3, long double n4)
{
    if (scene_ && scene::Scene::HandlesService(code)) return scene_->Service(code, text, n1, n2, n3, n4);
    return 0;
}

void PictureEnvironment::SetModelMatrix(const float matrix[16])
{
    if (scene_) scene_->SetModelMatrix(matrix);
}

}  // namespace tavro::runner
