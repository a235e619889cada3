// The 3D scene: every variable node that can draw itself owns one GL
// display list, compiled by running its `ondrawimage` procedure with the
// node as scope; the scene is the sequence of the root members' lists,
// replayed with the camera and model matrix kept here.
//
// GL context contract. Every call into a Scene needs a GL context of the
// scene's share group to be current on the calling thread (the IDE keeps
// one context on an off-screen surface, shared with every plane window, and
// makes it current before it calls in; the runner's off-screen context is
// always current). Operations that draw into the view (Redraw, Paint,
// Pick, SavePicture) make the view's context current themselves through
// SceneView::MakeCurrent. Lists survive the view: closing the plane window
// deletes none.
//
// Using it from an Environment (execution/environment.h), one line each
// (SceneEnvironment in scene_environment.h does exactly this):
//   HasDisplayList(n)     -> scene.HasDisplayList(n)
//   DeleteDisplayList(n)  -> scene.DeleteDisplayList(n)
//   BuildDisplayList(n)   -> scene.BuildDisplayList(n)
//   RedrawScene()         -> scene.Redraw()
//   SetModelMatrix(m)     -> scene.SetModelMatrix(m)
//   SceneService(...)     -> scene.Service(...) for the codes that
//                            HandlesService() names (3-6, 9, 10, 14, 27,
//                            28, 31-34); the window codes (17, 29, 30, 35)
//                            stay with the environment.
// Using it from the plane window's GL callbacks:
//   initializeGL: scene.OpenView(this, workspaceColour)
//   resizeGL:     scene.Resize(w, h)       (framebuffer pixels)
//   paintGL:      scene.Paint(workspaceColour)
//   mouse:        scene.Pick(x, y, mode, radius); scene.MouseBlocked()
//   closing:      scene.CloseView()
//
// Errors: an `ondrawimage` procedure's language error propagates out of
// BuildDisplayList, RebuildSubtree and Service after the list was closed
// and the context and CurrentCell restored. SavePicture raises the error
// "PICTUREFILE" when the file cannot be written.
//
// Not thread-safe: the interpreter's one thread only.
#pragma once

#include <bitset>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "atom.h"
#include "jpeg.h"
#include "picture_format.h"
#include "scene_settings.h"
#include "scene_view.h"

namespace tavro::scene {

// A window colour with components 0..255 (the skin's `Workspace`).
struct WindowColour {
    int r, g, b;
};

// The selection buffer of picking holds this many 32-bit words.
constexpr int kSelectionBufferWords = 1024;

// Pick mode that reports the member of a root member instead of the
// innermost node hit.
constexpr int kPickTopMembers = -1;

class Scene {
public:
    Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    // ---- display lists (one per variable node)
    bool HasDisplayList(const Atom* node) const;
    // Deletes the node's list; its GL list name stays reserved for the node
    // so that containers that call it see the node's next list.
    void DeleteDisplayList(Atom* node);
    // Compiles the node's list when the node can draw: it has a parent, is
    // no `ondrawimage` or `onchange` member, is not hidden (0x20000), is
    // not named "[]", has an `ondrawimage` with a value, and no redraw or
    // deferral is in force. A value of more than one element is a
    // procedure, run with the node as scope; a one-element value makes a
    // container that calls its members' lists under their selection names
    // (no list when no member draws). A build requested while another list
    // is being compiled is skipped (GL cannot nest list compilations).
    void BuildDisplayList(Atom* node);
    // Whether BuildDisplayList would make a list for `node` now (it reads
    // no GL state: a host may ask before making its context current).
    bool CanDraw(const Atom* node) const;
    // Deletes and rebuilds the lists of a subtree, members first.
    void RebuildSubtree(Atom* node);
    // RebuildSubtree(root), then Redraw; a request during a rebuild is
    // served by one more pass, except one made by a drawing while it is
    // being recorded (it would repeat in every pass).
    void RebuildScene();
    // A build that waits for the next frame (service 10 with N2 = 1): the
    // node's list is rebuilt by BuildDeferred, which the host calls when it
    // is about to show a frame, at a point where program code may run. A
    // drawing that changes at every step of a program (the turtle's) is
    // thus recorded once per frame, not once per step. A node without a
    // list yet is built at once.
    void BuildLater(Atom* node);
    bool HasDeferredBuilds() const { return !deferredBuilds_.empty(); }
    // Rebuilds the nodes marked by BuildLater, in marking order; nothing
    // while a list is being compiled. True when it rebuilt any. Errors
    // propagate as BuildDisplayList's do, with the remaining marks kept.
    bool BuildDeferred();
    // Inside a list being compiled: calls the node's list under its
    // selection name (service 14). Hidden nodes and nodes without a list
    // draw nothing.
    void DrawChild(Atom* node);

    // ---- frames
    // Replays the scene into the view: camera, "ONBEFOREDRAW", clear, the
    // root members' lists, Present. Nothing without a view, nor while a
    // list is being compiled; a request made while a frame is drawn (or
    // while drawing is deferred) is served by one more pass. Outside
    // Paint, a view that draws in paint only is asked for a paint instead.
    void Redraw();
    // Loads the model-view transform: model matrix, then the look-at
    // transform from the eye to the look-at point with the up vector.
    void SetCameraTransform();

    // ---- the view (plane window or off-screen buffer)
    // Attaches a view: the background takes the workspace colour again and
    // is no longer marked as set by the program; depth test and blending
    // are switched on in the view's context.
    void OpenView(SceneView* view, WindowColour workspace);
    // Detaches the view; lists stay.
    void CloseView();
    // Viewport and perspective for a drawing area of w x h framebuffer
    // pixels: vertical field of view h / 500 x 30 degrees, aspect w / h,
    // near 0.1, far 10^6.
    void Resize(int width, int height);
    // The paint rule: unless the program set the background, it follows
    // the workspace colour (alpha 1); then viewport, projection and frame.
    void Paint(WindowColour workspace);
    // Picks the objects drawn around (x, y) (framebuffer pixels, y from
    // the top) within `radius` pixels: a list of words, the dotted names
    // of the hits in drawing order with a repeat of the previous name
    // dropped. Mode -1 reports the member of a root member for deeper
    // hits. The empty list without a view or while a list is compiled.
    Atom* Pick(int x, int y, int mode, int radius);
    // Writes the scene as the view's camera shows it, in the format that
    // the file name's extension asks for: ".png", ".jpg" or ".jpeg"
    // (quality 90), ".svg" (vectors), ".stl" or ".obj" (the solids as a
    // mesh in the scene's coordinates). Pictures are `width` x `height`
    // pixels (0: the view's size), rendered tile by tile at any size, with
    // the view's vertical field of view; a picture of another shape than
    // the view shows more of the scene on the longer side, never less.
    // Raises "PICTUREFORMAT" for another extension, "PICTURESIZE" for a
    // size beyond kMaxPictureSide or kMaxPicturePixels, "PICTUREFILE"
    // with the file name and the reason when the file cannot be written.
    // Nothing without a view.
    void SavePicture(const std::string& fileName, int width = 0, int height = 0);
    // The scene's solids as a mesh in turtle steps (mesh.h), as the STL
    // and OBJ files hold it; false when nothing is drawn.
    bool MeshOf(struct Mesh& mesh);
    // The picture as SavePicture would write it, as RGB pixels.
    RgbImage RenderPicture(int width, int height);

    // ---- host services
    // True for the codes that Service answers.
    static bool HandlesService(int code);
    // Whether Service needs a GL context for this request: all do but a
    // build put off to the next frame (service 10, N2 = 1) of a node that
    // has a list, which only marks the node (the turtle asks at every
    // step).
    bool ServiceNeedsContext(int code, long double n1, long double n2) const;
    // Camera 3-5, background 6, redraw 9, rebuild 10 (at once, or with
    // N2 = 1 at the next frame: BuildLater), call list 14,
    // picture 27, pick 28 (the list as an atom reference), deferral 31-32,
    // mouse blocking 33-34. Other codes: 0.
    intptr_t Service(int code, TText* text, long double n1, long double n2, long double n3,
                     long double n4);
    // ---- looking around (the plane window's own gestures). Each moves
    // the camera that services 3-5 set, so the program reads the moved
    // values back; none of them draws (the caller asks for a frame).
    // Moves the eye along the line to the look-at point: each step of +1
    // brings it 15% closer, -1 takes it back out. It never reaches the
    // look-at point.
    void Zoom(double steps);
    // Orbits the eye around the look-at point: `across` degrees about the
    // up vector (positive: the scene turns to the right), `upward` degrees
    // about the horizontal axis of the view (positive: the eye rises),
    // stopping 1 degree short of the up vector or its opposite.
    void Orbit(double across, double upward);
    // Frames everything drawn: the bounding box of the vertices of the
    // root members' lists (in the scene's coordinates, read back through
    // GL feedback) is centred and fitted into the view, seen from the
    // current direction with the current up vector. False, and the camera
    // unchanged, when nothing is drawn or no GL context is current.
    bool Fit();
    // The bounding box of the drawing as Fit sees it; false when empty.
    bool DrawingBounds(Vector3& low, Vector3& high);
    // Whether some of the drawing lies outside the view (the bounding box
    // of the drawing, projected with the camera, leaves the window); false
    // when nothing is drawn.
    bool DrawingOutsideView();
    // How often a program (not a library program) set the eye, look-at
    // point or up vector, and how often the user's gestures moved the
    // camera: a host compares them before and after a run to tell whether
    // anybody chose the view during it.
    uint64_t CameraSetsByProgram() const { return cameraSetsByProgram_; }
    uint64_t ViewMoves() const { return viewMoves_; }
    // Back to the camera the program set last (services 3-5), or the
    // start-up camera.
    void RestoreProgramCamera();
    Vector3 Eye() const { return eye_; }
    Vector3 LookAt() const { return lookAt_; }
    Vector3 Up() const { return up_; }
    // The up vector the look-at transform uses: the program's, unless it
    // is parallel to the view direction (or zero), when the first of the
    // Z, Y and X axes that is not parallel stands in for it, so that a
    // camera set up for the Z-up default still shows its scene.
    Vector3 ViewUp() const;

    // Service 7: 16 numbers, row after row.
    void SetModelMatrix(const float matrix[16]);

    // ---- state
    bool BackgroundSet() const { return backgroundSet_; }
    // Mouse events must not be dispatched: a redraw or rebuild is running,
    // or service 33 is in force.
    bool MouseBlocked() const { return mouseBlocked_; }
    bool Drawing() const { return drawing_; }
    // A display list is being compiled right now.
    bool Compiling() const { return compiling_ > 0; }
    // Lists compiled since the scene was made (procedures and containers).
    uint64_t ListsCompiled() const { return listsCompiled_; }
    // Frames drawn since the scene was made.
    uint64_t FramesDrawn() const { return framesDrawn_; }
    // Of those, the frames that started from the pixels kept from the last
    // one and drew only what changed since.
    uint64_t FramesFromKept() const { return framesFromKept_; }
    // The node that owns the GL list `name`, or null.
    Atom* NodeOfList(uint32_t name) const;
    // The GL list name of the node's list, or 0 when it has none.
    uint32_t ListOf(const Atom* node) const;

private:
    // A bit per hash of the nodes that ever had a list: most nodes never
    // had one, and a clear bit tells so at once. Bits are never cleared.
    static constexpr int kListFilterLog2 = 16;
    static size_t listFilterBit(const Atom* node);
    void noteList(Atom* node, uint32_t name);
    uint32_t reserveName(Atom* node);
    void compileProcedure(Atom* node, uint32_t name);
    void compileContainer(Atom* node, uint32_t name);
    // While alive: `flag` (drawing_ or rebuilding_) is set and mouse
    // events are blocked; both go back as they were when it ends, however
    // it ends.
    class BusyScope {
    public:
        BusyScope(Scene& scene, bool& flag) : scene_(scene), flag_(flag), blocked_(scene.mouseBlocked_)
        {
            flag_ = true;
            scene_.mouseBlocked_ = true;
        }
        ~BusyScope()
        {
            scene_.mouseBlocked_ = blocked_;
            flag_ = false;
        }
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

    private:
        Scene& scene_;
        bool& flag_;
        bool blocked_;
    };
    // The library-defined hook list replayed before each clear (lights, fog).
    static constexpr const char* kBeforeDraw = "ONBEFOREDRAW";
    void drawFrame();
    // Camera, background, the hook list and the root members' lists.
    void drawScene();
    // The camera, background and hook list of a frame, cleared or not.
    void beginScene(bool clear);

    // ---- frames that start from the last one (layered_frames.cpp)
    // While a program runs, a frame is the sequence of the procedures'
    // drawings (the leaves) that the root members' lists call through their
    // containers, taken oldest first. The leading ones that are settled
    // (recorded once and not since, calling no other list, not waiting for
    // a rebuild) are kept in the view's layer; a frame whose camera, size
    // and background are those of the kept pixels and whose leaves start
    // with the kept ones draws only its new settled leaves into the layer,
    // copies the layer to the view and draws the rest on top, the depth
    // test passing ties: for opaque drawings the pixels of a full replay,
    // at the cost of what changed.
    struct Leaf {
        uint32_t content;
        bool settled;
    };
    // Everything besides the leaves that a kept frame's pixels depend on.
    struct FrameKey {
        int width = 0, height = 0;
        Vector3 eye{}, lookAt{}, up{};
        float model[16] = {};
        Colour background{};
        uint32_t beforeDraw = 0;
        uint64_t layer = 0;
        bool operator==(const FrameKey& other) const;
    };
    // False when the view keeps no layer, or the frame is drawn in full
    // anyway (nothing settled leads it, or the lists nest deeper than a
    // frame may walk): the caller then draws the frame as drawScene does.
    bool drawLayered();
    bool collectLeaves(uint32_t list, std::vector<Leaf>& leaves, int depth) const;
    FrameKey frameKey(uint64_t layerSerial) const;
    uint32_t beforeDrawContent() const;
    void redrawAsPaint();
    Atom* sceneValue(int which) const;
    // Runs `draw` with an orthogonal projection of the box [low, high]
    // onto a kWorldGrid square viewport, depth 0 at low.z: window
    // coordinates map back to the scene's by the box.
    static constexpr int kWorldGrid = 4096;
    void worldProjection(const Vector3& low, const Vector3& high, const std::function<void()>& draw);
    void drawRootLists();
    // An SVG or model export is reading the scene through feedback (set
    // for an export's lifetime by an ExportScope).
    bool exporting_ = false;
    struct ExportScope {
        bool& flag;
        explicit ExportScope(bool& f) : flag(f) { flag = true; }
        ~ExportScope() { flag = false; }
    };
    template <class Make>
    auto withPictureState(Make make);
    std::string svgOf(int width, int height);
    bool feedbackBounds(const Vector3& low, const Vector3& high, Vector3& outLow, Vector3& outHigh);
    void applyProjection();
    void drawTile(int x, int y, int tileWidth, int tileHeight, int width, int height);

    SceneView* view_ = nullptr;
    int width_ = 1;
    int height_ = 1;
    bool inPaint_ = false;

    Vector3 eye_ = kDefaultEye;
    Vector3 lookAt_ = kDefaultLookAt;
    Vector3 up_ = kDefaultUp;
    Vector3 programEye_ = kDefaultEye;
    Vector3 programLookAt_ = kDefaultLookAt;
    Vector3 programUp_ = kDefaultUp;
    float modelMatrix_[16];
    Colour background_{1, 1, 1, 1};
    bool backgroundSet_ = false;

    bool drawing_ = false;
    bool deferred_ = false;
    bool redrawPending_ = false;
    bool rebuilding_ = false;
    bool rebuildPending_ = false;
    bool mouseBlocked_ = false;
    int compiling_ = 0;

    // Lists that exist, both ways (picking maps a selection name back).
    std::unordered_map<const Atom*, uint32_t> lists_;
    std::bitset<size_t{1} << kListFilterLog2> listFilter_;
    std::unordered_map<uint32_t, Atom*> owners_;
    // The list name given to each node, kept when its list is deleted.
    std::unordered_map<const Atom*, uint32_t> names_;
    // A procedure's drawing, called by the node's list (new per build).
    std::unordered_map<const Atom*, uint32_t> contents_;
    // The list names a container's list calls, in calling order.
    std::unordered_map<const Atom*, std::vector<uint32_t>> members_;
    // How often each procedure's drawing was recorded, and the procedures
    // whose drawing calls other lists (it changes with them).
    std::unordered_map<const Atom*, uint32_t> recordings_;
    std::unordered_set<const Atom*> callsLists_;
    const Atom* recording_ = nullptr;
    // The leaves whose pixels the view's layer holds, and under what.
    std::vector<uint32_t> kept_;
    FrameKey keptKey_;
    // Nodes whose rebuild waits for the next frame (BuildLater); each has
    // a list, so that the collector's DeleteDisplayList forgets it.
    std::vector<Atom*> deferredBuilds_;
    uint32_t nextName_ = 1;

    uint64_t cameraSetsByProgram_ = 0;
    uint64_t viewMoves_ = 0;
    uint64_t listsCompiled_ = 0;
    uint64_t framesDrawn_ = 0;
    uint64_t framesFromKept_ = 0;
};

// The perspective rule of the plane window: the vertical field of view in
// degrees for a drawing area `height` pixels high.
double FieldOfView(int height);
constexpr double kNearPlane = 0.1;
constexpr double kFarPlane = 1e6;

}  // namespace tavro::scene
