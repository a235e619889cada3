// The tool windows and the main window at work: arrangement rules, the
// message dialog's answers and keys, run-state display, the command and
// output windows driven by typed keys, and closing while a program runs.
#include <QtTest>

#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>

#include "arrange.h"
#include "command_history.h"
#include "command_window.h"
#include "gui_fixture.h"
#include "installation.h"
#include "interpreter.h"
#include "main_window.h"
#include "message_dialog.h"
#include "output_window.h"
#include "run_control.h"
#include "languages.h"
#include "skin.h"
#include "state.h"

using namespace tavro;
using namespace tavro::shell;
using namespace tavro::desktop;

namespace {


std::string writeConfiguration(const QTemporaryDir& dir, const std::string& extra)
{
    std::string path = dir.path().toStdString() + "/t.ini";
    gui_test::WriteFile(path, "SKIN=Windows\nBUTTONS=Yes\nAUTOSAVE=Yes\nLIBRARIES=core.tvr,\nOUTPUT=Yes\n"
                              "COMMAND=Yes\n" + extra);
    LoadChosenConfiguration({path, true});
    return path;
}

}  // namespace

class WindowsTest : public QObject {
    Q_OBJECT
private slots:
    void arrangementRules()
    {
        // Touching edges are an overlap: pulled one pixel apart.
        std::vector<WindowRect> t = {{100, 300, 100, 300}, {300, 500, 100, 300}};
        RelaxWindowTable(t, 1000, 1000);
        QVERIFY(t[0].Right < t[1].Left);
        QCOMPARE(t[0].Right - t[0].Left, 200);
        // Pulled back into the workspace, 5 pixels before its far edges.
        t = {{-30, 170, 900, 1100}};
        RelaxWindowTable(t, 1000, 1000);
        QCOMPARE(t[0].Left, 0);
        QCOMPARE(t[0].Bottom, 995);
        // Grown to 100 x 100 about its centre.
        t = {{300, 340, 300, 320}};
        RelaxWindowTable(t, 1000, 1000);
        QCOMPARE(t[0].Right - t[0].Left, 100);
        QCOMPARE(t[0].Bottom - t[0].Top, 100);
        QCOMPARE(t[0].Left, 270);
        QCOMPARE(t[0].Top, 260);
        // More windows than the table holds: the rest stay untouched.
        std::vector<WindowRect> many(200, WindowRect{10, 50, 10, 50});
        RelaxWindowTable(many, 300, 300);
        QCOMPARE(many[199], (WindowRect{10, 50, 10, 50}));
        for (int i = 0; i < kMaxArrangedWindows; ++i) {
            QVERIFY(many[size_t(i)].Left >= 0);
            QVERIFY(many[size_t(i)].Right - many[size_t(i)].Left >= 1);
        }
    }

    // A window that opens goes beside the plane and the program, as large
    // as the room there allows; with no such room, on top at full size.
    void aWindowThatOpensFindsAFreePlace()
    {
        auto covers = [](const WindowRect& a, const WindowRect& b) {
            return std::min(a.Right, b.Right) > std::max(a.Left, b.Left) &&
                   std::min(a.Bottom, b.Bottom) > std::max(a.Top, b.Top);
        };
        WindowRect plane{0, 510, 0, 470}, output{520, 1000, 0, 470};
        WindowRect r = FreePlace(1024, 700, 300, 300, 560, 470, {plane}, {output});
        QVERIFY(!covers(r, plane));
        QVERIFY(r.Right <= 1024 && r.Bottom <= 700 && r.Left >= 0 && r.Top >= 0);
        QVERIFY(r.Right - r.Left >= 300 && r.Bottom - r.Top >= 300);
        QCOMPARE(r.Bottom - r.Top, 470);
        // Room on the left of a program window: it goes there, whole.
        WindowRect program{500, 1024, 0, 700};
        r = FreePlace(1024, 700, 200, 200, 400, 500, {program}, {});
        QCOMPARE(r, (WindowRect{0, 400, 0, 500}));
        // No room beside it: on top at the wanted size, inside the workspace.
        WindowRect everything{0, 1024, 0, 700};
        r = FreePlace(1024, 700, 300, 300, 400, 500, {everything}, {});
        QCOMPARE(r.Right - r.Left, 400);
        QCOMPARE(r.Bottom - r.Top, 500);
        QVERIFY(r.Left >= 0 && r.Right <= 1024 && r.Top >= 0 && r.Bottom <= 700);
    }

    // A window's own minimum outweighs keeping windows apart: a plane of
    // at least 340 x 290 and a window beside it in a workspace too small
    // for both keep their sizes and overlap.
    void arrangementKeepsMinimumSizes()
    {
        std::vector<WindowRect> t = {{0, 400, 0, 300, 340, 290}, {200, 600, 0, 400}};
        RelaxWindowTable(t, 500, 400);
        QVERIFY(t[0].Right - t[0].Left >= 340);
        QVERIFY(t[0].Bottom - t[0].Top >= 290);
        QVERIFY(t[1].Right - t[1].Left >= 100);
        QVERIFY(t[0].Right <= 495 && t[1].Right <= 495);
        // Room enough: they are pulled apart as before.
        t = {{0, 400, 0, 300, 340, 290}, {200, 600, 0, 300}};
        RelaxWindowTable(t, 1200, 800);
        QVERIFY(t[0].Right < t[1].Left || t[1].Right < t[0].Left);
    }

    void messageDialogAnswersAndKeys()
    {
        LoadSkin("Windows");
        QCOMPARE(ShowMessageDialog("", "", "", 7), int(answerOK));  // nothing shown
        gui_test::AnswerNextDialog([](MessageDialog* m) {
            QVERIFY(m->OkButton()->isVisibleTo(m) && m->NoButton()->isVisibleTo(m));
            QVERIFY(!m->CancelButton()->isVisibleTo(m));
            // The pair is centred: OK's left + No's right around the middle.
            int okLeft = m->OkButton()->mapTo(m, QPoint(0, 0)).x();
            int noRight = m->NoButton()->mapTo(m, QPoint(m->NoButton()->width(), 0)).x();
            QCOMPARE(okLeft + noRight, 424);
            QTest::keyClick(m, Qt::Key_Escape);  // no Cancel: nothing happens
            QVERIFY(m->isVisible());
            QTest::keyClick(m, Qt::Key_Space);
        });
        QCOMPARE(ShowMessageDialog("Question?", "", "", 3), int(answerOK));
        gui_test::AnswerNextDialog([](MessageDialog* m) { m->NoButton()->click(); });
        QCOMPARE(ShowMessageDialog("Question?", "", "", 7), int(answerNo));
        gui_test::AnswerNextDialog([](MessageDialog* m) { QTest::keyClick(m, Qt::Key_Escape); });
        QCOMPARE(ShowMessageDialog("Question?", "", "", 7), int(answerCancel));

        // Input: pre-filled with the last input, fully selected; Enter keeps
        // the typed text; Cancel keeps the old one.
        LastInputText() = "old";
        gui_test::AnswerNextDialog([](MessageDialog* m) {
            QCOMPARE(m->EditBox()->text(), QString("old"));
            QCOMPARE(m->EditBox()->selectedText(), QString("old"));
            QTest::keyClicks(m->EditBox(), "new text");
            QTest::keyClick(m->EditBox(), Qt::Key_Space);  // typed, not an answer
            QTest::keyClick(m->EditBox(), Qt::Key_Return);
        });
        QCOMPARE(ShowMessageDialog("Name?", "", "", 21), int(answerOK));
        QCOMPARE(LastInputText(), std::string("new text "));
        gui_test::AnswerNextDialog([](MessageDialog* m) {
            QTest::keyClicks(m->EditBox(), "dropped");
            QTest::keyClick(m->EditBox(), Qt::Key_Escape);
        });
        QCOMPARE(ShowMessageDialog("Name?", "", "", 21), int(answerCancel));
        QCOMPARE(LastInputText(), std::string("new text "));

        // Message, file and detail.
        gui_test::AnswerNextDialog([](MessageDialog* m) {
            QCOMPARE(m->ShownText(), QString("Broken in prog.tvr\n\nmore"));
            m->OkButton()->click();
        });
        InterfaceTexts().Set("MAIN.INFILE", "in");
        ShowMessageDialog("Broken", "prog.tvr", "more", 1);
    }

    void runStateCaptionAndIcon()
    {
        QTemporaryDir dir;
        writeConfiguration(dir, "PROJECT=Proj\n");
        MainWindow main;
        main.ApplyConfiguration({});
        main.RunDeferredWork();
        QCOMPARE(main.SavedTitle(), QString("Proj"));
        SetRunState(rsRunning);
        QCOMPARE(main.windowTitle(), QString("Proj is RUNNING"));
        QVERIFY(main.IconAnimating());
        SetRunState(rsStep);
        QCOMPARE(main.windowTitle(), QString("Proj is STOPPING"));
        SetRunState(rsPaused);
        QCOMPARE(main.windowTitle(), QString("Proj is PAUSED"));
        QVERIFY(!main.IconAnimating());  // frozen on its frame
        // The same state twice touches nothing.
        main.setWindowTitle("touched?");
        SetRunState(rsPaused);
        QCOMPARE(main.windowTitle(), QString("touched?"));
        // A run that ended by itself reads as finished, one the user
        // stopped as stopped; the status strip says the same.
        SetRunState(rsStopped);
        QCOMPARE(main.windowTitle(), QString("Proj is FINISHED"));
        QCOMPARE(main.RunStateText(), QString::fromStdString(Tr("STATE.FINISHED")));
        SetRunState(rsRunning);
        QCOMPARE(main.RunStateText(), QString::fromStdString(Tr("STATE.RUNNING")));
        main.NoteRunOutcome(MainWindow::RunOutcome::Stopped);
        SetRunState(rsStopped);
        QCOMPARE(main.windowTitle(), QString("Proj is STOPPED"));
        QCOMPARE(main.RunStateText(), QString::fromStdString(Tr("STATE.STOPPED")));
        SetRunState(rsIdle);
        QCOMPARE(main.windowTitle(), QString("Proj"));
        // F9 without a source window does nothing.
        main.RunFast();
        QCOMPARE(int(RunState), int(rsIdle));
    }

    void commandWindowTypedLines()
    {
        QTemporaryDir dir;
        writeConfiguration(dir, "");
        MainWindow main;
        main.ApplyConfiguration({});
        main.RunDeferredWork();
        CommandWindow* command = TheCommandWindow();
        OutputWindow* output = TheOutputWindow();
        QVERIFY(command && output);
        QLineEdit* line = command->CommandLine();
        auto type = [&](const QString& text) {
            QTest::keyClicks(line, text);
            QTest::keyClick(line, Qt::Key_Return);
        };
        type("print 1 + 2");
        QVERIFY(output->Text().endsWith("3 "));
        QVERIFY(output->Text().contains("print 1 + 2"));
        // A definition typed line by line stays in continuation until end.
        type("to twice :x");
        QVERIFY(!command->Fresh());
        // The prompt says what the command waits for.
        QCOMPARE(command->Prompt().toStdString(),
                 FormatOne(InterfaceTexts().TextOrKey("COMMAND.PROMPT.NEEDSEND"), "twice"));
        type("output :x * 2");
        QVERIFY(!command->Fresh());
        type("end");
        QVERIFY(command->Fresh());
        type("print twice 21");
        QVERIFY(output->Text().endsWith("42 "));
        // An unclosed bracket: continuation until the clear button.
        type("print [a");
        type("b");
        QVERIFY(!command->Fresh());
        command->CommandClear();
        QVERIFY(command->Fresh());
        QVERIFY(command->Collected().empty());
        // History: Up shows the most recent line first; blank lines are not
        // stored.
        type("   ");
        QTest::keyClick(line, Qt::Key_Up);
        QCOMPARE(line->text(), QString("b"));
        QTest::keyClick(line, Qt::Key_Up);
        QCOMPARE(line->text(), QString("print [a"));
        // The echo is bold, program output is not.
        QTextDocument* doc = output->Editor()->document();
        QTextBlock echo = doc->findBlock(int(doc->toPlainText().indexOf("print twice 21")));
        QTextBlock printed = echo.next();
        QCOMPARE(printed.text(), QString("42 "));
        QCOMPARE(echo.begin().fragment().charFormat().fontWeight(), int(QFont::Bold));
        QCOMPARE(printed.begin().fragment().charFormat().fontWeight(), int(QFont::Normal));
    }

    void historyKeepsThirtyTwoLines()
    {
        CommandHistory h;
        QCOMPARE(h.Up(), std::string());
        h.Enter("only");
        QCOMPARE(h.Up(), std::string("only"));
        QCOMPARE(h.Up(), std::string("only"));
        for (int i = 1; i <= 33; ++i) h.Enter("line " + std::to_string(i));
        QCOMPARE(h.Up(), std::string("line 33"));
        QCOMPARE(h.Down(), std::string("line 2"));  // "line 1" and "only" have left
        QCOMPARE(h.Entry(32), std::string("line 2"));
        // Up walks all 32 lines back to the oldest, then wraps to the newest.
        CommandHistory full;
        for (int i = 1; i <= 32; ++i) full.Enter("line " + std::to_string(i));
        for (int i = 32; i >= 1; --i) QCOMPARE(full.Up(), "line " + std::to_string(i));
        QCOMPARE(full.Up(), std::string("line 32"));
    }

    void outputTrimAndCut()
    {
        QTemporaryDir dir;
        writeConfiguration(dir, "");
        MainWindow main;
        main.ApplyConfiguration({});
        main.RunDeferredWork();
        OutputWindow* out = TheOutputWindow();
        out->ClearOutput();
        for (int i = 1; i <= 501; ++i) out->AppendLine("line " + std::to_string(i));
        QCOMPARE(out->LineCount(), 501);
        out->AppendLine("line 502");  // more than 500: the oldest 300 go first
        QCOMPARE(out->LineCount(), 202);
        QVERIFY(out->Text().startsWith("line 301\n"));
        out->AppendLine("line 503");
        QCOMPARE(out->LineCount(), 203);

        QCOMPARE(CutToMaxPrint("123456789012", 10), std::string("1234567890..."));
        QCOMPARE(CutToMaxPrint("1234567890", 10), std::string("1234567890"));
        QCOMPARE(CutToMaxPrint("123456789012", 0), std::string("123456789012"));
        QCOMPARE(CutToMaxPrint("\xC3\xA4\xC3\xA4\xC3\xA4", 2), std::string("\xC3\xA4\xC3\xA4..."));
        SetMaxPrint(10);
        out->AppendLine("123456789012");
        QVERIFY(out->Text().endsWith("\n1234567890..."));
        SetMaxPrint(4000);

        out->ClearOutput();
        out->TypeText("\b");
        QCOMPARE(out->Text(), QString());
        out->TypeText("ab");
        out->TypeText("c\bd");
        QCOMPARE(out->Text(), QString("abd"));
    }

    void aKeyTypedIntoTheOutputReachesReadchar()
    {
        QTemporaryDir dir;
        writeConfiguration(dir, "");
        MainWindow main;
        main.ApplyConfiguration({});
        main.RunDeferredWork();
        OutputWindow* out = TheOutputWindow();
        QTimer::singleShot(0, [out] { QTest::keyClicks(out->Editor(), "k"); });
        QCOMPARE(RunSystemCommand("make \"got readchar"), int(rscRan));
        QCOMPARE(RunSystemCommand("print :got"), int(rscRan));
        QVERIFY(out->Text().endsWith("k "));
    }

    void skinAndLanguageSwitchesRelabelEverything()
    {
        QTemporaryDir dir;
        writeConfiguration(dir, "ENVIRONMENT=English\n");
        MainWindow main;
        main.ApplyConfiguration({});
        OutputWindow* out = TheOutputWindow();
        auto entryNamed = [](QMenu* menu, const QString& text) -> QAction* {
            for (QAction* a : menu->actions())
                if (a->text() == text) return a;
            return nullptr;
        };
        // The plain look draws one title bar of its own: the button panel.
        QVERIFY(out->windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(out->windowTitle().isEmpty());
        QAction* midnight = entryNamed(main.SkinsMenu(), "Midnight");
        QVERIFY(midnight);
        midnight->trigger();
        QCOMPARE(CurrentSkin().Name, std::string("Midnight"));
        QVERIFY(midnight->isChecked());
        QVERIFY(out->windowFlags() & Qt::FramelessWindowHint);  // painted frame now
        QVERIFY(CurrentSkin().Top > 0);
        QCoreApplication::processEvents();
        QCOMPARE(out->Body()->geometry().top(), CurrentSkin().Top);
        // The shown name "Plain" leads back to the folder "Windows".
        entryNamed(main.SkinsMenu(), "Plain")->trigger();
        QVERIFY(CurrentSkin().Plain);
        QVERIFY(out->windowFlags() & Qt::FramelessWindowHint);

        QString englishNew = main.MenuEntry("MENU.NEW")->text();
        entryNamed(main.LanguagesMenu(), "Deutsch")->trigger();
        QCOMPARE(Language().Name, std::string("German"));
        QVERIFY(main.MenuEntry("MENU.NEW")->text() != englishNew);
        QCOMPARE(out->GetCaption().toStdString(), Tr("OUTPUT"));
        QVERIFY(entryNamed(main.SkinsMenu(), "Schlicht"));  // skin captions follow
        entryNamed(main.LanguagesMenu(), "English")->trigger();
        QCOMPARE(Language().Name, std::string("English"));
        QCOMPARE(main.MenuEntry("MENU.NEW")->text(), englishNew);
        QVERIFY(entryNamed(main.SkinsMenu(), "Plain"));
    }

    void windowsOpenWhereThePopupWas()
    {
        QTemporaryDir dir;
        writeConfiguration(dir, "");
        MainWindow main;
        main.ApplyConfiguration({});
        main.ToggleOutput();  // open: closes it
        QVERIFY(!TheOutputWindow());
        main.PreparePopeye(QPoint(40, 50));
        main.ToggleOutput();
        QVERIFY(TheOutputWindow());
        QCOMPARE(TheOutputWindow()->pos(), QPoint(40, 50));
        QCOMPARE(TheOutputWindow()->width(), ConfigInt("OUTPUT.WIDTH"));
        main.PreparePopeye(QPoint(1, 1));
        QVERIFY(main.MenuEntry("MENU.WINDOW.OUTPUT")->isChecked());
        QVERIFY(!main.MenuEntry("MENU.WINDOW.DIRECT")->isVisible());
    }

    void deepRecursionEndsInAnErrorNotACrash()
    {
        QTemporaryDir dir;
        writeConfiguration(dir, "");
        MainWindow main;
        main.ApplyConfiguration({});
        main.RunDeferredWork();
        QCOMPARE(RunSystemCommand("to f :n , make \"depth :n , f :n + 1 , end , f 1"), int(rscRunFailed));
        // A typed command's error is in the transcript.
        QCOMPARE(TheOutputWindow()->Text().split('\n').last().toStdString(), ErrorMessages().TextOrKey("DEEPRECURSION"));
        QCOMPARE(RunSystemCommand("make \"reached :depth > 150000"), int(rscRan));
        QCOMPARE(RunSystemCommand("print :reached"), int(rscRan));
        QVERIFY(TheOutputWindow()->Text().endsWith("true "));
    }

    void closingWhileAProgramRunsStopsItFirst()
    {
        QTemporaryDir dir;
        std::string path = writeConfiguration(dir, "MARK=before\n");
        auto* main = new MainWindow();
        main->ApplyConfiguration({});
        main->RunDeferredWork();
        QPointer<CommandWindow> command = TheCommandWindow();
        bool ranToEnd = false;
        QTimer::singleShot(0, [&] {
            QTimer::singleShot(50, main, [main] { main->close(); });
            command->EnterLine("repeat 1e9 [make \"x 1]");
            ranToEnd = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(main->isHidden() && ranToEnd, 60000);
        QCOMPARE(int(RunState), int(rsIdle));
        QVERIFY(main->Closing());
        ConfigSet("MARK", "after");
        main->SaveConfiguration();
        delete main;
        QVERIFY(gui_test::ReadFile(path).find("MARK=after") != std::string::npos);
    }
};

TAVRO_GUI_TEST_MAIN(WindowsTest)
#include "windows_test.moc"
