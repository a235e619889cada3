// Running out of memory in the environment: the run ends with the error,
// the windows stay usable and unsaved programs can still be saved; and when
// the process dies anyway, the unsaved programs come back at the next start.
#include <QtTest>

#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <csignal>
#include <cstdio>
#include <signal.h>
#include <functional>

#include "crash_recovery.h"
#include "ending_signals.h"
#include "errors.h"
#include "gui_fixture.h"
#include "languages.h"
#include "main_window.h"
#include "memory_limit.h"
#include "message_dialog.h"
#include "output_window.h"
#include "program_files.h"
#include "run_control.h"
#include "source_window.h"

using namespace tavro;
using namespace tavro::shell;
using namespace tavro::desktop;

namespace {

constexpr const char* kCrashChild = "--crash-with-an-unsaved-program";
constexpr const char* kEndingChild = "--wait-for-an-ending-signal";

// Replaces the text as typing would: the window counts it as a change.
void typeText(SourceWindow* w, const QString& text)
{
    w->Editor()->selectAll();
    w->Editor()->insertPlainText(text);
}

void answerNextDialog(std::function<void(MessageDialog*)> answer)
{
    QTimer::singleShot(0, [answer] {
        if (MessageDialog* m = OpenMessageDialog()) answer(m);
        else answerNextDialog(answer);
    });
}

// Closes every source window without a question when a test ends, passed
// or failed.
struct CloseSourceWindows {
    ~CloseSourceWindows()
    {
        for (SourceWindow* s : std::vector<SourceWindow*>(SourceWindows())) {
            s->Editor()->document()->setModified(false);
            delete s;
        }
    }
};

std::string writeConfiguration(const std::string& folder)
{
    std::string path = folder + "/t.ini";
    gui_test::WriteFile(path, "SKIN=Windows\nBUTTONS=Yes\nAUTOSAVE=No\nADVANCEDGUI=Yes\nLIBRARIES=core.tvr,\n"
                              "OUTPUT=Yes\nCOMMAND=No\n");
    LoadChosenConfiguration({path, true});
    return path;
}

// The child process of the crash test: an unsaved new program and a
// program changed since it was loaded, then a fatal signal (or, with
// `ending`, the environment waiting for an ending signal).
//
// The ending signals come while the environment is idle ("idle"), while a
// program runs ("run"), while a stepped program is paused ("pause") or
// while a run's dialog is open ("dialog"); "ready" is written once it is
// so.
int crashWithUnsavedPrograms(const std::string& folder, bool ending = false, const std::string& when = "idle")
{
    writeConfiguration(folder);
    MainWindow main;
    main.ApplyConfiguration({});
    typeText(OpenSourceWindow(QRect(0, 0, 300, 200), {}), "print \"unsaved");
    std::string saved = folder + "/saved.tvr";
    gui_test::WriteFile(saved, "print 1");
    SourceWindow* changed = OpenSourceWindow(QRect(0, 0, 300, 200), saved);
    typeText(changed, QString::fromUtf8("print 2\nprint \"ä\n"));
    InstallCrashRecovery();
    if (ending) {
        InstallEndingSignals([&main] { main.close(); });
        main.show();
        auto ready = [] {
            std::printf("ready\n");
            std::fflush(stdout);
        };
        if (when == "idle") {
            ready();
            return QApplication::exec();
        }
        QTimer::singleShot(0, [&, ready] {
            // The nested loop of the run, the pause or the dialog shows it.
            QTimer::singleShot(100, ready);
            if (when == "run") RunSystemCommand("repeat 1e9 [make \"x 1]");
            else if (when == "pause") changed->SourceRunStep();
            else if (when == "dialog") RunSystemCommand("make \"answer readword");
        });
        return QApplication::exec();
    }
    std::raise(SIGSEGV);
    return 0;
}

}  // namespace

class RecoveryTest : public QObject {
    Q_OBJECT
private slots:
    void anExhaustedRunLeavesTheWindowsUsableAndTheProgramSavable()
    {
        QTemporaryDir dir;
        writeConfiguration(dir.path().toStdString());
        MainWindow main;
        CloseSourceWindows closing;
        main.ApplyConfiguration({});
        Reset();
        std::string file = dir.path().toStdString() + "/mine.tvr";
        gui_test::WriteFile(file, "print 1");
        main.OpenProgramFile(file);
        SourceWindow* w = SourceWindows().back();
        typeText(w, "print \"kept");
        QVERIFY(w->IsModified());

        // A small ceiling, and a global list that still fills it after the
        // error: the environment works on in the margin above it.
        SetMemoryCeiling(size_t(48) << 20);
        QCOMPARE(RunSystemCommand("make \"l [] , while \"true [make \"l fput 1 :l]"), int(rscRunFailed));
        // The error is in the transcript (a typed command opens no dialog).
        QString shown = TheOutputWindow()->Text().split('\n').last();
        QVERIFY2(shown.startsWith(QString::fromStdString(ErrorFormat("OUTOFMEMORY"))), qPrintable(shown));

        QCOMPARE(RunSystemCommand("print \"after"), int(rscRan));
        QVERIFY(TheOutputWindow()->Text().contains("after"));
        QVERIFY(w->Save());
        QCOMPARE(gui_test::ReadFile(file), std::string("print \"kept\n"));
        QVERIFY(!w->IsModified());

        // Letting the list go gives its room back to the next program.
        QCOMPARE(RunSystemCommand("make \"l []"), int(rscRan));
        QCOMPARE(RunSystemCommand("make \"k [] , repeat 100000 [make \"k fput 1 :k] , print count :k"), int(rscRan));
        QVERIFY(TheOutputWindow()->Text().contains("100000"));
        SetMemoryCeiling(0);
    }

    // A logout (SIGTERM), Ctrl+C (SIGINT) and a closed terminal (SIGHUP):
    // the recovery file is written at once, the environment then closes as
    // the close button does (here it waits with the question about the
    // changed programs), and a second signal ends it.
    // The same signal while a program runs, while a stepped program is
    // paused and while a run's dialog waits: the recovery file is written
    // at once and the environment ends (closing as its close button does,
    // or at the second signal).
    void theEndingSignalsKeepUnsavedProgramsDuringARun_data()
    {
        QTest::addColumn<QString>("when");
        QTest::addColumn<int>("signal");
        QTest::newRow("run, SIGTERM") << "run" << SIGTERM;
        QTest::newRow("run, SIGINT") << "run" << SIGINT;
        QTest::newRow("pause, SIGTERM") << "pause" << SIGTERM;
        QTest::newRow("pause, SIGHUP") << "pause" << SIGHUP;
        QTest::newRow("dialog, SIGTERM") << "dialog" << SIGTERM;
    }
    void theEndingSignalsKeepUnsavedProgramsDuringARun()
    {
        QFETCH(QString, when);
        QFETCH(int, signal);
        QTemporaryDir dir;
        const QString recovery = dir.path() + "/tavro-recovery.txt";
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {kEndingChild, dir.path(), when});
        QVERIFY(child.waitForReadyRead(60000));
        QVERIFY(child.readAll().contains("ready"));
        ::kill(pid_t(child.processId()), signal);
        for (int i = 0; i < 600 && !QFile::exists(recovery); ++i) child.waitForFinished(100);
        QVERIFY2(QFile::exists(recovery), "written at the first signal");
        if (!child.waitForFinished(2000)) {
            ::kill(pid_t(child.processId()), signal);
            QVERIFY(child.waitForFinished(60000));
        }
        QCOMPARE(int(ReadRecoveryFile(recovery.toStdString()).size()), 2);
    }

    void theEndingSignalsKeepUnsavedPrograms()
    {
        for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
            QTemporaryDir dir;
            const QString recovery = dir.path() + "/tavro-recovery.txt";
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(), {kEndingChild, dir.path()});
            QVERIFY(child.waitForReadyRead(60000));
            QVERIFY(child.readAll().contains("ready"));
            ::kill(pid_t(child.processId()), signal);
            for (int i = 0; i < 600 && !QFile::exists(recovery); ++i) child.waitForFinished(100);
            QVERIFY2(QFile::exists(recovery), "written at the first signal");
            QCOMPARE(child.state(), QProcess::Running);  // asking about the changes
            ::kill(pid_t(child.processId()), signal);
            QVERIFY(child.waitForFinished(60000));
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);
            QCOMPARE(int(ReadRecoveryFile(recovery.toStdString()).size()), 2);
        }
    }

    void aCrashKeepsUnsavedProgramsForTheNextStart()
    {
        QTemporaryDir dir;
        const std::string folder = dir.path().toStdString();
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {kCrashChild, dir.path()});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        writeConfiguration(folder);
        const std::string recovery = RecoveryFilePath();
        QCOMPARE(recovery, folder + "/tavro-recovery.txt");
        std::vector<RecoveredProgram> kept = ReadRecoveryFile(recovery);
        QCOMPARE(int(kept.size()), 2);

        MainWindow main;
        CloseSourceWindows closing;
        main.ApplyConfiguration({});
        size_t before = SourceWindows().size();
        QString question;
        answerNextDialog([&](MessageDialog* m) {
            question = m->ShownText();
            m->OkButton()->click();
        });
        QCOMPARE(OfferRecovery(), 2);
        QVERIFY(question.contains("saved.tvr"));
        QCOMPARE(SourceWindows().size(), before + 2);
        SourceWindow* changed = SourceWindows().back();
        QCOMPARE(changed->FileName(), folder + "/saved.tvr");
        QCOMPARE(changed->Editor()->toPlainText(), QString::fromUtf8("print 2\nprint \"ä\n"));
        QVERIFY(changed->IsModified());
        QCOMPARE(SourceWindows()[before]->Editor()->toPlainText(), QString("print \"unsaved"));
        // The file stays until the recovered programs are saved or given
        // up: a crash in between offers them again.
        QVERIFY(QFile::exists(QString::fromStdString(recovery)));
        QVERIFY(changed->Save());
        QCoreApplication::processEvents();
        QCOMPARE(int(ReadRecoveryFile(recovery).size()), 1);
        SourceWindows()[before]->Editor()->document()->setModified(false);
        QCoreApplication::processEvents();
        QVERIFY(!QFile::exists(QString::fromStdString(recovery)));
        QCOMPARE(OfferRecovery(), 0);
        // Declined, the programs are not offered again.
        QVERIFY(WriteRecoveryFile(recovery) == 0);
        typeText(changed, "print 3");
        QCOMPARE(WriteRecoveryFile(recovery), 1);
        answerNextDialog([](MessageDialog* m) { m->NoButton()->click(); });
        QCOMPARE(OfferRecovery(), 0);
        QVERIFY(!QFile::exists(QString::fromStdString(recovery)));
        // A damaged file gives what it holds whole and nothing else.
        gui_test::WriteFile(recovery, "TAVRO RECOVERY 1\nFILE \nCAPTION a\nSIZE 3\nabc\nFILE x\nCAPTION b\nSIZE 99\nshort\n");
        kept = ReadRecoveryFile(recovery);
        QCOMPARE(int(kept.size()), 1);
        QCOMPARE(kept[0].text, std::string("abc"));
    }
};

int main(int argc, char** argv)
{
    tavro::shell::EnsureLargeStack(argv);
    gui_test::ChoosePlatform();
    QApplication app(argc, argv);
    gui_test::UseBuildTree();
    if (argc == 3 && std::string(argv[1]) == kCrashChild) return crashWithUnsavedPrograms(argv[2]);
    if (argc >= 3 && std::string(argv[1]) == kEndingChild)
        return crashWithUnsavedPrograms(argv[2], true, argc > 3 ? argv[3] : "idle");
    RecoveryTest test;
    return QTest::qExec(&test, 1, argv);
}

#include "recovery_test.moc"
