// Display lists: one per drawable variable node, compiled from its
// `ondrawimage` procedure or, for a container, from calls of its members'
// lists.
#include <GL/gl.h>

#include <algorithm>

#include "executor.h"
#include "expr.h"
#include "list_call.h"
#include "scene.h"
#include "state.h"
#include "structure.h"

namespace tavro::scene {

namespace {

// Members in member order, robust against the chain changing behind the
// current member (a member's build may run program code).
template <typename F>
void forEachMember(Atom* node, F f)
{
    for (Atom* m = node->FirstChild; m;) {
        Atom* next = m->NextSibling;
        f(m);
        m = next;
    }
}

bool inTree(const Atom* node)
{
    const Atom* root = RootNode();
    for (const Atom* n = node; n; n = n->Parent)
        if (n == root) return true;
    return false;
}

}  // namespace

size_t Scene::listFilterBit(const Atom* node)
{
    uint64_t h = (reinterpret_cast<uintptr_t>(node) >> 4) * 0x9E3779B97F4A7C15ull;
    return static_cast<size_t>(h >> (64 - kListFilterLog2));
}

bool Scene::HasDisplayList(const Atom* node) const
{
    // Asked for most nodes the program assigns and for every call's
    // record: a clear bit answers without the map.
    if (!listFilter_.test(listFilterBit(node))) return false;
    return lists_.count(node) != 0;
}

void Scene::noteList(Atom* node, uint32_t name)
{
    lists_[node] = name;
    owners_[name] = node;
    listFilter_.set(listFilterBit(node));
    ++listsCompiled_;
}

uint32_t Scene::ListOf(const Atom* node) const
{
    auto it = lists_.find(node);
    return it == lists_.end() ? 0 : it->second;
}

Atom* Scene::NodeOfList(uint32_t name) const
{
    auto it = owners_.find(name);
    return it == owners_.end() ? nullptr : it->second;
}

void Scene::DeleteDisplayList(Atom* node)
{
    auto it = lists_.find(node);
    if (it == lists_.end()) return;
    glDeleteLists(it->second, 1);
    owners_.erase(it->second);
    lists_.erase(it);
    auto content = contents_.find(node);
    if (content != contents_.end()) {
        glDeleteLists(content->second, 1);
        contents_.erase(content);
    }
    members_.erase(node);
    if (!deferredBuilds_.empty())
        std::erase(deferredBuilds_, node);
}

// A node keeps its list name for as long as its atom exists: a container
// calls its members by name, so a member rebuilt on its own (service 10)
// must come back under the same name, and no other node may take it.
// Names are therefore ours, never recycled by glGenLists; the content
// lists of procedures take fresh names from the same counter.
uint32_t Scene::reserveName(Atom* node)
{
    auto [it, added] = names_.try_emplace(node, nextName_);
    if (added) ++nextName_;
    return it->second;
}

bool Scene::CanDraw(const Atom* node) const
{
    if (!IsVariable(node) || !node->Parent) return false;
    if (node == node->Parent->DrawImageChild || node == node->Parent->ChangeChild) return false;
    if (node->Flags & flNotDrawn) return false;
    if (drawing_ || deferred_ || compiling_ > 0) return false;
    const Atom* draw = node->DrawImageChild;
    if (!draw || !IsObject(LeftOf(draw)) || LeftOf(draw)->Kind != akList) return false;
    return TextOf(node) != "[]";
}

void Scene::BuildDisplayList(Atom* node)
{
    if (!CanDraw(node)) return;
    DeleteDisplayList(node);
    uint32_t name = reserveName(node);
    if (Length(LeftOf(node->DrawImageChild)) > 1)
        compileProcedure(node, name);
    else
        compileContainer(node, name);
}

// The procedure's drawing goes into a list of its own, new for every
// compilation, which the node's list calls: a library that keeps state per
// drawing (the current colour, say) sees a new GL_LIST_INDEX whenever a
// new drawing starts, even for the same node.
void Scene::compileProcedure(Atom* node, uint32_t name)
{
    Atom* draw = node->DrawImageChild;
    Atom* statement = NewCell(NewWord(TextOf(draw)), nullptr);
    Hold holdStatement(statement);
    Hold holdNode(node);

    uint32_t content = nextName_++;
    glNewList(content, GL_COMPILE);
    ++compiling_;
    // A frame keeps the pixels of a drawing recorded once (frames.cpp).
    ++recordings_[node];
    callsLists_.erase(node);
    const Atom* outerRecording = recording_;
    recording_ = node;
    Atom* savedCell = CurrentCell;
    Hold holdCell(savedCell);
    PushContext(node);
    // Closed on every path: the list exists afterwards even when the
    // procedure failed half-way, like any other list.
    struct Close {
        Scene* scene;
        Atom* node;
        uint32_t name;
        uint32_t content;
        Atom* cell;
        const Atom* outerRecording;
        ~Close()
        {
            scene->recording_ = outerRecording;
            PopContext();
            CurrentCell = cell;
            glEndList();
            glNewList(name, GL_COMPILE);
            glCallList(content);
            glEndList();
            --scene->compiling_;
            scene->noteList(node, name);
            scene->contents_[node] = content;
        }
    } close{this, node, name, content, savedCell, outerRecording};

    CurrentCell = statement;
    CompileStatement();
    EvaluateCode(statement, true);
}

void Scene::compileContainer(Atom* node, uint32_t name)
{
    forEachMember(node, [&](Atom* m) {
        if (!HasDisplayList(m)) BuildDisplayList(m);
    });
    bool open = false;
    std::vector<uint32_t> called;
    forEachMember(node, [&](Atom* m) {
        uint32_t member = ListOf(m);
        if (!member) return;
        if (!open) {
            glNewList(name, GL_COMPILE);
            open = true;
        }
        CallListNamed(member);
        called.push_back(member);
    });
    if (!open) return;
    glEndList();
    noteList(node, name);
    members_[node] = std::move(called);
}

void Scene::RebuildSubtree(Atom* node)
{
    if (!IsVariable(node)) return;
    DeleteDisplayList(node);
    forEachMember(node, [&](Atom* m) { RebuildSubtree(m); });
    BuildDisplayList(node);
}

void Scene::RebuildScene()
{
    if (rebuilding_) {
        // A drawing that asks for a full rebuild while it is being
        // recorded would ask again in every further pass, for ever.
        if (compiling_ == 0) rebuildPending_ = true;
        return;
    }
    do {
        rebuildPending_ = false;
        BusyScope busy(*this, rebuilding_);
        RebuildSubtree(RootNode());
        Redraw();
    } while (rebuildPending_);
}

void Scene::BuildLater(Atom* node)
{
    if (!HasDisplayList(node)) {
        BuildDisplayList(node);
        return;
    }
    if (std::find(deferredBuilds_.begin(), deferredBuilds_.end(), node) == deferredBuilds_.end())
        deferredBuilds_.push_back(node);
}

bool Scene::BuildDeferred()
{
    bool built = false;
    while (!deferredBuilds_.empty() && compiling_ == 0) {
        built = true;
        // Taken off first: a failing drawing is not retried for ever, and
        // the build may mark nodes again.
        Atom* node = deferredBuilds_.front();
        deferredBuilds_.erase(deferredBuilds_.begin());
        // A node no longer in the tree (erased, or left behind by a reset
        // until the collector takes it) draws nothing any more.
        if (!inTree(node)) continue;
        Hold hold(node);
        DeleteDisplayList(node);
        BuildDisplayList(node);
    }
    return built;
}

void Scene::DrawChild(Atom* node)
{
    if (!IsVariable(node) || (node->Flags & flNotDrawn)) return;
    uint32_t name = ListOf(node);
    if (!name) return;
    if (recording_) callsLists_.insert(recording_);
    CallListNamed(name);
}

}  // namespace tavro::scene
