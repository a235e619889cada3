// Source windows: colouring by token class, files and the close query,
// find and replace, runs that step, pause, continue, stop and fail with
// their markers, program files and recent programs, library programs, and
// the source windows in the configuration.
#include <QtTest>
#include <filesystem>

#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <functional>

#include "gui_fixture.h"
#include "installation.h"
#include "interpreter.h"
#include "languages.h"
#include "main_window.h"
#include "message_dialog.h"
#include "output_window.h"
#include "program_files.h"
#include "run_control.h"
#include "skin.h"
#include "source_hints.h"
#include "source_markers.h"
#include "source_window.h"
#include "state.h"
#include "structure.h"
#include "syntax_highlighter.h"

using namespace tavro;
using namespace tavro::shell;
using namespace tavro::desktop;

namespace {

// Chooses `path` in the next file dialog.
void answerFileDialog(const QString& path)
{
    QTimer::singleShot(0, [path] {
        auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!d) return answerFileDialog(path);
        d->selectFile(path);
        QMetaObject::invokeMethod(d, "accept");
    });
}

// Calls `then` once a run is paused (a run only pumps messages while it
// runs or pauses, so this never waits on the clock); gives up once `over`
// is set.
void whenPaused(std::function<void()> then, std::shared_ptr<const bool> over = nullptr)
{
    QTimer::singleShot(0, [then, over] {
        if (over && *over) return;
        if (RunState == rsPaused) then();
        else whenPaused(then, over);
    });
}

std::string writeConfiguration(const QTemporaryDir& dir, const std::string& extra)
{
    std::string path = dir.path().toStdString() + "/t.ini";
    // The first line of a key counts: `extra` comes first.
    gui_test::WriteFile(path, extra + "SKIN=Windows\nBUTTONS=Yes\nAUTOSAVE=Yes\nADVANCEDGUI=Yes\nLIBRARIES=core.tvr,\n"
                                      "OUTPUT=Yes\nCOMMAND=No\nCASESENSITIVE=Yes\n");
    LoadChosenConfiguration({path, true});
    return path;
}

// A configuration in a temporary folder and a main window that applied it.
struct Session {
    explicit Session(const std::string& extra = "") : config(writeConfiguration(dir, extra))
    {
        main.ApplyConfiguration({});
    }
    QTemporaryDir dir;
    std::string config;
    MainWindow main;
};

SourceWindow* newWindow(MainWindow& main)
{
    main.MenuEntry("MENU.NEW")->trigger();
    return SourceWindows().back();
}

// The token class colouring gave the character at `position`.
QColor colourAt(SourceWindow* w, int position)
{
    return ColourFormatAt(w->Editor()->document(), position).foreground().color();
}
bool boldAt(SourceWindow* w, int position)
{
    return ColourFormatAt(w->Editor()->document(), position).fontWeight() == QFont::Bold;
}

int positionOf(SourceWindow* w, const QString& text, int from = 0)
{
    return int(w->Editor()->toPlainText().indexOf(text, from));
}

}  // namespace

class SourceTest : public QObject {
    Q_OBJECT
private slots:
    void linesColourByTokenClass()
    {
        auto runs = [](std::string_view line, int state = 0) {
            std::vector<std::pair<std::string, TokenClass>> out;
            for (const ColourRun& r : ColourLine(line, state))
                out.push_back({std::string(line.substr(size_t(r.Start), size_t(r.Length))), r.Class});
            return out;
        };
        using V = std::vector<std::pair<std::string, TokenClass>>;
        SetCaseSensitive(true);
        // A colon and the name after it; a keyword after the colon ends it.
        QCOMPARE(runs(":x :to y"), (V{{":", tcVariable}, {"x", tcVariable}, {":", tcVariable}, {"to", tcKeyword},
                                     {"y", tcPlain}}));
        QCOMPARE(runs("\"word next"), (V{{"\"", tcWord}, {"word", tcWord}, {"next", tcPlain}}));
        QCOMPARE(runs("print +5 -3 + a +a"), (V{{"print", tcKeyword}, {"+5", tcNumber}, {"-3", tcNumber},
                                               {"+", tcPlain}, {"a", tcPlain}, {"+", tcPlain}, {"a", tcPlain}}));
        QCOMPARE(runs("REPEAT 2 [ dump ] DUMP 'Make'"),
                 (V{{"REPEAT", tcKeyword}, {"2", tcNumber}, {"[", tcKeyword}, {"dump", tcPlain}, {"]", tcKeyword},
                    {"DUMP", tcKeyword}, {"'Make'", tcKeyword}}));
        SetCaseSensitive(false);
        QCOMPARE(runs("dump")[0].second, tcKeyword);  // upper-cased before the comparison
        SetCaseSensitive(true);
        QCOMPARE(runs("x ; rest {"), (V{{"x", tcPlain}, {"; rest {", tcComment}}));

        // Brace comments and quoted words over several lines.
        int state = 0;
        QCOMPARE(runs("a {one {two}"), (V{{"a", tcPlain}, {"{one {two}", tcComment}}));
        ColourLine("a {one {two}", state);
        QCOMPARE(state, 1);
        QCOMPARE(runs("still } b", 1), (V{{"still }", tcComment}, {"b", tcPlain}}));
        QCOMPARE(runs("{ { }", 2), (V{{"{ { }", tcComment}}));
        state = 0;
        ColourLine("print 'open", state);
        QCOMPARE(state, kInQuotedWord);
        QCOMPARE(runs("it''s' :v", kInQuotedWord), (V{{"it''s'", tcPlain}, {":", tcVariable}, {"v", tcVariable}}));

        // Colouring leaves the lexer and the current position as they were.
        CurrentPosition = MakePosition("prog", 7, 42, 3);
        LastErrorText = "kept";
        state = 0;
        ColourLine("'unclosed", state);
        QCOMPARE(CurrentPosition.Offset, 42);
        QCOMPARE(CurrentPosition.Source.str(), std::string("prog"));
        QCOMPARE(LastErrorText, std::string("kept"));
    }

    void theEditorShowsTheColoursAndRecoloursOnlyTheEditedLine()
    {
        Session session;
        SourceWindow* w = newWindow(session.main);
        const QString text = "to sq :n\n{ a comment\nover lines } make \"x 12\nprint \\{x\\} 'ä' :n";
        w->Editor()->setPlainText(text);
        const SkinColours& c = CurrentSkin().Colours;
        QVERIFY(boldAt(w, 0));
        QCOMPARE(colourAt(w, positionOf(w, ":n")), c.Variable);
        QCOMPARE(colourAt(w, positionOf(w, "n\n")), c.Variable);
        QCOMPARE(colourAt(w, positionOf(w, "over")), c.Comment);
        QCOMPARE(colourAt(w, positionOf(w, "}")), c.Comment);
        QVERIFY(boldAt(w, positionOf(w, "make")));
        QCOMPARE(colourAt(w, positionOf(w, "x 12")), c.Word);
        QCOMPARE(colourAt(w, positionOf(w, "12")), c.Number);
        // After a non-ASCII word the runs still meet their characters.
        QCOMPARE(colourAt(w, positionOf(w, ":n", positionOf(w, "'ä'"))), c.Variable);
        QCOMPARE(colourAt(w, positionOf(w, "'ä'")), c.Text);
        // The text itself is never rewritten.
        QCOMPARE(w->Editor()->toPlainText(), text);

        // Closing the comment on its first line frees the line after it.
        QTextCursor cursor(w->Editor()->document());
        cursor.setPosition(positionOf(w, "{ a comment") + 11);
        cursor.insertText("}");
        QCOMPARE(colourAt(w, positionOf(w, "over")), c.Text);

        // One keystroke in the middle of a long text colours one line.
        QString lines;
        for (int i = 0; i < 400; ++i) lines += "make \"v" + QString::number(i) + " :v + 1\n";
        w->Editor()->setPlainText(lines);
        QTextCursor middle(w->Editor()->document()->findBlockByNumber(200));
        w->Editor()->setTextCursor(middle);
        long long before = w->Highlighter()->LinesColoured();
        QTest::keyClick(w->Editor(), Qt::Key_X);
        QCOMPARE(w->Highlighter()->LinesColoured() - before, 1LL);
        QCOMPARE(w->StatusText(), QString("201 : 2"));
        QVERIFY(w->IsModified());
    }

    void newWindowsAreNumberedAndAskBeforeLosingChanges()
    {
        Session session;
        MainWindow& main = session.main;
        QTemporaryDir& dir = session.dir;
        SourceWindow* first = newWindow(main);
        SourceWindow* second = newWindow(main);
        QCOMPARE(first->GetCaption(), QString("New File 0"));
        QCOMPARE(second->GetCaption(), QString("New File 1"));
        QVERIFY(first->close());  // unchanged: nothing asked
        QCoreApplication::processEvents();
        QCOMPARE(newWindow(main)->GetCaption(), QString("New File 0"));

        // Cancel keeps the window and its text; No closes without saving.
        QTest::keyClicks(second->Editor(), "print 1");
        gui_test::AnswerNextDialog([](MessageDialog* m) {
            QVERIFY(m->ShownText().contains("New File 1"));
            m->CancelButton()->click();
        });
        QVERIFY(!second->close());
        QCOMPARE(second->Editor()->toPlainText(), QString("print 1"));
        gui_test::AnswerNextDialog([](MessageDialog* m) { m->NoButton()->click(); });
        QVERIFY(second->close());

        // OK on a window never saved goes through the save dialog; the
        // program gets the ".tvr" extension.
        SourceWindow* third = newWindow(main);
        QTest::keyClicks(third->Editor(), "print 2");
        QString target = dir.path() + "/saved";
        gui_test::AnswerNextDialog([](MessageDialog* m) { m->OkButton()->click(); });
        answerFileDialog(target);
        QVERIFY(third->close());
        QCOMPARE(gui_test::ReadFile(target.toStdString() + ".tvr"), std::string("print 2\n"));
        QCOMPARE(main.RecentFiles().front(), target.toStdString() + ".tvr");
    }

    void theSimpleInterfaceHasFourButtonsAndNoMarkerStrip()
    {
        // Without line numbers; with them the strip shows for the numbers.
        Session session("ADVANCEDGUI=No\nSOURCE.LINENUMBERS=No\n");
        SourceWindow* w = newWindow(session.main);
        std::vector<std::string> keys;
        for (const auto& b : w->Buttons()) keys.push_back(b.Key);
        QCOMPARE(keys, (std::vector<std::string>{"CLOSE", "SOURCE.STOP", "SOURCE.RUN", "SOURCE.SAVE"}));
        QVERIFY(!w->Markers()->isVisibleTo(w));
        w->ToggleLineNumbers();
        QVERIFY(w->Markers()->isVisibleTo(w));
    }

    void filesSaveAndLoadUnchangedAndAFailedSaveKeepsTheText()
    {
        Session session;
        MainWindow& main = session.main;
        QTemporaryDir& dir = session.dir;
        std::string path = dir.path().toStdString() + "/prog.tvr";
        const std::string content = "print \"\\{b\\} { c }\r\nprint 'ä'\n";
        gui_test::WriteFile(path, content);
        main.OpenProgramFile(path);
        SourceWindow* w = SourceWindows().back();
        QCOMPARE(w->GetCaption(), QString("prog.tvr"));
        QCOMPARE(w->Editor()->toPlainText(), QString::fromUtf8("print \"\\{b\\} { c }\nprint 'ä'"));
        QVERIFY(!w->IsModified());
        QTest::keyClick(w->Editor(), Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(w->Editor(), " ;x");
        QTest::keyClick(w->Editor(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(gui_test::ReadFile(path), std::string("print \"\\{b\\} { c }\nprint 'ä' ;x\n"));
        QVERIFY(!w->IsModified());

        // A folder gone since the file was opened: the message names the
        // file and the reason, the text stays unsaved.
        std::string folder = dir.path().toStdString() + "/gone";
        std::filesystem::create_directory(folder);
        std::string bad = folder + "/unsaved-fresh-name.tvr";
        gui_test::WriteFile(bad, "");
        main.OpenProgramFile(bad);
        SourceWindow* b = SourceWindows().back();
        QCOMPARE(b->FileName(), bad);
        std::filesystem::remove_all(folder);
        QTest::keyClicks(b->Editor(), "print 3");
        QString shown;
        gui_test::AnswerNextDialog([&](MessageDialog* m) {
            shown = m->ShownText();
            m->OkButton()->click();
        });
        QVERIFY(!b->Save());
        QVERIFY2(shown.contains(QString::fromStdString(bad)) && shown.contains("No such file or directory"), qPrintable(shown));
        QVERIFY(b->IsModified());
        QCOMPARE(b->Editor()->toPlainText(), QString("print 3"));
    }

    void findReplaceAndFindNext()
    {
        Session session;
        SourceWindow* w = newWindow(session.main);
        w->Editor()->setPlainText("alpha beta\nALPHA beta alpha");
        auto selection = [w] { return w->Editor()->textCursor().selectionStart(); };
        gui_test::AnswerNextDialog([](MessageDialog* m) {
            QTest::keyClicks(m->EditBox(), "alpha");
            m->OkButton()->click();
        });
        w->AskFind();
        QCOMPARE(selection(), 0);
        w->FindAgain();
        QCOMPARE(selection(), 11);  // any letter case
        w->FindAgain();
        QCOMPARE(selection(), 22);
        // Past the last one the search goes round, with a note.
        w->FindAgain();
        QCOMPARE(selection(), 0);
        QVERIFY(w->StatusNote().contains("alpha"));
        gui_test::AnswerNextDialog([](MessageDialog* m) {
            m->EditBox()->setText("omega");
            m->OkButton()->click();
            gui_test::AnswerNextDialog([](MessageDialog* m) {
                QCOMPARE(m->ShownText(), QString("No further \"omega\" found."));
                m->OkButton()->click();
            });
        });
        w->AskFind();
        QCOMPARE(selection(), 0);

        // Replace: each match is asked for; No skips it.
        QTextCursor start(w->Editor()->document());
        w->Editor()->setTextCursor(start);
        gui_test::AnswerNextDialog([](MessageDialog* m) {
            QCOMPARE(m->EditBox()->text(), QString("omega"));  // the last search text
            m->EditBox()->setText("beta");
            m->OkButton()->click();
            gui_test::AnswerNextDialog([](MessageDialog* m) {
                m->EditBox()->setText("gamma");
                m->OkButton()->click();
                gui_test::AnswerNextDialog([](MessageDialog* m) {
                    QCOMPARE(m->ShownText(), QString("Replace \"beta\" with \"gamma\" here?"));
                    m->OkButton()->click();
                });
            });
        });
        w->AskReplace();
        QCOMPARE(w->Editor()->toPlainText(), QString("alpha gamma\nALPHA beta alpha"));
        gui_test::AnswerNextDialog([](MessageDialog* m) { m->NoButton()->click(); });
        w->FindAgain();
        QCOMPARE(w->Editor()->toPlainText(), QString("alpha gamma\nALPHA beta alpha"));
        // Round again to the one skipped, which is replaced now.
        gui_test::AnswerNextDialog([](MessageDialog* m) { m->OkButton()->click(); });
        w->FindAgain();
        QCOMPARE(w->Editor()->toPlainText(), QString("alpha gamma\nALPHA gamma alpha"));
    }

    void stepsThroughACallAndContinuesWithoutAReset()
    {
        Session session;
        SourceWindow* w = newWindow(session.main);
        w->Editor()->setPlainText("to double :x\n  output :x * 2\nend\nmake \"a 1\nmake \"b double :a\nprint :b + :a");
        std::vector<int> lines;
        // F7 until the body of the procedure pauses, then F9.
        std::function<void()> step = [&] {
            lines.push_back(w->Markers()->StepLine());
            QVERIFY(w->Markers()->StepVisible());
            QCOMPARE(w->CaretLine(), lines.back() + 1);
            // The keys are shortcuts of the main window: on a busy machine
            // it may not be active yet when the pause comes.
            if (!session.main.isActiveWindow()) {
                session.main.activateWindow();
                QVERIFY(QTest::qWaitForWindowActive(&session.main));
            }
            if (lines.back() == 1 || lines.size() > 8) {
                QTest::keyClick(w->Editor(), Qt::Key_F9);
                QVERIFY(!w->Markers()->StepVisible());
                return;
            }
            QTest::keyClick(w->Editor(), Qt::Key_F7);
            whenPaused(step);
        };
        whenPaused(step);
        // The run keys are the main window's shortcuts: it must be active.
        session.main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&session.main));
        w->Editor()->setFocus();
        QTest::keyClick(w->Editor(), Qt::Key_F7);
        QCOMPARE(int(RunState), int(rsStopped));
        QCOMPARE(lines.front(), 0);  // the first statement pauses
        QCOMPARE(lines.back(), 1);   // stepped into the procedure's body
        QVERIFY(std::find(lines.begin(), lines.end(), 4) != lines.end());
        // F9 went on without a reset: both variables were there.
        QVERIFY(TheOutputWindow()->Text().endsWith("3 "));
        QVERIFY(!w->Markers()->StepVisible());
    }

    void commandByCommandStepsOverCalls()
    {
        Session session;
        SourceWindow* w = newWindow(session.main);
        w->Editor()->setPlainText("to double :x\n  output :x * 2\nend\nmake \"b double 4\nprint :b");
        std::vector<int> lines;
        auto over = std::make_shared<bool>(false);
        std::function<void()> step = [&] {
            lines.push_back(w->Markers()->StepLine());
            session.main.RunCommand();  // F8
            if (lines.size() < 8) whenPaused(step, over);
        };
        whenPaused(step, over);
        w->SourceRunCommand();
        *over = true;
        QCOMPARE(int(RunState), int(rsStopped));
        QVERIFY(std::find(lines.begin(), lines.end(), 1) == lines.end());  // never inside the body
        QVERIFY(std::find(lines.begin(), lines.end(), 4) != lines.end());
        QVERIFY(TheOutputWindow()->Text().endsWith("8 "));
    }

    void runsToTheCaretLineAndStopsWhilePaused()
    {
        Session session;
        SourceWindow* w = newWindow(session.main);
        w->Editor()->setPlainText("print \"one\nprint \"two\nprint \"three\nprint \"four");
        QTextCursor third(w->Editor()->document()->findBlockByNumber(2));
        w->Editor()->setTextCursor(third);
        int pausedAt = -1;
        bool markerKept = false;
        whenPaused([&] {
            pausedAt = w->Markers()->StepLine();
            // A command typed while paused leaves the marker in place.
            RunSystemCommand("make \"typed 1");
            markerKept = w->Markers()->StepVisible() && w->Markers()->StepLine() == 2;
            w->SourceStop();
        });
        TheOutputWindow()->ClearOutput();
        session.main.RunTo();
        QCOMPARE(pausedAt, 2);
        QVERIFY(markerKept);
        QCOMPARE(int(RunState), int(rsStopped));
        QVERIFY(TheOutputWindow()->Text().contains("two"));
        QVERIFY(!TheOutputWindow()->Text().contains("three"));  // stopped before it, without a message
        // Stop with nothing running resets.
        RunSystemCommand("make \"kept 1");
        w->SourceStop();
        QCOMPARE(int(RunState), int(rsIdle));
        QVERIFY(!Resolve("kept"));
    }

    void aRunErrorMarksItsLine()
    {
        Session session;
        SourceWindow* w = newWindow(session.main);
        w->Editor()->setPlainText("print \"äöü\nprint 2\nprint :nothing\nprint 4");
        int markedLine = -1;
        QString shown;
        // The dialog as the configuration can ask for it.
        ConfigSet("ERRORDIALOG", "Yes");
        gui_test::AnswerNextDialog([&](MessageDialog* m) {
            markedLine = w->Markers()->ErrorLine();
            shown = m->ShownText();
            m->OkButton()->click();
        });
        session.main.RunFast();
        ConfigSet("ERRORDIALOG", "No");
        QCOMPARE(markedLine, 2);
        QVERIFY(shown.contains("New File 0, " + QString::fromStdString(Tr("MAIN.LINE")) + " 3"));
        QCOMPARE(w->CaretLine(), 3);
        QCOMPARE(int(RunState), int(rsStopped));
        // The marker and the message stay after the dialog, also when
        // another line changes, until the marked line is edited.
        QCOMPARE(w->Markers()->ErrorLine(), 2);
        QVERIFY(w->ErrorMessage().contains("nothing"));
        QTextCursor c(w->Editor()->document()->findBlockByNumber(0));
        c.insertText("print 0\n");
        QCOMPARE(w->Markers()->ErrorLine(), 3);
        c = QTextCursor(w->Editor()->document()->findBlockByNumber(3));
        c.movePosition(QTextCursor::EndOfBlock);
        c.insertText("g");
        QVERIFY(!w->Markers()->ErrorVisible());
        QVERIFY(w->ErrorMessage().isEmpty());
        // The error is in the transcript too, in the skin's Error colour.
        QVERIFY(TheOutputWindow()->Text().contains("New File 0:3: "));
    }

    void closingAPausedWindowLetsTheRunFinish()
    {
        Session session;
        SourceWindow* w = newWindow(session.main);
        w->Editor()->setPlainText("print 1\nprint 2");
        QPointer<SourceWindow> window(w);
        whenPaused([w] { QVERIFY(w->close()); });  // unchanged: closes at once
        w->SourceRunStep();
        QCOMPARE(int(RunState), int(rsStopped));
        QVERIFY(TheOutputWindow()->Text().endsWith("2 "));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!window);
        QVERIFY(SourceWindows().empty());
    }

    void hintsShowValuesAndHelpTexts()
    {
        Session session;
        SourceWindow* w = newWindow(session.main);
        RunSystemCommand("make \"help.sq \"Squares");
        RunSystemCommand("make \"count 5");
        RunSystemCommand("make \"box.size [1 2]");
        w->Editor()->setPlainText("print sq :count box.size nothing");
        auto hintAt = [w](const QString& word) {
            w->ShowWordHint(positionOf(w, word) + 1);
            return w->EditorHint();
        };
        QCOMPARE(hintAt("sq"), QString("Squares"));
        QCOMPARE(w->HintWord(), std::string("sq"));
        QCOMPARE(hintAt("count"), QString("count = 5"));
        QCOMPARE(hintAt("box.size"), QString("size = [1 2]\r\n{ \"box.size }"));
        QCOMPARE(hintAt("nothing"), QString());
        // Beyond the end of a line there is no character and no hint.
        QCOMPARE(w->CharAtPoint(QPoint(w->Editor()->viewport()->width() - 5, 5)), -1);
        QVERIFY(w->CharAtPoint(QPoint(8, 5)) >= 0);
        // A drop point inside a placeholder selects it, except on the last
        // line.
        w->Editor()->setPlainText(QString::fromUtf8("print \u2039value\u203A\nprint \u2039last\u203A"));
        auto pointAt = [w](int position) {
            QTextCursor c(w->Editor()->document());
            c.setPosition(position);
            return w->Editor()->cursorRect(c).center() + QPoint(2, 0);
        };
        w->MarkDropPoint(pointAt(8));
        QCOMPARE(w->Editor()->textCursor().selectedText(), QString::fromUtf8("\u2039value\u203A"));
        w->MarkDropPoint(pointAt(18));
        QVERIFY(!w->Editor()->textCursor().hasSelection());
        // A placeholder is found around a character, not across another.
        QCOMPARE(PlaceholderAround(QString::fromUtf8("to \u2039name\u203A x"), 5), std::make_pair(3, 9));
        QCOMPARE(PlaceholderAround(QString::fromUtf8("\u2039a\u203A b \u2039c\u203A"), 4), std::make_pair(-1, -1));
    }

    void closingTheMainWindowAsksForChangedPrograms()
    {
        Session session;
        SourceWindow* w = newWindow(session.main);
        QTest::keyClicks(w->Editor(), "print 1");
        gui_test::AnswerNextDialog([](MessageDialog* m) { m->CancelButton()->click(); });
        session.main.close();
        QVERIFY(!session.main.Closing());
        QVERIFY(session.main.isVisible());
        gui_test::AnswerNextDialog([](MessageDialog* m) { m->NoButton()->click(); });
        session.main.close();
        QVERIFY(session.main.Closing());
        QCOMPARE(SourceWindows().size(), size_t(1));  // kept for the configuration
    }

    void programFilesOpenOnceAndRecentProgramsMove()
    {
        Session session;
        MainWindow& main = session.main;
        QTemporaryDir& dir = session.dir;
        const std::string& config = session.config;
        QDir(dir.path()).mkpath("a");
        QDir(dir.path()).mkpath("b");
        std::string a = dir.path().toStdString() + "/a/x.tvr", b = dir.path().toStdString() + "/b/x.tvr";
        gui_test::WriteFile(a, "print 1\n");
        gui_test::WriteFile(b, "print 2\n");
        main.OpenProgramFile(a);
        main.OpenProgramFile(dir.path().toStdString() + "/b/../a/x.tvr");
        QCOMPARE(SourceWindows().size(), size_t(1));
        main.OpenProgramFile(b);  // same name, other folder
        QCOMPARE(SourceWindows().size(), size_t(2));
        // A run error marks the window whose program ran.
        SourceWindow* second = SourceWindows()[1];
        second->Editor()->setPlainText("print :nothing");
        second->SourceRun();
        QVERIFY(second->Markers()->ErrorVisible() && !SourceWindows()[0]->Markers()->ErrorVisible());
        // Reopening brings the open window to the front.
        QAction* entryA = nullptr;
        for (QAction* e : main.ReopenMenu()->actions())
            if (e->text().toStdString() == a) entryA = e;
        QVERIFY(entryA);
        entryA->trigger();
        QCOMPARE(SourceWindows().size(), size_t(2));
        QCOMPARE(CurrentSource(), SourceWindows().front());

        // The most recent first; a repeated path moves up; ten are saved.
        for (int i = 0; i < 12; ++i) main.AddRecentFile("/p/" + std::to_string(i) + ".tvr");
        main.AddRecentFile("/p/3.tvr");
        std::vector<std::string> recent = main.RecentFiles();
        QCOMPARE(recent.size(), size_t(14));
        QCOMPARE(recent[0], std::string("/p/3.tvr"));
        QCOMPARE(recent[1], std::string("/p/11.tvr"));
        main.SaveConfiguration();
        std::string saved = gui_test::ReadFile(config);
        QVERIFY(saved.find("REOPEN0=/p/3.tvr\n") != std::string::npos);
        QVERIFY(saved.find("REOPEN9=/p/2.tvr\n") != std::string::npos);
        QVERIFY(saved.find("REOPEN10") == std::string::npos);

        // The word at the cursor names a file (".tvr" added) and a topic.
        SourceWindow* w = SourceWindows().front();
        w->Editor()->setPlainText("run \"x ; note");
        w->ShowWordHint(6);
        QCOMPARE(w->HintWord(), std::string("x"));
        QDir::setCurrent(dir.path() + "/b");
        SetHelpLookup([](const std::string&) {});
        main.PreparePopupEdit();
        QVERIFY(main.MenuEntry("OPENFILE")->isVisible());
        QCOMPARE(main.MenuEntry("OPENFILE")->text(), QString("Open x"));
        QVERIFY(main.MenuEntry("HELPFILE")->isVisible());
        w->ShowWordHint(9);  // the comment
        main.PreparePopupEdit();
        QVERIFY(!main.MenuEntry("OPENFILE")->isVisible());
        QVERIFY(!main.MenuEntry("HELPFILE")->isVisible());
        QVERIFY(!main.MenuEntry("HELP")->isVisible());
        SetHelpLookup(nullptr);
    }

    void librariesLoadAndUnload()
    {
        Session session;
        MainWindow& main = session.main;
        QTemporaryDir& dir = session.dir;
        const std::string& config = session.config;
        std::string lib = dir.path().toStdString() + "/extra.tvr";
        gui_test::WriteFile(lib, "to extraword\noutput 7\nend\n");
        gui_test::AnswerNextDialog([](MessageDialog* m) { m->OkButton()->click(); });
        main.LoadLibraries({lib});
        QVERIFY(LibraryCommandText.find("extra.tvr") != std::string::npos);
        // A library of the executable's folder that is loaded already is
        // known by its caption, which has the folder taken off.
        const std::vector<std::string> loaded = main.LibraryEntries();
        main.LoadLibraries({Folders().Executable + "core.tvr"});
        QCOMPARE(main.LibraryEntries(), loaded);
        QCOMPARE(RunSystemCommand("print extraword"), int(rscRan));
        RunSystemCommand("make \"gone 1");
        QAction* entry = main.LibrariesMenu()->actions().back();
        QCOMPARE(entry->text().toStdString(), lib);
        // No keeps it; OK unloads it and resets.
        gui_test::AnswerNextDialog([](MessageDialog* m) { m->NoButton()->click(); });
        main.UnloadLibrary(entry);
        QVERIFY(LibraryCommandText.find("extra.tvr") != std::string::npos);
        gui_test::AnswerNextDialog([](MessageDialog* m) { m->OkButton()->click(); });
        main.UnloadLibrary(entry);
        QVERIFY(LibraryCommandText.find("extra.tvr") == std::string::npos);
        QVERIFY(LibraryCommandText.find("core.tvr") != std::string::npos);
        QVERIFY(!Resolve("gone"));
        QCOMPARE(RunSystemCommand("print extraword"), int(rscRunFailed));  // extraword is unknown now
        main.SaveConfiguration();
        QVERIFY(gui_test::ReadFile(config).find("LIBRARIES=core.tvr,\n") != std::string::npos);
    }

    void sourceWindowsSurviveARestart()
    {
        QTemporaryDir dir;
        std::string prog = dir.path().toStdString() + "/kept.tvr";
        gui_test::WriteFile(prog, "print \"kept\n");
        std::string config = writeConfiguration(
            dir, "USERS=2\nUSER1.FILENAME=" + prog +
                     "\nUSER1.LEFT=10\nUSER1.TOP=20\nUSER1.WIDTH=300\nUSER1.HEIGHT=200\nUSER1.STATE=0\n"
                     "USER2.LEFT=320\nUSER2.TOP=20\nUSER2.WIDTH=300\nUSER2.HEIGHT=200\nUSER2.STATE=0\n");
        {
            MainWindow main;
            main.ApplyConfiguration({});
            QCOMPARE(SourceWindows().size(), size_t(2));
            SourceWindow* first = SourceWindows()[0];
            QCOMPARE(first->FileName(), prog);
            QCOMPARE(first->Editor()->toPlainText(), QString("print \"kept"));
            QCOMPARE(first->geometry(), QRect(10, 20, 300, 200));
            QCOMPARE(SourceWindows()[1]->GetCaption(), QString("New File 0"));
            first->setGeometry(15, 25, 310, 210);
            main.SaveConfiguration();
        }
        QVERIFY(SourceWindows().empty());
        std::string saved = gui_test::ReadFile(config);
        QVERIFY(saved.find("USERS=2\n") != std::string::npos);
        QVERIFY(saved.find("USER1.FILENAME=" + prog + "\n") != std::string::npos);
        QVERIFY(saved.find("USER1.LEFT=15\n") != std::string::npos);
        QVERIFY(saved.find("USER1.WIDTH=310\n") != std::string::npos);
        QVERIFY(saved.find("USER2.FILENAME") == std::string::npos);

        // A program on the command line opens instead of the saved windows.
        LoadChosenConfiguration({config, true});
        MainWindow main;
        main.ApplyConfiguration({prog});
        QCOMPARE(SourceWindows().size(), size_t(1));
        QCOMPARE(SourceWindows()[0]->FileName(), prog);
        QCOMPARE(main.StartupProgram(), prog);
    }
};

TAVRO_GUI_TEST_MAIN(SourceTest)
#include "source_test.moc"
