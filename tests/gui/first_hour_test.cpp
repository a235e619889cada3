// The learner's first hour, second round: typing on after an error, the
// command window that never traps a line, typed procedures that survive a
// run, help that opens readable, stepping from the memory window and the
// editor's "end".
#include <QtTest>

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <memory>

#include "command_window.h"
#include "configuration.h"
#include "errors.h"
#include "gui_fixture.h"
#include "info_window.h"
#include "interpreter.h"
#include "languages.h"
#include "main_window.h"
#include "memory_window.h"
#include "message_dialog.h"
#include "message_table.h"
#include "output_window.h"
#include "plane_window.h"
#include "run_control.h"
#include "source_window.h"
#include "structure.h"
#include "tool_window.h"
#include "typed_procedures.h"

using namespace tavro;
using namespace tavro::shell;
using namespace tavro::desktop;

namespace {

using gui_test::Session;

QStringList outputLines()
{
    TheOutputWindow()->Flush();
    return TheOutputWindow()->Text().split('\n');
}

QString lastLine() { return outputLines().last().trimmed(); }

// Types a line into the command window as a user does.
void type(const QString& line)
{
    QLineEdit* edit = TheCommandWindow()->CommandLine();
    QTest::keyClicks(edit, line);
    QTest::keyClick(edit, Qt::Key_Return);
}

SourceWindow* newWindow(MainWindow& main, const QString& text)
{
    main.NewProgram();
    SourceWindow* w = SourceWindows().back();
    w->Editor()->setPlainText(text);
    w->Editor()->document()->setModified(false);
    return w;
}

// Notes every message dialog that opens (and closes it) until the watch
// ends with the test.
struct DialogWatch {
    DialogWatch() { poll(state); }
    ~DialogWatch() { state->done = true; }
    int Opened() const { return state->opened; }
    QString StripWhileOpen() const { return state->strip; }

private:
    struct State {
        bool done = false;
        int opened = 0;
        QString strip;
    };
    static void poll(std::shared_ptr<State> s)
    {
        QTimer::singleShot(0, [s] {
            if (s->done) return;
            if (MessageDialog* m = OpenMessageDialog()) {
                ++s->opened;
                if (TheMainWindow()) s->strip = TheMainWindow()->RunStateText();
                m->EndKeyGuard();
                m->OkButton()->click();
            }
            poll(s);
        });
    }
    std::shared_ptr<State> state = std::make_shared<State>();
};

std::string unmatched(const char* what) { return FormatMessage(ErrorMessages().TextOrKey("UNMATCHED"), {what}); }

}  // namespace

class FirstHourTest : public QObject {
    Q_OBJECT
private slots:
    // "forwrad 10" then "print 42": the error shows in the transcript and
    // the status strip, no dialog takes the keys, and 42 is printed.
    void aTypedErrorOpensNoDialogAndTheNextLineRunsWhole()
    {
        Session session;
        DialogWatch dialogs;
        type("forwrad 10");
        type("print 42");
        QCOMPARE(dialogs.Opened(), 0);
        QStringList lines = outputLines();
        QCOMPARE(lines.last().trimmed(), QString("42"));
        std::string unknown = FormatMessage(ErrorMessages().TextOrKey("UNKNOWNVAR"), {"forwrad"});
        QVERIFY2(TheOutputWindow()->Text().contains(QString::fromStdString(unknown)), qPrintable(TheOutputWindow()->Text()));
        // The next command ran: the strip reads ready again; the failed one
        // had named its error there.
        QCOMPARE(session.main.RunStateText(), QString::fromStdString(Tr("STATE.READY")));
        type("forwrad 10");
        QVERIFY(session.main.RunStateText().endsWith(QString::fromStdString(unknown)));
        // Asked for in the configuration, the dialog opens, and the strip
        // says "Error" while it waits.
        ConfigSet("ERRORDIALOG", "Yes");
        type("forwrad 10");
        QCOMPARE(dialogs.Opened(), 1);
        QCOMPARE(dialogs.StripWhileOpen(), QString::fromStdString(Tr("STATE.ERROR")));
        ConfigSet("ERRORDIALOG", "No");
    }

    void aStrayClosingBracketIsAnErrorAndTheNextCommandRuns()
    {
        Session session;
        CommandWindow* command = TheCommandWindow();
        type("]");
        QVERIFY(command->Fresh());
        QVERIFY(TheOutputWindow()->Text().contains(QString::fromStdString(unmatched("]"))));
        type("print 7 )");
        QVERIFY(command->Fresh());
        type("print 7");
        QCOMPARE(lastLine(), QString("7"));
        QCOMPARE(command->Prompt(), QString::fromStdString(Tr("COMMAND.PROMPT.COMMAND")));
    }

    // The prompt says what an unfinished command waits for; Escape on the
    // empty line gives it up, says so, and the next line is a command.
    void theUnfinishedCommandSaysWhatItWaitsForAndEscapeCancelsIt()
    {
        Session session;
        CommandWindow* command = TheCommandWindow();
        type("to square :n");
        QVERIFY(!command->Fresh());
        QCOMPARE(command->Prompt(), QString::fromStdString(FormatOne(Tr("COMMAND.PROMPT.NEEDSEND"), "square")));
        type("repeat 4 [print :n");
        QCOMPARE(command->Prompt(), QString::fromStdString(FormatMessage(Tr("COMMAND.PROMPT.OPEN"), {"[", "2"})));
        // Every line collected was echoed.
        QVERIFY(TheOutputWindow()->Text().contains("repeat 4 [print :n"));
        QTest::keyClick(command->CommandLine(), Qt::Key_Escape);
        QVERIFY(command->Fresh());
        QCOMPARE(lastLine(), QString::fromStdString(Tr("COMMAND.CANCELLED")));
        type("print 5");
        QCOMPARE(lastLine(), QString("5"));
        QVERIFY(!ResolveFrom(RootNode(), "square"));
        // Typed to its end, the definition is made.
        type("to square :n");
        type("output :n * :n");
        type("end");
        QVERIFY(command->Fresh());
        type("print square 6");
        QCOMPARE(lastLine(), QString("36"));
    }

    // F9 resets the memory; what was typed in the command window is
    // defined again before the program runs, and the program's own
    // definitions win.
    void f9KeepsAProcedureTypedBeforeIt()
    {
        Session session;
        type("to twice :n");
        type("output :n * 2");
        type("end , print twice 1");
        SourceWindow* w = newWindow(session.main, "print twice 21");
        w->SourceRun();
        QCOMPARE(lastLine(), QString("42"));
        QString note = QString::fromStdString(FormatOne(Tr("SOURCE.KEPTTYPED"), "twice"));
        QVERIFY(TheOutputWindow()->Text().contains(note));
        // The line after "end" ran once, when it was typed.
        QCOMPARE(TheOutputWindow()->Text().count(QRegularExpression("^2 ?$", QRegularExpression::MultilineOption)), 1);
        w->Editor()->setPlainText("to twice :n\n  output :n * 3\nend\nprint twice 2");
        w->SourceRun();
        QCOMPARE(lastLine(), QString("6"));
        // The note is said once; an erased procedure is not brought back.
        QCOMPARE(TheOutputWindow()->Text().count(note), 1);
        type("erase \"twice");
        w->Editor()->setPlainText("print 1");
        w->SourceRun();
        QVERIFY(!ResolveFrom(RootNode(), "twice"));
        w->Editor()->document()->setModified(false);
    }

    // help "print opens the info window tall enough for the topic's
    // heading and first paragraph, beside the plane.
    void helpOpensReadable()
    {
        Session session("MAIN.WIDTH=1024\nMAIN.HEIGHT=720\nPLANE=Yes\nPLANE.LEFT=0\nPLANE.TOP=0\nPLANE.WIDTH=510\nPLANE.HEIGHT=470\n");
        if (QGuiApplication::platformName() == "offscreen") QSKIP("the plane window needs a display");
        session.main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&session.main));
        session.main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&session.main));
        TheCommandWindow()->CommandLine()->setFocus();
        type("help \"print");
        InfoWindow* info = TheInfoWindow();
        QVERIFY(info);
        HelpView* view = info->View();
        QTRY_VERIFY(view->toPlainText().contains("print: write a line"));
        QFontMetrics fm(view->font());
        QVERIFY2(view->height() >= 15 * fm.lineSpacing(), qPrintable(QString::number(view->height())));
        QVERIFY(view->width() >= 40 * fm.averageCharWidth());
        QRect room(QPoint(0, 0), session.main.Desktop()->viewport()->size());
        QVERIFY(room.contains(info->geometry()));
        QVERIFY(!info->geometry().intersects(ThePlaneWindow()->geometry()));
        // The keyboard stays in the command line for the next command.
        QCOMPARE(QApplication::focusWidget(), TheCommandWindow()->CommandLine());
        QVERIFY(!info->geometry().intersects(TheCommandWindow()->geometry()));
        // The heading and the end of the first paragraph are in view.
        QTextDocument* doc = view->document();
        for (const char* text : {"print: write a line", "every expression to its right"}) {
            QTextCursor found = doc->find(text);
            QVERIFY2(!found.isNull(), text);
            QRect at = view->cursorRect(found);
            QVERIFY2(view->viewport()->rect().contains(at), text);
        }
    }

    // While a program is paused, F8 steps with the memory window in front
    // and the keyboard in its tree; the call shows as the call was written.
    void f8StepsWhileTheMemoryWindowHasTheFocus()
    {
        Session session;
        session.main.show();
        session.main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&session.main));
        SourceWindow* w = newWindow(session.main, "to tree :size :depth\n  make \"seen :size\nend\n"
                                                  "make \"a 1\ntree 40 7\nmake \"a 3");
        QString frame;
        int pausesSeen = 0;
        QString refused;
        // Each key changes the run state at once; a key that does nothing
        // would leave the program paused: it is stopped, and the test fails.
        auto press = [&](Qt::Key key, uint8_t state) {
            QTest::keyClick(TheMemoryWindow()->Tree(), key);
            if (RunState == state) return true;
            refused = QKeySequence(key).toString();
            SetRunState(rsStopRequested);
            return false;
        };
        std::function<void()> atPause = [&] {
            if (RunState != rsPaused) {
                QTimer::singleShot(0, atPause);
                return;
            }
            ++pausesSeen;
            if (pausesSeen == 1) {
                // Ctrl+M while paused: the memory window takes the keyboard,
                // and F8 still steps over.
                QTest::keyClick(&session.main, Qt::Key_M, Qt::ControlModifier);
                QVERIFY(TheMemoryWindow());
                TheMemoryWindow()->Tree()->setFocus();
                if (!press(Qt::Key_F8, rsRunByCommand)) return;
            } else {
                for (QTreeWidgetItemIterator it(TheMemoryWindow()->Tree()); *it; ++it)
                    if ((*it)->text(0).startsWith("tree ")) frame = (*it)->text(0);
                // Into the call with F7, then on at full speed with F9.
                if (frame.isEmpty()) {
                    if (!press(Qt::Key_F7, rsStep)) return;
                } else {
                    press(Qt::Key_F9, rsRunning);
                    return;
                }
            }
            QTimer::singleShot(0, atPause);
        };
        QTimer::singleShot(0, atPause);
        w->SourceRunCommand();
        QCOMPARE(int(RunState), int(rsStopped));
        QVERIFY2(refused.isEmpty(), qPrintable(refused + " did nothing"));
        QVERIFY2(pausesSeen >= 3, qPrintable(QString::number(pausesSeen)));
        QCOMPARE(frame, QString("tree 40 7"));
        QCOMPARE(RunSystemCommand("print :a"), int(rscRan));
        QCOMPARE(lastLine(), QString("3"));
        w->Editor()->document()->setModified(false);
    }

    // The popup offers the shipped examples, the help's start page and a
    // reset of the memory that asks first.
    void thePopupLeadsToExamplesHelpAndAReset()
    {
        Session session;
        QMenu* examples = session.main.MenuEntry("MENU.EXAMPLES")->menu();
        QVERIFY(examples);
        QAction* spiral = nullptr;
        for (QAction* a : examples->actions())
            if (a->text() == "turtle spiral") spiral = a;
        QVERIFY(spiral);
        size_t before = SourceWindows().size();
        spiral->trigger();
        QCOMPARE(SourceWindows().size(), before + 1);
        QCOMPARE(SourceWindows().back()->GetCaption(), QString("turtle_spiral.tvr"));
        session.main.MenuEntry("MENU.HELP")->trigger();
        QVERIFY(TheInfoWindow());
        QTRY_VERIFY(TheInfoWindow()->View()->toPlainText().contains("First steps"));
        QVERIFY(session.main.MenuEntry("MENU.EXIT"));
        // Reset asks; No keeps the names, OK forgets them, typed ones too.
        type("to twice :n");
        type("output :n * 2");
        type("end");
        gui_test::AnswerNextDialog([](MessageDialog* m) { m->NoButton()->click(); });
        session.main.AskResetMemory();
        QVERIFY(ResolveFrom(RootNode(), "twice"));
        gui_test::AnswerNextDialog([](MessageDialog* m) { m->OkButton()->click(); });
        session.main.AskResetMemory();
        QVERIFY(!ResolveFrom(RootNode(), "twice"));
        QVERIFY(TheTypedProcedures().Empty());
    }

    // Dragging the left edge resizes the window (its right edge stays); a
    // click on the title moves nothing, and no other window moves.
    void edgesResizeAndAClickMovesNothing()
    {
        Session session;
        session.main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&session.main));
        ToolWindow* output = TheOutputWindow();
        QRect before = output->geometry(), command = TheCommandWindow()->geometry();
        QWidget* frame = output->widget();
        QPoint edge(1, frame->height() / 2);
        QCOMPARE(output->HitTest(edge), ToolWindow::hitLeftEdge);
        QTest::mousePress(frame, Qt::LeftButton, Qt::NoModifier, edge);
        QTest::mouseMove(frame, edge + QPoint(-40, 0));
        QTest::mouseRelease(frame, Qt::LeftButton, Qt::NoModifier, edge + QPoint(-40, 0));
        QCOMPARE(output->geometry().right(), before.right());
        QCOMPARE(output->geometry().width(), before.width() + 40);
        QRect resized = output->geometry();
        QPoint title(20, 5);
        QCOMPARE(output->HitTest(title), ToolWindow::hitCaption);
        QTest::mouseClick(frame, Qt::LeftButton, Qt::NoModifier, title);
        QCOMPARE(output->geometry(), resized);
        QCOMPARE(TheCommandWindow()->geometry(), command);
    }

    void endGoesBackToTheIndentOfItsTo()
    {
        Session session;
        session.main.show();
        session.main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&session.main));
        SourceWindow* w = newWindow(session.main, "");
        w->Editor()->setFocus();
        QTest::keyClicks(w->Editor(), "to sq :n");
        QTest::keyClick(w->Editor(), Qt::Key_Return);
        QTest::keyClicks(w->Editor(), "output :n * :n");
        QTest::keyClick(w->Editor(), Qt::Key_Return);
        QTest::keyClicks(w->Editor(), "end");
        QTest::keyClick(w->Editor(), Qt::Key_Return);
        QTest::keyClicks(w->Editor(), "print sq 3");
        QCOMPARE(w->Editor()->toPlainText(), QString("to sq :n\n  output :n * :n\nend\nprint sq 3"));
        w->Editor()->document()->setModified(false);
    }
};

TAVRO_GUI_TEST_MAIN(FirstHourTest)
#include "first_hour_test.moc"
