// MemoryWindow: the memory window. Shows the interpreter's name tree: one
// branch per active call (the call stack, innermost first, each captioned
// with the dotted path of its activation record) and the branch "[Root]"
// with every name, object and member and its value (memory_items.h says
// how an item looks). The tree is rebuilt from scratch by RebuildTree at
// the points where a command or run ends, a stepping run pauses, the
// interpreter was reset and the window opens; between rebuilds it only
// repaints from the texts taken at the rebuild.
//
// Which items are open is kept on the nodes themselves (flag bit 256), so
// a rebuilt tree opens the same way; the item at the top of the view stays
// at the top, and the scroll position and the selected item are kept.
//
// By default the user's own names come first: the call frames of a running
// or paused program sit right under "[Root]" (open while paused), then
// the names the user made, then one branch (closed until opened) with the
// names the library programs defined, operators included. MEMORY.FLAT=Yes
// shows the call stack beside "[Root]" and every name in one list instead.
// MEMORY.SORT sorts every level by text ("[Root]" and the
// call-stack branches included), MEMORY.EXPANDROOT and
// MEMORY.EXPANDCALLSTACK open those branches (each on unless "No").
//
// The pop-up menu copies the selected item's subtree as indented text with
// whole values; a right click selects the item under the mouse first.
// Nodes are never written or read after they were released: the items
// keep no references, so every action on a node first checks that it is
// still in the tree.
//
// At most one memory window exists; the main window opens and closes it.
// It writes MEMORY.WIDTH and MEMORY.HEIGHT when it closes.
#pragma once

#include <QImage>
#include <QTreeWidget>
#include <string>
#include <vector>

#include "atom.h"
#include "memory_items.h"
#include "tool_window.h"

class QMenu;

namespace tavro {

class MemoryWindow;

// The expanded mark of a node in the memory window.
inline constexpr uint32_t kExpandedInMemoryWindow = 256;

// The tree control: draws its rows itself (background, tree lines in the
// Grid colour, the skin's plus and minus pictures, the item's pieces).
class MemoryTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit MemoryTree(MemoryWindow* owner);
    static constexpr int kIndent = 19;

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void drawBranches(QPainter*, const QRect&, const QModelIndex&) const override {}
    void mousePressEvent(QMouseEvent* event) override;

private:
    void drawButton(QPainter& p, QRect r, QTreeWidgetItem* item) const;
    MemoryWindow* owner_;
};

class MemoryWindow : public ToolWindow {
    Q_OBJECT
public:
    explicit MemoryWindow(QWidget* parent = nullptr);
    void RefreshSettings() override;
    void RebuildTree();
    // Copy (sub)tree: the selected item and everything below it, one line
    // per item: three blanks per level, the text, " = " and the whole
    // value (a call-stack item: its text alone), each line ended by "\n".
    void CopySubtree();
    // The text CopySubtree puts on the clipboard for an item.
    std::string SubtreeText(QTreeWidgetItem* item);

    QTreeWidget* Tree() const { return tree_; }
    QMenu* PopupTree() const { return popup_; }
    // The node an item shows (null for a call-stack item).
    static Atom* NodeOf(const QTreeWidgetItem* item);
    const ItemLook& LookOfItem(const QTreeWidgetItem* item) const;
    const QImage& PlusPicture() const { return plus_; }
    const QImage& MinusPicture() const { return minus_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QTreeWidgetItem* newItem(const QString& text, Atom* node, Atom* context);
    void addMembers(Atom* owner, QTreeWidgetItem* item, const std::string& path, bool sort);
    void rememberTop();
    void updateWidth();
    bool isLive(const Atom* node) const;
    void setExpandedMark(QTreeWidgetItem* item, bool expanded);
    void appendSubtree(QTreeWidgetItem* item, int depth, std::string& out);

    MemoryTree* tree_ = nullptr;
    QMenu* popup_ = nullptr;
    QImage plus_, minus_;
    std::vector<ItemLook> looks_;
    std::vector<QTreeWidgetItem*> toExpand_;
    // Learner's order: call frames under the root, then the user's names,
    // then the "Libraries" branch.
    void groupForLearner(QTreeWidgetItem* root, const QList<QTreeWidgetItem*>& frames);
    QTreeWidgetItem* librariesItem_ = nullptr;
    bool librariesOpen_ = false;
    std::string selectedPath_;
    QTreeWidgetItem* newSelected_ = nullptr;
    std::string topPath_;               // dotted path of the top item while rebuilding
    QTreeWidgetItem* newTop_ = nullptr;  // the item found for it
};

// The open memory window, or null.
MemoryWindow* TheMemoryWindow();

// The dotted path of the node an item shows, worked out from the items
// (the call-stack caption, or the names below "[Root]"); "" for a
// call-stack item.
std::string ItemPath(const QTreeWidgetItem* item);

}  // namespace tavro
