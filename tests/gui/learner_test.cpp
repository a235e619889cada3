// A learner's first hour: run errors in the transcript, the message dialog
// that ignores keys typed ahead, the stop keys, skins that repaint the
// output, the editor's comforts, help at hand and the one version.
#include <QtTest>

#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <functional>

#include "command_window.h"
#include "configuration.h"
#include "environment_font.h"
#include "file_dialogs.h"
#include "gui_fixture.h"
#include "help_suggestions.h"
#include "info_window.h"
#include "errors.h"
#include "installation.h"
#include "interpreter.h"
#include "languages.h"
#include "main_window.h"
#include "message_dialog.h"
#include "output_window.h"
#include "run_control.h"
#include "skin.h"
#include "source_markers.h"
#include "source_window.h"

using namespace tavro;
using namespace tavro::shell;
using namespace tavro::desktop;

namespace {

using gui_test::Session;

void pickSkin(MainWindow& main, const QString& shownName)
{
    for (QAction* a : main.SkinsMenu()->actions())
        if (a->text() == shownName) main.PickSkin(a);
}

// The foreground of the output's last line.
QColor lastLineColour()
{
    QTextDocument* doc = TheOutputWindow()->Editor()->document();
    TheOutputWindow()->Flush();
    return doc->lastBlock().begin().fragment().charFormat().foreground().color();
}

SourceWindow* newWindow(MainWindow& main, const QString& text)
{
    main.NewProgram();
    SourceWindow* w = SourceWindows().back();
    w->Editor()->setPlainText(text);
    return w;
}

}  // namespace

class LearnerTest : public QObject {
    Q_OBJECT
private slots:
    void commandErrorsGoToTheOutputAndKeysTypedAheadAreDropped()
    {
        // The dialog opens when the configuration asks for it.
        Session session("ERRORDIALOG=Yes\n");
        // A Space typed before the error appears would press OK: it is
        // queued before the command runs and must not reach the dialog.
        QLineEdit* line = TheCommandWindow()->CommandLine();
        QCoreApplication::postEvent(line, new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " "));
        bool answeredByUs = false;
        gui_test::AnswerNextDialog([&](MessageDialog* m) {
            answeredByUs = true;
            m->OkButton()->click();
        });
        TheCommandWindow()->EnterLine("print 1 / 0");
        QVERIFY(answeredByUs);
        QVERIFY(TheOutputWindow()->Text().endsWith(QString::fromStdString(
            FormatMessage(ErrorMessages().TextOrKey("DIVZERO"), {"/"}))));
        QCOMPARE(lastLineColour(), CurrentSkin().Colours.Error);
        QVERIFY(session.main.RunStateText().startsWith(QString::fromStdString(Tr("STATE.FAILED"))));
    }

    void missingInputsAreNamedForLibraryAndUserProcedures()
    {
        Session session("ERRORDIALOG=Yes\n");
        std::vector<std::string> shown;
        auto answer = [&](MessageDialog* m) {
            shown.push_back(m->ShownText().toStdString());
            m->OkButton()->click();
        };
        gui_test::AnswerNextDialog(answer);
        RunSystemCommand("to sq :n , output :n * :n , end , print sq");
        gui_test::AnswerNextDialog(answer);
        RunSystemCommand("print sum 1");
        gui_test::AnswerNextDialog(answer);
        RunSystemCommand("print :nosuch");
        QCOMPARE(shown.size(), size_t(3));
        QCOMPARE(shown[0], FormatMessage(ErrorMessages().TextOrKey("NOINPUT"), {"sq", "n"}));
        QCOMPARE(shown[1], FormatMessage(ErrorMessages().TextOrKey("NOINPUT"), {"sum", "b"}));
        QCOMPARE(shown[2], FormatMessage(ErrorMessages().TextOrKey("UNKNOWNVAR"), {"nosuch"}));
    }

    void escapeStopsALongRunWithAStoppedLine()
    {
        Session session;
        SourceWindow* w = newWindow(session.main, "repeat 1e9 [make \"x 1]");
        // Escape in the editor while the program runs (an empty command
        // line would do the same).
        QTimer::singleShot(100, [w] { QTest::keyClick(w->Editor(), Qt::Key_Escape); });
        w->SourceRun();
        QCOMPARE(int(RunState), int(rsStopped));
        QVERIFY(TheOutputWindow()->Text().endsWith(QString::fromStdString(Tr("OUTPUT.STOPPED"))));
        QCOMPARE(session.main.RunStateText(), QString::fromStdString(Tr("STATE.STOPPED")));
        QVERIFY(session.main.windowTitle().endsWith("is STOPPED"));
        // A run that ends by itself reads as finished.
        w->Editor()->setPlainText("make \"x 1");
        w->SourceRun();
        QCOMPARE(session.main.RunStateText(), QString::fromStdString(Tr("STATE.FINISHED")));
        QVERIFY(session.main.windowTitle().endsWith("is FINISHED"));
        // Ctrl+Break stops a command; Escape in a command line with text
        // clears it and lets the command run on.
        QLineEdit* line = TheCommandWindow()->CommandLine();
        QTimer::singleShot(100, [line] {
            line->setText("abc");
            QTest::keyClick(line, Qt::Key_Escape);
            QVERIFY(line->text().isEmpty());
            QVERIFY(IsRunActive(RunState));
            QTest::keyClick(line, Qt::Key_Pause, Qt::ControlModifier);
        });
        QCOMPARE(RunSystemCommand("repeat 1e9 [make \"x 1]"), int(rscRunFailed));
        QVERIFY(LastRunStopped);
    }

    void escapeInADialogOfARunAnswersTheDialogOnly()
    {
        Session session;
        bool focused = false;
        gui_test::AnswerNextDialog([&focused](MessageDialog* m) {
            // The dialog has the keyboard, its edit box is empty: the one
            // place where Escape could be taken for the stop key.
            m->activateWindow();
            m->EditBox()->setFocus();
            focused = QTest::qWaitForWindowActive(m) && QApplication::focusWidget() == m->EditBox();
            m->EditBox()->clear();
            QTest::keyClick(m->EditBox(), Qt::Key_Escape);
            // Had the key stopped the run instead, the dialog would still
            // be open: Cancel ends it so that the test can tell.
            QTimer::singleShot(0, m, [m] {
                if (m->isVisible()) m->CancelButton()->click();
            });
        });
        int result = RunSystemCommand("make \"answer readword , print \"after , print :answer = []");
        QVERIFY2(result == rscRan, qPrintable(TheOutputWindow()->Text()));
        QVERIFY(focused);
        QVERIFY(!LastRunStopped);
        QVERIFY(TheOutputWindow()->Text().endsWith("after \ntrue "));
    }

    void aSkinSwitchRepaintsEarlierOutput()
    {
        Session session;
        TheOutputWindow()->AppendLine("plain line");
        TheOutputWindow()->AppendLine("an error", OutputRole::Error);
        TheOutputWindow()->AppendLine("a command", OutputRole::Echo);
        TheOutputWindow()->Flush();
        pickSkin(session.main, "Midnight");
        QCOMPARE(QString::fromStdString(CurrentSkin().Name), QString("Midnight"));
        QTextDocument* doc = TheOutputWindow()->Editor()->document();
        const SkinColours& c = CurrentSkin().Colours;
        auto colourOf = [doc](int block) { return doc->findBlockByNumber(block).begin().fragment().charFormat().foreground().color(); };
        QCOMPARE(colourOf(0), c.Text);
        QCOMPARE(colourOf(1), c.Error);
        QCOMPARE(colourOf(2), c.Text);
        // On the screen: the plain line's pixels are the light text colour
        // of the dark skin, none of them the dark text of the light one.
        session.main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&session.main));
        QPlainTextEdit* edit = TheOutputWindow()->Editor();
        QRect first = edit->cursorRect(QTextCursor(doc->findBlockByNumber(0)));
        QImage shot = edit->viewport()->grab(QRect(0, first.top(), 120, first.height())).toImage();
        bool light = false;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) light = light || QColor(shot.pixel(x, y)).lightness() > 150;
        QVERIFY(light);
        pickSkin(session.main, "Daylight");
        QCOMPARE(colourOf(0), CurrentSkin().Colours.Text);
    }

    void theEditorsComforts()
    {
        Session session;
        // The main window's keys need it active.
        session.main.show();
        session.main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&session.main));
        int before = int(SourceWindows().size());
        QTest::keyClick(&session.main, Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(int(SourceWindows().size()), before + 1);
        SourceWindow* w = SourceWindows().back();
        // The caption mark shows unsaved changes; the caption stays the name.
        QString name = w->GetCaption();
        QTest::keyClicks(w->Editor(), "to sq :n");
        QCOMPARE(w->ShownCaption(), name + " *");
        QCOMPARE(w->GetCaption(), name);
        // Enter keeps the indent, one level more inside "to".
        QTest::keyClick(w->Editor(), Qt::Key_Return);
        QTest::keyClicks(w->Editor(), "print [a (b)]");
        QTest::keyClick(w->Editor(), Qt::Key_Return);
        QCOMPARE(w->Editor()->toPlainText(), QString("to sq :n\n  print [a (b)]\n  "));
        QCOMPARE(IndentAfter("\tx"), QString("\t"));
        // The bracket at the caret and its partner are highlighted.
        QCOMPARE(MatchingBracket("[a (b)]", 0), 6);
        QCOMPARE(MatchingBracket("[a (b)]", 5), 3);
        QCOMPARE(MatchingBracket("[a (b", 0), -1);
        QTextCursor c = w->Editor()->textCursor();
        c.setPosition(w->Editor()->toPlainText().indexOf('['));
        w->Editor()->setTextCursor(c);
        QCOMPARE(w->Editor()->extraSelections().size(), 2);
        // Undo and redo (Ctrl+Y) through the keys.
        QTest::keyClick(w->Editor(), Qt::Key_Z, Qt::ControlModifier);
        QString undone = w->Editor()->toPlainText();
        QTest::keyClick(w->Editor(), Qt::Key_Y, Qt::ControlModifier);
        QVERIFY(w->Editor()->toPlainText() != undone);
        // Line numbers on by default; the key turns them off everywhere.
        QVERIFY(w->Markers()->LineNumbers());
        QTest::keyClick(w->Editor(), Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(!w->Markers()->LineNumbers());
        QCOMPARE(QString::fromStdString(ConfigValue("SOURCE.LINENUMBERS")), QString("No"));
        w->ToggleLineNumbers();
        // Zoom changes the environment font and keeps its size.
        int size = EnvironmentFont().pointSize();
        QTest::keyClick(&session.main, Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(EnvironmentFont().pointSize(), size + 1);
        QCOMPARE(w->Editor()->font().pointSize(), size + 1);
        QCOMPARE(ConfigInt("FONT.SIZE"), size + 1);
        session.main.Zoom(0);
        QCOMPARE(EnvironmentFont().pointSize(), 10);
        // Find goes round with a note; Replace All replaces every one.
        w->Editor()->setPlainText("x y x y x");
        c.setPosition(8);
        w->Editor()->setTextCursor(c);
        gui_test::AnswerNextDialog([](MessageDialog* m) {
            m->EditBox()->setText("y");
            m->OkButton()->click();
        });
        w->AskFind();
        QCOMPARE(w->Editor()->textCursor().selectionStart(), 2);
        QVERIFY(!w->StatusNote().isEmpty());
        QCOMPARE(w->ReplaceAll("x", "zz"), 3);
        QCOMPARE(w->Editor()->toPlainText(), QString("zz y zz y zz"));
        w->Editor()->undo();
        QCOMPARE(w->Editor()->toPlainText(), QString("x y x y x"));
        // F1 opens the help at the word at the caret.
        w->Editor()->setPlainText("print 1");
        c.setPosition(2);
        w->Editor()->setTextCursor(c);
        QTest::keyClick(w->Editor(), Qt::Key_F1);
        QVERIFY(TheInfoWindow());
        QCOMPARE(TheInfoWindow()->AddressBox()->currentText(), QString("print"));
        w->Editor()->document()->setModified(false);
    }

    void byeClosesTheWindowAsItsCloseButtonDoes()
    {
        Session session;
        SourceWindow* w = newWindow(session.main, "print 1");
        w->Editor()->document()->setModified(true);
        // The run ends first; then the close asks for the changed program.
        bool asked = false;
        gui_test::AnswerNextDialog([&asked](MessageDialog* m) {
            asked = true;
            m->CancelButton()->click();
        });
        RunSystemCommand("bye");
        QTRY_VERIFY(asked);
        QVERIFY(!session.main.Closing());
        gui_test::AnswerNextDialog([](MessageDialog* m) { m->NoButton()->click(); });
        RunSystemCommand("bye");
        QTRY_VERIFY(session.main.Closing());
    }

    void helpOpensTheInfoWindowAtTheTopic()
    {
        Session session;
        QCOMPARE(RunSystemCommand("help \"print"), int(rscRan));
        QVERIFY(TheInfoWindow());
        QCOMPARE(TheInfoWindow()->AddressBox()->currentText(), QString("print"));
        QCOMPARE(RunSystemCommand("help"), int(rscRan));
        QCOMPARE(TheInfoWindow()->AddressBox()->currentText(), QString("help"));
        // A word of another dialect points to the words to use here; a
        // misspelt one to the topics spelt like it.
        QCOMPARE(RunSystemCommand("help \"dotimes"), int(rscRan));
        QTRY_VERIFY(TheInfoWindow()->View()->toPlainText().contains("Other Logo dialects have dotimes"));
        QVERIFY(TheInfoWindow()->View()->toPlainText().contains("here read: repeat for"));
        // UCBLogo's name finds the topic itself.
        QCOMPARE(RunSystemCommand("help \"setpc"), int(rscRan));
        QTRY_VERIFY(TheInfoWindow()->View()->toPlainText().contains("setpencolor: the colour of the trail"));
        QCOMPARE(RunSystemCommand("help \"prnit"), int(rscRan));
        QTRY_VERIFY(TheInfoWindow()->View()->toPlainText().contains("Topics with a similar name: print"));
        // A link to an operator's topic arrives percent-encoded; the page is
        // the topic's, and no escape shows as a name anywhere.
        TheInfoWindow()->Navigate("view://%3E");
        QTRY_VERIFY(TheInfoWindow()->View()->toPlainText().contains("> : greater than"));
        QCOMPARE(RunSystemCommand("help \"pwoer"), int(rscRan));
        QTRY_VERIFY(TheInfoWindow()->View()->toPlainText().contains("Topics with a similar name: power"));
        QVERIFY(!TheInfoWindow()->View()->toPlainText().contains("%"));
        QCOMPARE(ClosestTopics({"print", "repeat", "pi", "butfirst"}, "BUTF"), std::string("butfirst"));
        QCOMPARE(ClosestTopics({"print", "repeat"}, "zzzzzz"), std::string());
        QCOMPARE(DialectTopics("DOTIMES"), std::string("repeat for"));
        QCOMPARE(DialectTopics("setxy"), std::string());
    }

    void fileDialogsStartWhereTheUserKeepsFiles()
    {
        Session session;
        QTemporaryDir documents, last;
        qputenv("XDG_DOCUMENTS_DIR", documents.path().toLocal8Bit());
        ConfigSet("LASTFOLDER", "");
        QCOMPARE(StartFolder(), documents.path());
        ConfigSet("LASTFOLDER", (last.path() + "/gone").toStdString());
        QCOMPARE(StartFolder(), documents.path());
        // A file chosen in a dialog makes its folder the next start.
        QString chosen = last.path() + "/picture.jpg";
        QString shownFolder;
        QTimer::singleShot(0, [&] {
            auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(d);
            shownFolder = d->directory().absolutePath();
            d->selectFile(chosen);
            QMetaObject::invokeMethod(d, "accept");
        });
        QCOMPARE(AskSaveFileName(&session.main, kJpegFilterIndex), chosen);
        QCOMPARE(shownFolder, documents.path());
        QCOMPARE(StartFolder(), last.path());
        qunsetenv("XDG_DOCUMENTS_DIR");
    }

    void oneVersionEverywhere()
    {
        Session session;
        QCOMPARE(session.main.SavedTitle(), QString("Tavro " TAVRO_VERSION));
        QCOMPARE(RunSystemCommand("print version"), int(rscRan));
        QVERIFY(TheOutputWindow()->Text().endsWith("Tavro " TAVRO_VERSION " "));
    }
};

TAVRO_GUI_TEST_MAIN(LearnerTest)
#include "learner_test.moc"
