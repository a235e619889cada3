// Picking with the GL selection buffer: the scene is drawn once more in
// selection mode through a small pick region; each hit record names the
// lists that were being called, innermost last.
#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <string>

#include "list_call.h"
#include "scene.h"
#include "structure.h"

namespace tavro::scene {

namespace {

// Climbs a deeper node up to the member of a root member: as long as the
// node has a parent, a grandparent and a great-grandparent.
Atom* memberOfRootMember(Atom* node)
{
    while (node->Parent && node->Parent->Parent && node->Parent->Parent->Parent)
        node = node->Parent;
    return node;
}

}  // namespace

Atom* Scene::Pick(int x, int y, int mode, int radius)
{
    if (!view_ || compiling_ > 0 || !view_->MakeCurrent()) return nullptr;
    GLuint buffer[kSelectionBufferWords];
    glSelectBuffer(kSelectionBufferWords, buffer);
    glRenderMode(GL_SELECT);
    glInitNames();
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // A region of no size would make GLU skip the pick matrix and pick
    // the whole view.
    double size = std::max(1, 2 * radius);
    gluPickMatrix(x, viewport[3] - y, size, size, viewport);
    gluPerspective(FieldOfView(viewport[3]), double(viewport[2]) / std::max(1, viewport[3]),
                   kNearPlane, kFarPlane);
    SetCameraTransform();
    if (Atom* root = RootNode())
        for (Atom* m = root->FirstChild; m; m = m->NextSibling)
            if (uint32_t name = ListOf(m)) CallListNamed(name);
    GLint hits = glRenderMode(GL_RENDER);
    applyProjection();
    SetCameraTransform();

    // An overflowing buffer reports -1: the records that fit are still
    // whole and are used.
    Atom* head = nullptr;
    Atom* tail = nullptr;
    std::string previous;
    bool havePrevious = false;
    int at = 0;
    for (int record = 0; hits < 0 || record < hits; ++record) {
        if (at + 3 > kSelectionBufferWords) break;
        GLuint count = buffer[at];
        if (at + 3 + int(count) > kSelectionBufferWords) break;
        Atom* node = count ? NodeOfList(buffer[at + 3 + count - 1]) : nullptr;
        at += 3 + int(count);
        if (!node) continue;
        if (mode == kPickTopMembers) node = memberOfRootMember(node);
        std::string path = DottedPath(node);
        if (havePrevious && path == previous) continue;
        previous = path;
        havePrevious = true;
        Append(head, tail, NewWord(path));
    }
    return head;
}

}  // namespace tavro::scene
