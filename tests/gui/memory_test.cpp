// The memory window: what its items show (values by kind, procedure
// headers, the 250-character cut), the call-stack branches of a running
// nested call, sorting, expansion kept on the nodes across rebuilds, the
// right click, Copy (sub)tree, and a reset emptying the tree.
#include <QtTest>

#include <QClipboard>
#include <QMenu>
#include <QScrollBar>
#include <memory>

#include "configuration.h"
#include "gui_fixture.h"
#include "languages.h"
#include "main_window.h"
#include "memory_window.h"
#include "run_control.h"
#include "state.h"

using namespace tavro;
using namespace tavro::shell;
using namespace tavro::desktop;

namespace {

// The main window started with the core library and the memory window
// open, as after the start-up work.
std::unique_ptr<MainWindow> start(const QTemporaryDir& dir, const std::string& extra = {})
{
    std::string path = dir.path().toStdString() + "/t.ini";
    // The first line of a key counts: `extra` comes first. The flat order
    // unless a test asks for the learner's order.
    gui_test::WriteFile(path, extra + "SKIN=Windows\nADVANCEDGUI=Yes\nAUTOSAVE=No\nLIBRARIES=core.tvr,\nOUTPUT=Yes\n"
                                      "MEMORY=Yes\nMEMORY.FLAT=Yes\n");
    LoadChosenConfiguration({path, true});
    auto main = std::make_unique<MainWindow>();
    main->ApplyConfiguration({});
    main->RunDeferredWork();
    return main;
}

QTreeWidgetItem* child(QTreeWidgetItem* parent, const QString& text)
{
    for (int i = 0; parent && i < parent->childCount(); ++i)
        if (parent->child(i)->text(0) == text) return parent->child(i);
    return nullptr;
}

QTreeWidgetItem* topItem(QTreeWidget* tree, const QString& text)
{
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        if (tree->topLevelItem(i)->text(0) == text) return tree->topLevelItem(i);
    return nullptr;
}

QStringList topTexts(QTreeWidget* tree)
{
    QStringList list;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) list << tree->topLevelItem(i)->text(0);
    return list;
}

void run(const std::string& text) { QCOMPARE(RunSystemCommand(text), int(rscRan)); }

}  // namespace

class MemoryTest : public QObject {
    Q_OBJECT
private slots:
    void itemsShowValuesByKindAndProcedureHeaders()
    {
        QTemporaryDir dir;
        auto main = start(dir);
        MemoryWindow* memory = TheMemoryWindow();
        QVERIFY(memory);
        run("make \"n 12 , make \"w \"abc , make \"s \"7");
        run("to two :a :b\noutput :a + :b\nend");
        run("to :l minus2 :r\noutput :l - :r\nend");
        run("to :l twice\noutput :l * 2\nend");  // a left parameter alone
        run("to noargs\nprint 1\nend");       // no parameters: a plain list
        run("make \"l [a b]");
        run("make \"x \"y , repeat 299 [make \"x word :x \"y] , make \"long :x");
        run("make \"nums [] , repeat 200 [make \"nums lput (repeat) :nums]");
        memory->RebuildTree();
        QTreeWidgetItem* root = topItem(memory->Tree(), "[Root]");
        QVERIFY(root && root->isExpanded());

        auto look = [&](const char* name) { return memory->LookOfItem(child(root, name)); };
        QCOMPARE(look("n").Colour, ItemLook::NumberColour);
        QCOMPARE(look("n").Bold, QString("n"));
        QCOMPARE(look("n").Tail, QString(" = 12"));
        QCOMPARE(look("s").Colour, ItemLook::NumberColour);  // a word that reads as a number
        QCOMPARE(look("w").Colour, ItemLook::WordColour);
        QCOMPARE(look("w").Whole(), QString("w = \"abc"));
        QCOMPARE(look("two").Lead, QString());
        QCOMPARE(look("two").Bold, QString("two "));
        QCOMPARE(look("two").Tail, QString(":a :b"));
        QCOMPARE(look("minus2").Lead, QString(":l "));
        QCOMPARE(look("minus2").Bold, QString("minus2 "));
        QCOMPARE(look("minus2").Tail, QString(":r"));
        QCOMPARE(look("twice").Whole(), QString(":l twice "));
        QVERIFY(look("noargs").Tail.startsWith(" = ["));
        QCOMPARE(look("l").Bold, QString("l"));
        QCOMPARE(look("l").Tail, QString(" = [a b]"));
        // Values are cut to 250 characters in the tree, kept whole in the copy.
        QCOMPARE(look("long").Tail.size(), qsizetype(4 + 250));
        QCOMPARE(look("nums").Tail.size(), qsizetype(3 + 250));
        memory->Tree()->setCurrentItem(child(root, "nums"));
        memory->CopySubtree();
        QString copied = QGuiApplication::clipboard()->text();
        QVERIFY(copied.startsWith("nums = [1 2 3 "));
        QVERIFY(copied.endsWith(" 199 200]\n"));
        // Painting reads only the texts taken at the rebuild.
        QVERIFY(!memory->Tree()->grab().isNull());
    }

    void aNestedCallShowsItsContextsSortedOrNot()
    {
        QTemporaryDir dir;
        auto main = start(dir);
        MemoryWindow* memory = TheMemoryWindow();
        run("to inner :x\nmake \"k readchar\nend");
        run("to outer :y\ninner :y * 2\nend");
        QStringList sorted, unsorted;
        QString innerX, outerY;
        // While inner waits for a key, the tree shows both calls. (A pump
        // of the run before readchar waits comes too early: look again.)
        std::function<void()> look = [&] {
            memory->RebuildTree();
            if (!topItem(memory->Tree(), "readchar")) return QTimer::singleShot(1, look);
            sorted = topTexts(memory->Tree());
            QTreeWidgetItem* inner = topItem(memory->Tree(), "inner 10");
            QTreeWidgetItem* outer = topItem(memory->Tree(), "outer 5");
            if (inner && child(inner, "x")) innerX = memory->LookOfItem(child(inner, "x")).Whole();
            if (outer && child(outer, "y")) outerY = memory->LookOfItem(child(outer, "y")).Whole();
            QVERIFY(inner && inner->isExpanded());
            ConfigSet("MEMORY.SORT", "No");
            memory->RebuildTree();
            unsorted = topTexts(memory->Tree());
            ConfigSet("MEMORY.SORT", "Yes");
            AppendKey("z");
        };
        QTimer::singleShot(0, look);
        run("outer 5");
        // readchar is a library procedure: its call is on the stack too.
        // Each call reads as it was written, with its inputs' values.
        QCOMPARE(sorted, QStringList({"[Root]", "inner 10", "outer 5", "readchar"}));
        QCOMPARE(unsorted, QStringList({"readchar", "inner 10", "outer 5", "[Root]"}));
        QCOMPARE(innerX, QString("x = 10"));
        QCOMPARE(outerY, QString("y = 5"));
        // After the run only the root is left.
        memory->RebuildTree();
        QCOMPARE(topTexts(memory->Tree()), QStringList({"[Root]"}));
    }

    void namesSharingAPrefixSortShorterFirst()
    {
        QTemporaryDir dir;
        auto main = start(dir, "MEMORY.EXPANDROOT=Yes\n");
        MemoryWindow* memory = TheMemoryWindow();
        // Made in an order that is no sort, newest first or last.
        run("make \"wi 1 , make \"width 2 , make \"w 3 , make \"wide 4");
        run("make \"o.wi 1 , make \"o.width 2 , make \"o.w 3");
        auto order = [&](QTreeWidgetItem* parent) {
            QStringList names;
            for (int i = 0; i < parent->childCount(); ++i)
                if (QStringList({"w", "wi", "wide", "width"}).contains(parent->child(i)->text(0)))
                    names << parent->child(i)->text(0);
            return names;
        };
        memory->RebuildTree();
        QTreeWidgetItem* root = topItem(memory->Tree(), "[Root]");
        QCOMPARE(order(root), QStringList({"w", "wi", "wide", "width"}));
        QCOMPARE(order(child(root, "o")), QStringList({"w", "wi", "width"}));
    }

    void theLearnersOrderShowsOwnNamesFirstAndKeepsTheView()
    {
        QTemporaryDir dir;
        auto main = start(dir, "MEMORY.FLAT=No\nMEMORY.EXPANDROOT=Yes\n");
        MemoryWindow* memory = TheMemoryWindow();
        QTreeWidget* tree = memory->Tree();
        run("make \"apple 1");
        run("to inner :x\nmake \"k readchar\nend");
        QStringList during;
        std::function<void()> look = [&] {
            memory->RebuildTree();
            QTreeWidgetItem* root = topItem(tree, "[Root]");
            QVERIFY(root);
            // A pump of the run before readchar waits comes too early.
            if (!child(root, "readchar")) return QTimer::singleShot(1, look);
            for (int i = 0; i < root->childCount(); ++i) during << root->child(i)->text(0);
            AppendKey("z");
        };
        QTimer::singleShot(0, look);
        run("inner 5");
        // The calls right under the root, innermost first, then the user's
        // names, then the libraries' names in one closed branch.
        QCOMPARE(during.mid(0, 2), QStringList({"readchar", "inner 5"}));
        QVERIFY(during.indexOf("apple") > 1);
        QCOMPARE(during.last(), QString::fromStdString(Tr("MEMORY.LIBRARIES")));
        memory->RebuildTree();
        QTreeWidgetItem* root = topItem(tree, "[Root]");
        QTreeWidgetItem* libraries = child(root, QString::fromStdString(Tr("MEMORY.LIBRARIES")));
        QVERIFY(libraries && !libraries->isExpanded());
        QVERIFY(child(libraries, "sum") && child(libraries, "print") == nullptr);
        QVERIFY(!child(root, "sum"));
        QCOMPARE(root->child(0)->text(0), QString("apple"));
        // The selection and the scroll position survive a rebuild; an
        // opened branch stays open.
        libraries->setExpanded(true);
        tree->setCurrentItem(child(libraries, "sum"));
        tree->resize(200, 120);
        tree->verticalScrollBar()->setValue(tree->verticalScrollBar()->maximum() / 2);
        int scrolled = tree->verticalScrollBar()->value();
        memory->RebuildTree();
        QVERIFY(tree->currentItem());
        QCOMPARE(tree->currentItem()->text(0), QString("sum"));
        QCOMPARE(tree->verticalScrollBar()->value(), scrolled);
        QVERIFY(child(topItem(tree, "[Root]"), QString::fromStdString(Tr("MEMORY.LIBRARIES")))->isExpanded());
    }

    void expansionSurvivesRebuildsAndCopyFollowsTheTree()
    {
        QTemporaryDir dir;
        auto main = start(dir, "MEMORY.EXPANDROOT=Yes\n");
        MemoryWindow* memory = TheMemoryWindow();
        QTreeWidget* tree = memory->Tree();
        run("make \"obj.b 2 , make \"obj.a \"x , make \"obj.a.deep 1");
        memory->RebuildTree();
        QTreeWidgetItem* obj = child(topItem(tree, "[Root]"), "obj");
        QVERIFY(obj && !obj->isExpanded());
        obj->setExpanded(true);  // as a click on its plus picture does
        run("make \"obj.c 3 , make \"fresh.q 1");
        memory->RebuildTree();
        QTreeWidgetItem* root = topItem(tree, "[Root]");
        obj = child(root, "obj");
        QVERIFY(obj->isExpanded());
        QVERIFY(!child(obj, "a")->isExpanded());
        QVERIFY(!child(root, "fresh")->isExpanded());
        QCOMPARE(child(obj, "a")->childCount(), 1);

        // A right click selects the item under the mouse.
        tree->clearSelection();
        QRect at = tree->visualItemRect(child(obj, "c"));
        QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, at.center());
        QCOMPARE(tree->currentItem(), child(obj, "c"));
        QVERIFY(child(obj, "c")->isSelected());
        memory->PopupTree()->close();

        // The subtree in the tree's order, three blanks a level.
        tree->setCurrentItem(obj);
        memory->CopySubtree();
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QString("obj = []\n   a = x\n      deep = 1\n   b = 2\n   c = 3\n"));
        // A member that went since the rebuild is left out of the copy.
        run("erase \"obj.b");
        QCOMPARE(QString::fromStdString(memory->SubtreeText(obj)),
                 QString("obj = []\n   a = x\n      deep = 1\n   c = 3\n"));

        // Collapsing clears the mark.
        obj->setExpanded(false);
        memory->RebuildTree();
        QVERIFY(!child(topItem(tree, "[Root]"), "obj")->isExpanded());

        // A reset leaves no node of the old run in the tree.
        {
            Reset();
        }
        QVERIFY(!child(topItem(tree, "[Root]"), "obj"));
        QVERIFY(child(topItem(tree, "[Root]"), "sum"));  // the library ran again
    }

    void theTopItemStaysAtTheTop()
    {
        QTemporaryDir dir;
        auto main = start(dir, "MEMORY.HEIGHT=200\n");
        MemoryWindow* memory = TheMemoryWindow();
        QTreeWidget* tree = memory->Tree();
        memory->RebuildTree();
        QTreeWidgetItem* target = child(topItem(tree, "[Root]"), "sum");
        tree->scrollToItem(target, QAbstractItemView::PositionAtTop);
        QCOMPARE(tree->itemAt(QPoint(1, 1)), target);
        run("make \"aaa 1");
        memory->RebuildTree();
        QCOMPARE(tree->itemAt(QPoint(1, 1))->text(0), QString("sum"));
    }
};

TAVRO_GUI_TEST_MAIN(MemoryTest)
#include "memory_test.moc"
