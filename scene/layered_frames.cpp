// Frames that start from the last one's pixels. A growing drawing (the
// turtle's trail) adds a few finished pieces per frame to thousands drawn
// before: replaying all of them in every frame made a frame cost more the
// longer the trail, and the software rasterisers of virtual machines and
// remote displays spent most of a run on it. The settled pieces are drawn
// once into the view's layer; a frame copies the layer and draws what is
// new or still changing on top. Frames drawn after a run replay every list
// as before.
#include <GL/gl.h>

#include <algorithm>
#include <cstring>

#include "frame_layer.h"
#include "interpreter.h"
#include "list_call.h"
#include "scene.h"
#include "structure.h"

namespace tavro::scene {

namespace {

// Containers in containers: the turtle's trail is four deep. Deeper trees
// are drawn through their lists, where GL's own stacks set the limits.
constexpr int kDeepestWalk = 12;

bool sameVector(const Vector3& a, const Vector3& b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

}  // namespace

bool Scene::FrameKey::operator==(const FrameKey& other) const
{
    return width == other.width && height == other.height && sameVector(eye, other.eye) &&
           sameVector(lookAt, other.lookAt) && sameVector(up, other.up) &&
           std::memcmp(model, other.model, sizeof model) == 0 && background.r == other.background.r &&
           background.g == other.background.g && background.b == other.background.b &&
           background.a == other.background.a && beforeDraw == other.beforeDraw && layer == other.layer;
}

uint32_t Scene::beforeDrawContent() const
{
    Atom* root = RootNode();
    Atom* before = root ? ResolveFrom(root, kBeforeDraw) : nullptr;
    if (!before) return 0;
    auto content = contents_.find(before);
    // A hook list that is a container changes with its members: no frame
    // is kept under it.
    if (content == contents_.end()) return ListOf(before) ? UINT32_MAX : 0;
    return content->second;
}

Scene::FrameKey Scene::frameKey(uint64_t layerSerial) const
{
    FrameKey key;
    key.width = width_;
    key.height = height_;
    key.eye = eye_;
    key.lookAt = lookAt_;
    key.up = up_;
    std::memcpy(key.model, modelMatrix_, sizeof key.model);
    key.background = background_;
    key.beforeDraw = beforeDrawContent();
    key.layer = layerSerial;
    return key;
}

// The list `list` calls its members' lists under their names, or its
// procedure's drawing: the walk follows the names as GL's calls would, so
// a member rebuilt under its old name is found again, a deleted one not.
bool Scene::collectLeaves(uint32_t list, std::vector<Leaf>& leaves, int depth) const
{
    if (depth > kDeepestWalk) return false;
    const Atom* node = NodeOfList(list);
    if (!node) return true;
    if (auto content = contents_.find(node); content != contents_.end()) {
        auto recorded = recordings_.find(node);
        // A drawing waiting to be recorded again (the turtle's open piece)
        // changes soon, however often it was recorded so far.
        bool settled = recorded != recordings_.end() && recorded->second == 1 && !callsLists_.count(node) &&
                       std::find(deferredBuilds_.begin(), deferredBuilds_.end(), node) == deferredBuilds_.end();
        leaves.push_back({content->second, settled});
        return true;
    }
    auto members = members_.find(node);
    if (members == members_.end()) return true;
    for (uint32_t member : members->second)
        if (!collectLeaves(member, leaves, depth + 1)) return false;
    return true;
}

bool Scene::drawLayered()
{
    FrameLayer* layer = view_->Layer();
    // Only the frames of a running program: the one after it, and every
    // other, replays the lists in their order (see below).
    if (!layer || !IsRunActive(RunState)) return false;
    // The layer covers the viewport, which is the whole view.
    if (view_->Width() != width_ || view_->Height() != height_) return false;
    std::vector<Leaf> leaves;
    if (Atom* root = RootNode())
        for (Atom* m = root->FirstChild; m; m = m->NextSibling)
            if (uint32_t name = ListOf(m))
                if (!collectLeaves(name, leaves, 0)) return false;
    // Members are drawn newest first, so a new piece comes before the
    // older ones. Drawn the other way round with the depth test passing
    // ties, each pixel still shows the nearest fragment and, among equally
    // near ones, the one of the newest drawing: the same opaque pixels, but
    // the new pieces come last, after the kept ones. (Translucent drawings
    // that overlap may compose in the other order until the run ends.)
    std::reverse(leaves.begin(), leaves.end());
    size_t settled = 0;
    while (settled < leaves.size() && leaves[settled].settled) ++settled;
    if (settled == 0 || !layer->Prepare(width_, height_)) {
        kept_.clear();
        return false;
    }
    FrameKey key = frameKey(layer->Serial());
    bool keep = key == keptKey_ && kept_.size() <= settled &&
                std::equal(kept_.begin(), kept_.end(), leaves.begin(),
                           [](uint32_t content, const Leaf& leaf) { return content == leaf.content; });
    GLint depthFunc = GL_LESS;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    struct RestoreDepthFunc {
        GLint func;
        ~RestoreDepthFunc() { glDepthFunc(GLenum(func)); }
    } restore{depthFunc};
    layer->Bind();
    beginScene(!keep);
    glDepthFunc(GL_LEQUAL);
    if (keep) {
        ++framesFromKept_;
    } else {
        kept_.clear();
        keptKey_ = key;
    }
    for (size_t i = kept_.size(); i < settled; ++i) {
        CallListIsolated(leaves[i].content);
        kept_.push_back(leaves[i].content);
    }
    if (!layer->CopyToTarget()) {
        kept_.clear();
        return false;
    }
    for (size_t i = settled; i < leaves.size(); ++i) CallListIsolated(leaves[i].content);
    return true;
}

}  // namespace tavro::scene
