// An environment whose scene operations go to a Scene: the one-line
// delegation of every scene operation of the seam. Base is Environment or
// one of its subclasses (the runner's console environment, the IDE's Qt
// environment); without an attached scene the base's behaviour stays.
// Window services (17, 29, 30, 35) are the base's. A host whose scene
// context is not always current (the IDE) overrides these to make its
// shared context current and then calls them.
#pragma once

#include "environment.h"
#include "scene.h"

namespace tavro::scene {

template <class Base = Environment>
class SceneEnvironment : public Base {
public:
    void AttachScene(Scene* scene) { scene_ = scene; }

    bool KeepsDisplayLists() override { return true; }
    bool HasDisplayList(Atom* node) override
    {
        return scene_ ? scene_->HasDisplayList(node) : Base::HasDisplayList(node);
    }
    void DeleteDisplayList(Atom* node) override
    {
        if (scene_) scene_->DeleteDisplayList(node);
    }
    void BuildDisplayList(Atom* node) override
    {
        if (scene_) scene_->BuildDisplayList(node);
    }
    void RedrawScene() override
    {
        if (scene_) scene_->Redraw();
    }
    // A view that is not on a screen shows no frames during the run: the
    // drawings wait for its end.
    void BuildDeferredDrawings(bool whenFrameDue) override
    {
        if (scene_ && !whenFrameDue && scene_->BuildDeferred()) scene_->Redraw();
    }
    intptr_t SceneService(int code, TText* text, long double n1, long double n2, long double n3,
                          long double n4) override
    {
        if (scene_ && Scene::HandlesService(code))
            return scene_->Service(code, text, n1, n2, n3, n4);
        return Base::SceneService(code, text, n1, n2, n3, n4);
    }
    void SetModelMatrix(const float matrix[16]) override
    {
        if (scene_) scene_->SetModelMatrix(matrix);
    }

private:
    Scene* scene_ = nullptr;
};

}  // namespace tavro::scene
