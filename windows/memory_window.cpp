#include "memory_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>
#include <cctype>
#include <unordered_set>

#include "configuration.h"
#include "environment_font.h"
#include "interpreter.h"
#include "languages.h"
#include "menu_style.h"
#include "skin.h"
#include "structure.h"

namespace tavro {

namespace {

QPointer<MemoryWindow> gMemory;
constexpr int kButtonHalf = 5;
// The dotted path of a call frame, whose text is the call.
constexpr int kPathRole = Qt::UserRole + 1;

// An item of the tree: what it shows, kept without a reference.
class MemoryItem : public QTreeWidgetItem {
public:
    static constexpr int kType = QTreeWidgetItem::UserType + 1;
    MemoryItem(const QString& text, Atom* node, Atom* owner, int look)
        : QTreeWidgetItem(QStringList{text}, kType), Node(node), Owner(owner), Look(look)
    {
    }
    Atom* Node;   // the node shown; null for a call-stack entry
    Atom* Owner;  // the node whose members are the children
    int Look;     // index into the window's looks
};

MemoryItem* asMemoryItem(const QTreeWidgetItem* item)
{
    return item && item->type() == MemoryItem::kType ? static_cast<MemoryItem*>(const_cast<QTreeWidgetItem*>(item))
                                                     : nullptr;
}

bool optionOn(const char* key) { return desktop::ConfigValue(key) != "No"; }

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

// Alphabetical, without regard to letter case first.
bool nameBefore(std::string_view a, std::string_view b)
{
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        int ca = std::tolower(static_cast<unsigned char>(a[i])), cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

bool isContextNode(const Atom* node)
{
    for (TContext* c = TopContext(); c; c = ContextLink(c))
        if (ContextNode(c) == node) return true;
    return false;
}

desktop::MenuStyle* menuStyle()
{
    static auto* style = new desktop::MenuStyle();
    return style;
}

}  // namespace

MemoryWindow* TheMemoryWindow() { return gMemory; }

std::string ItemPath(const QTreeWidgetItem* item)
{
    if (!item) return {};
    std::string path;
    for (const QTreeWidgetItem* it = item; it; it = it->parent()) {
        MemoryItem* m = asMemoryItem(it);
        if (m && !m->Node && !m->Owner) continue;  // the "Libraries" group
        if (!it->parent() && m && m->Node) {
            // "[Root]" itself; below it a path starts at the root's member.
            if (it == item) return it->text(0).toStdString();
            break;
        }
        // A call frame shows the call; its path is kept beside.
        QVariant kept = it->data(0, kPathRole);
        std::string text = kept.isValid() ? kept.toString().toStdString() : it->text(0).toStdString();
        path = path.empty() ? text : text + "." + path;
        // A call-stack entry is captioned with its own whole path.
        if (m && !m->Node) {
            if (it == item && !it->parent()) return {};
            break;
        }
    }
    return path;
}

// ---- the tree control

MemoryTree::MemoryTree(MemoryWindow* owner) : QTreeWidget(owner->Body()), owner_(owner)
{
    setObjectName("TreeView");
    setHeaderHidden(true);
    setColumnCount(1);
    setIndentation(kIndent);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setFrameStyle(QFrame::NoFrame);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    header()->setStretchLastSection(false);
}

void MemoryTree::mousePressEvent(QMouseEvent* event)
{
    // Any button selects, so a right click picks the item for the menu.
    if (QTreeWidgetItem* item = itemAt(event->position().toPoint())) setCurrentItem(item);
    QTreeWidget::mousePressEvent(event);
}

void MemoryTree::drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (owner_->IsDestroying()) return;
    QTreeWidgetItem* item = itemFromIndex(index);
    if (!item) return;
    const desktop::SkinColours& colours = desktop::CurrentSkin().Colours;
    QPainter& p = *painter;
    p.save();
    QRect row(0, option.rect.top(), viewport()->width(), option.rect.height());
    p.fillRect(row, item->isSelected() ? colours.Menu : colours.Workspace);

    int level = 0;
    for (QTreeWidgetItem* up = item->parent(); up; up = up->parent()) ++level;
    QRect r = row;
    r.setLeft(-horizontalOffset() + level * kIndent);
    drawButton(p, r, item);

    const ItemLook& look = owner_->LookOfItem(item);
    QColor colour = look.Colour == ItemLook::NumberColour ? colours.Number
                    : look.Colour == ItemLook::WordColour ? colours.Word
                                                          : colours.Text;
    QFont normal = font(), bold = font();
    normal.setBold(false);
    bold.setBold(true);
    QFontMetrics fm(normal);
    int x = r.left() + kIndent + 5;
    int baseline = row.top() + (row.height() - fm.height()) / 2 + fm.ascent();
    p.setPen(colour);
    auto piece = [&](const QString& text, const QFont& f) {
        if (text.isEmpty()) return;
        p.setFont(f);
        p.drawText(x, baseline, text);
        x += QFontMetrics(f).horizontalAdvance(text);
    };
    piece(look.Lead, normal);
    piece(look.Bold, bold);
    piece(look.Tail, normal);
    p.restore();
}

void MemoryTree::drawButton(QPainter& p, QRect r, QTreeWidgetItem* item) const
{
    p.setPen(QPen(desktop::CurrentSkin().Colours.Grid, 1));
    int a = r.left(), b = r.top(), c = r.bottom() + 1;
    int d = a + kIndent / 2, m = b + (c - b) / 2;
    bool children = item->childCount() > 0;
    auto hasNextSibling = [](QTreeWidgetItem* it) {
        QTreeWidgetItem* parent = it->parent();
        int count = parent ? parent->childCount() : it->treeWidget()->topLevelItemCount();
        int at = parent ? parent->indexOfChild(it) : it->treeWidget()->indexOfTopLevelItem(it);
        return at >= 0 && at + 1 < count;
    };
    p.drawLine(children ? d + kButtonHalf : d, m, a + kIndent + 5, m);
    p.drawLine(d, m, d, b - 1);
    if (hasNextSibling(item)) p.drawLine(d, m, d, c + 1);
    if (children) {
        const QImage& picture = item->isExpanded() ? owner_->MinusPicture() : owner_->PlusPicture();
        if (!picture.isNull()) {
            p.drawImage(d - kButtonHalf, m - kButtonHalf, picture);
        } else {
            // A skin without the pictures still shows which items open.
            p.fillRect(d - 4, m - 4, 9, 9, desktop::CurrentSkin().Colours.Workspace);
            p.drawRect(d - 4, m - 4, 8, 8);
            p.drawLine(d - 2, m, d + 2, m);
            if (!item->isExpanded()) p.drawLine(d, m - 2, d, m + 2);
        }
    }
    for (QTreeWidgetItem* up = item->parent(); up; up = up->parent()) {
        d -= kIndent;
        if (hasNextSibling(up)) p.drawLine(d, b, d, c);
    }
}

// ---- the window

MemoryWindow::MemoryWindow(QWidget* parent) : ToolWindow(parent)
{
    InitToolWindow();
    tree_ = new MemoryTree(this);
    tree_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tree_, &QWidget::customContextMenuRequested, this,
            [this](QPoint p) { popup_->popup(tree_->viewport()->mapToGlobal(p)); });
    connect(tree_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* i) { setExpandedMark(i, true); });
    connect(tree_, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* i) { setExpandedMark(i, false); });
    // Opening or closing a branch changes which rows need room.
    connect(tree_, &QTreeWidget::itemExpanded, this, &MemoryWindow::updateWidth);
    connect(tree_, &QTreeWidget::itemCollapsed, this, &MemoryWindow::updateWidth);

    popup_ = new QMenu(this);
    popup_->setObjectName("PopupTree");
    popup_->setStyle(menuStyle());
    popup_->setSeparatorsCollapsible(false);
    QAction* header = popup_->addAction("-Clipboard");
    header->setObjectName("MenuItem1");
    header->setEnabled(false);
    QAction* copy = popup_->addAction("Copy (sub)tree");
    copy->setObjectName("MenuItem2");
    connect(copy, &QAction::triggered, this, &MemoryWindow::CopySubtree);

    auto* layout = new QVBoxLayout(Body());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tree_);
    gMemory = this;
    RefreshSettings();
}

Atom* MemoryWindow::NodeOf(const QTreeWidgetItem* item)
{
    MemoryItem* m = asMemoryItem(item);
    return m ? m->Node : nullptr;
}

const ItemLook& MemoryWindow::LookOfItem(const QTreeWidgetItem* item) const
{
    static const ItemLook empty;
    MemoryItem* m = asMemoryItem(item);
    return m && m->Look >= 0 && size_t(m->Look) < looks_.size() ? looks_[size_t(m->Look)] : empty;
}

void MemoryWindow::RefreshSettings()
{
    ApplySettings();
    const desktop::Skin& skin = desktop::CurrentSkin();
    plus_ = TransparentByBottomLeft(desktop::LoadPicture(skin.Folder + "Plus"));
    minus_ = TransparentByBottomLeft(desktop::LoadPicture(skin.Folder + "Minus"));
    QPalette pal = tree_->palette();
    pal.setColor(QPalette::Base, skin.Colours.Workspace);
    pal.setColor(QPalette::Text, skin.Colours.Text);
    tree_->setPalette(pal);
    SetCaption(QString::fromStdString(desktop::Tr("MEMORY")));
    // The branch label follows a language switch at once.
    if (MemoryItem* libraries = asMemoryItem(librariesItem_)) {
        QString label = QString::fromStdString(desktop::Tr("MEMORY.LIBRARIES"));
        libraries->setText(0, label);
        if (libraries->Look >= 0 && size_t(libraries->Look) < looks_.size())
            looks_[size_t(libraries->Look)] = LookOf(label, nullptr);
    }
    tree_->setFont(desktop::EnvironmentFont());
    popup_->setFont(desktop::EnvironmentFont());
    popup_->actions()[0]->setText(QString::fromStdString(desktop::Tr("CLIPBOARD")));
    popup_->actions()[1]->setText(QString::fromStdString(desktop::Tr("COPY2")));
    updateWidth();
    tree_->viewport()->update();
}

QTreeWidgetItem* MemoryWindow::newItem(const QString& text, Atom* node, Atom* owner)
{
    looks_.push_back(LookOf(text, node));
    return new MemoryItem(text, node, owner, int(looks_.size() - 1));
}

void MemoryWindow::addMembers(Atom* owner, QTreeWidgetItem* item, const std::string& path, bool sort)
{
    std::vector<Atom*> members;
    for (Atom* m = owner->FirstChild; m; m = m->NextSibling) members.push_back(m);
    if (sort)
        std::stable_sort(members.begin(), members.end(),
                         [](const Atom* a, const Atom* b) { return nameBefore(TextOf(a), TextOf(b)); });
    QList<QTreeWidgetItem*> children;
    children.reserve(qsizetype(members.size()));
    for (Atom* m : members) {
        std::string_view name = TextOf(m);
        QTreeWidgetItem* child = newItem(qs(name), m, m);
        std::string childPath = path.empty() ? std::string(name) : path + "." + std::string(name);
        addMembers(m, child, childPath, sort);
        if (HasFlag(m, kExpandedInMemoryWindow)) toExpand_.push_back(child);
        if (!newTop_ && !topPath_.empty() && childPath == topPath_) newTop_ = child;
        if (!newSelected_ && !selectedPath_.empty() && childPath == selectedPath_) newSelected_ = child;
        children.push_back(child);
    }
    item->addChildren(children);
}

void MemoryWindow::RebuildTree()
{
    if (!State) return;
    tree_->setUpdatesEnabled(false);
    QSignalBlocker blocker(tree_);
    QTreeWidgetItem* top = tree_->itemAt(QPoint(1, 1));
    topPath_ = NodeOf(top) ? ItemPath(top) : std::string();
    newTop_ = nullptr;
    // The scroll position and the selected item survive the rebuild.
    const int scrolled = tree_->verticalScrollBar()->value();
    selectedPath_ = ItemPath(tree_->currentItem());
    newSelected_ = nullptr;
    if (librariesItem_) librariesOpen_ = librariesItem_->isExpanded();
    librariesItem_ = nullptr;
    tree_->clear();
    looks_.clear();
    toExpand_.clear();
    bool sort = optionOn("MEMORY.SORT");
    // MEMORY.FLAT=Yes: the call stack beside "[Root]" and every name in
    // one list, as the window always showed them.
    bool flat = desktop::ConfigYes("MEMORY.FLAT");

    QList<QTreeWidgetItem*> tops, frames;
    std::vector<QTreeWidgetItem*> openTops;
    for (TContext* c = TopContext(); c; c = ContextLink(c)) {
        Atom* node = ContextNode(c);
        if (!node || !node->Parent) continue;
        std::string path = DottedPath(node);
        QTreeWidgetItem* item = newItem(qs(FrameCaption(node)), nullptr, node);
        item->setData(0, kPathRole, qs(path));
        addMembers(node, item, path, sort);
        if (optionOn("MEMORY.EXPANDCALLSTACK") || (!flat && RunState == rsPaused)) openTops.push_back(item);
        frames.push_back(item);
    }
    if (flat) tops = frames;
    if (Atom* root = RootNode()) {
        QTreeWidgetItem* item = newItem(qs(NameOf(root)), root, root);
        if (topPath_ == "[Root]") newTop_ = item;
        addMembers(root, item, "", sort);
        if (!flat) groupForLearner(item, frames);
        if (optionOn("MEMORY.EXPANDROOT")) openTops.push_back(item);
        tops.push_back(item);
    }
    if (sort)
        std::stable_sort(tops.begin(), tops.end(), [](const QTreeWidgetItem* a, const QTreeWidgetItem* b) {
            return nameBefore(a->text(0).toStdString(), b->text(0).toStdString());
        });
    tree_->addTopLevelItems(tops);
    for (QTreeWidgetItem* item : openTops) item->setExpanded(true);
    for (QTreeWidgetItem* item : toExpand_) item->setExpanded(true);
    if (librariesItem_) librariesItem_->setExpanded(librariesOpen_);
    toExpand_.clear();
    if (newSelected_) tree_->setCurrentItem(newSelected_);
    if (newTop_) tree_->scrollToItem(newTop_, QAbstractItemView::PositionAtTop);
    else tree_->verticalScrollBar()->setValue(scrolled);
    newTop_ = newSelected_ = nullptr;
    topPath_.clear();
    selectedPath_.clear();
    updateWidth();
    tree_->setUpdatesEnabled(true);
}

void MemoryWindow::groupForLearner(QTreeWidgetItem* root, const QList<QTreeWidgetItem*>& frames)
{
    // The user's own names first; what the library programs defined (the
    // operators among them) under one branch at the end; the running
    // program's calls right under the root, innermost first.
    QList<QTreeWidgetItem*> mine, libraries;
    for (QTreeWidgetItem* child : root->takeChildren())
        (LibraryNames.count(child->text(0).toStdString()) ? libraries : mine).push_back(child);
    root->addChildren(frames);
    root->addChildren(mine);
    if (libraries.isEmpty()) return;
    librariesItem_ = newItem(QString::fromStdString(desktop::Tr("MEMORY.LIBRARIES")), nullptr, nullptr);
    librariesItem_->addChildren(libraries);
    root->addChild(librariesItem_);
}

void MemoryWindow::updateWidth()
{
    // One column as wide as the widest open row, so values can be scrolled
    // to. Measuring every row of a large tree costs more than the rebuild
    // itself: the rows with the longest texts are measured, the others
    // cannot be much wider.
    constexpr size_t kMeasured = 48;
    QFont normal = tree_->font(), bold = tree_->font();
    normal.setBold(false);
    bold.setBold(true);
    QFontMetrics fn(normal), fb(bold);
    int average = std::max(1, fn.averageCharWidth());
    struct Row {
        int Estimate;
        int Level;
        const QTreeWidgetItem* Item;
    };
    std::vector<Row> rows;
    for (QTreeWidgetItemIterator it(tree_, QTreeWidgetItemIterator::NotHidden); *it; ++it) {
        QTreeWidgetItem* item = *it;
        bool shown = true;
        int level = 0;
        for (QTreeWidgetItem* up = item->parent(); up && shown; up = up->parent(), ++level) shown = up->isExpanded();
        if (!shown) continue;
        const ItemLook& look = LookOfItem(item);
        int chars = int(look.Lead.size() + look.Bold.size() + look.Tail.size());
        rows.push_back({level * MemoryTree::kIndent + chars * average, level, item});
    }
    size_t measured = std::min(kMeasured, rows.size());
    std::partial_sort(rows.begin(), rows.begin() + long(measured), rows.end(),
                      [](const Row& a, const Row& b) { return a.Estimate > b.Estimate; });
    int widest = 0;
    for (size_t i = 0; i < measured; ++i) {
        const ItemLook& look = LookOfItem(rows[i].Item);
        int w = (rows[i].Level + 1) * MemoryTree::kIndent + 5 + fn.horizontalAdvance(look.Lead) +
                fb.horizontalAdvance(look.Bold) + fn.horizontalAdvance(look.Tail) + 2 * average;
        widest = std::max(widest, w);
    }
    tree_->setColumnWidth(0, widest);
}

bool MemoryWindow::isLive(const Atom* node) const
{
    // Up the parents to the root or a running context, each node being
    // among its parent's members: a released node fails on the way.
    for (const Atom* n = node; n; n = n->Parent) {
        if (!IsObject(n) || n->Kind != akVariable) return false;
        if (n == RootNode() || isContextNode(n)) return true;
        if (!n->Parent) return false;
        bool member = false;
        for (const Atom* m = n->Parent->FirstChild; m && !member; m = m->NextSibling) member = m == n;
        if (!member) return false;
    }
    return false;
}

void MemoryWindow::setExpandedMark(QTreeWidgetItem* item, bool expanded)
{
    Atom* node = NodeOf(item);
    if (!node || !isLive(node) || qs(TextOf(node)) != item->text(0)) return;
    SetFlag(node, kExpandedInMemoryWindow, expanded);
}

void MemoryWindow::appendSubtree(QTreeWidgetItem* item, int depth, std::string& out)
{
    MemoryItem* m = asMemoryItem(item);
    out.append(size_t(depth) * 3, ' ');
    out += item->text(0).toStdString();
    if (m->Node) out += " = " + ToText(LeftOf(m->Node));
    out += '\n';
    if (!m->Owner || item->childCount() == 0) return;
    // Only children that are still members of the node are copied.
    std::unordered_set<const Atom*> members;
    for (const Atom* c = m->Owner->FirstChild; c; c = c->NextSibling) members.insert(c);
    for (int i = 0; i < item->childCount(); ++i) {
        QTreeWidgetItem* child = item->child(i);
        if (!members.count(NodeOf(child))) continue;
        try {
            appendSubtree(child, depth + 1, out);
        } catch (const std::exception&) {
            // One child that cannot be shown does not stop the copy.
        }
    }
}

std::string MemoryWindow::SubtreeText(QTreeWidgetItem* item)
{
    MemoryItem* m = asMemoryItem(item);
    if (!m) return {};
    bool live = m->Node ? isLive(m->Node) : isContextNode(m->Owner);
    if (!live) return {};
    std::string out;
    appendSubtree(item, 0, out);
    return out;
}

void MemoryWindow::CopySubtree()
{
    QTreeWidgetItem* item = tree_->currentItem();
    if (!item || !item->isSelected()) return;
    std::string text = SubtreeText(item);
    if (!text.empty()) QGuiApplication::clipboard()->setText(qs(text));
}

void MemoryWindow::closeEvent(QCloseEvent* event)
{
    StoreSize("MEMORY");
    if (gMemory == this) gMemory = nullptr;
    ToolWindow::closeEvent(event);
}

}  // namespace tavro
