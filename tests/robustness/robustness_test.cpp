// The robustness suite. Each test function is one category of the faults a
// careful user or an administrator meets; its data rows are the cases.
// Cases marked slow (load, huge files) run only with TAVRO_ROBUSTNESS_SLOW=1.
#include <QtTest>

#include <QFileDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <new>

#include "collector.h"
#include "configuration.h"
#include "configuration_repair.h"
#include "environment_font.h"
#include "gui_fixture.h"
#include "info_window.h"
#include "guarded_application.h"
#include "installation.h"
#include "main_window.h"
#include "memory_limit.h"
#include "message_dialog.h"
#include "output_window.h"
#include "program_files.h"
#include "run_control.h"
#include "plane_window.h"
#include "source_window.h"
#include "syntax_highlighter.h"
#include "tool_window.h"

using namespace tavro;
using namespace tavro::shell;
using namespace tavro::desktop;
namespace fs = std::filesystem;

namespace {

// The resident memory of this process.
long residentKilobytes()
{
    long size = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> size >> resident;
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

bool slowCases() { return std::getenv("TAVRO_ROBUSTNESS_SLOW") != nullptr; }

struct CloseSourceWindows {
    ~CloseSourceWindows()
    {
        for (SourceWindow* s : std::vector<SourceWindow*>(SourceWindows())) {
            s->Editor()->document()->setModified(false);
            delete s;
        }
    }
};

// The texts of the message dialogs shown while `action` runs, each
// answered with OK (or No when `answerNo`).
QStringList messagesDuring(const std::function<void()>& action, bool answerNo = false)
{
    auto shown = std::make_shared<QStringList>();
    auto done = std::make_shared<bool>(false);
    std::function<void()> watch;
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [shown, done, answerNo, poll] {
        if (*done) return;
        if (MessageDialog* m = OpenMessageDialog()) {
            shown->append(m->ShownText());
            if (answerNo && m->NoButton() && m->NoButton()->isVisible()) m->NoButton()->click();
            else m->OkButton()->click();
        }
        QTimer::singleShot(5, *poll);
    };
    QTimer::singleShot(0, *poll);
    action();
    *done = true;
    return *shown;
}

std::string writeConfiguration(const std::string& folder, const std::string& extra = {})
{
    std::string path = folder + "/t.ini";
    // The first line of a key counts: `extra` goes first.
    gui_test::WriteFile(path, extra + "SKIN=Windows\nBUTTONS=Yes\nAUTOSAVE=No\nADVANCEDGUI=Yes\nLIBRARIES=core.tvr,\n"
                                      "OUTPUT=Yes\nCOMMAND=No\nMAXPRINT=4000\n");
    LoadChosenConfiguration({path, true});
    return path;
}

// The main window started with the configuration last loaded, an empty
// memory, and its source windows closed without a question at the end.
struct Started {
    Started()
    {
        main.ApplyConfiguration({});
        Reset();
    }
    MainWindow main;
    CloseSourceWindows closing;
};

void typeText(SourceWindow* w, const QString& text)
{
    w->Editor()->selectAll();
    w->Editor()->insertPlainText(text);
}

// Runs `action` with writes of files larger than `bytes` failing as on a
// full disk ("File too large": the file size limit; the process ignores
// the signal that limit sends).
template <typename Action>
void withFullDisk(size_t bytes, Action action)
{
    struct sigaction ignore {}, old {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &old);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &small);
    action();
    setrlimit(RLIMIT_FSIZE, &saved);
    sigaction(SIGXFSZ, &old, nullptr);
}

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

class ThrowsOnEvent : public QObject {
public:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User) throw std::bad_alloc();
        return QObject::event(e);
    }
};

}  // namespace

// A case not run here (a slow one, or one that root cannot try), counted
// as skipped in the table.
#define SKIP_CASE(why)     \
    do {                   \
        skipped_ = true;   \
        QSKIP(why);        \
    } while (false)

class RobustnessTest : public QObject {
    Q_OBJECT
    struct Tally {
        int cases = 0, passed = 0, skipped = 0;
    };
    std::vector<std::pair<QString, Tally>> tally_;
    bool skipped_ = false;

private slots:
    // Counts each case under its category; the table comes at the end.
    void cleanup()
    {
        QString category = QTest::currentTestFunction();
        if (tally_.empty() || tally_.back().first != category) tally_.push_back({category, {}});
        Tally& t = tally_.back().second;
        ++t.cases;
        if (skipped_) ++t.skipped;
        else if (!QTest::currentTestFailed()) ++t.passed;
        skipped_ = false;
    }
    void cleanupTestCase()
    {
        qInfo("%-20s %6s %7s %8s", "category", "cases", "passed", "skipped");
        for (const auto& [category, t] : tally_)
            qInfo("%-20s %6d %7d %8d", qPrintable(category), t.cases, t.passed, t.skipped);
    }


    // ---- program files: what opens, and what is refused with a reason
    void programFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QString>("reason");
        QTest::newRow("binary") << "binary" << true << "";
        QTest::newRow("empty") << "empty" << true << "";
        QTest::newRow("one long line") << "longline" << true << "";
        QTest::newRow("invalid UTF-8") << "latin1" << true << "";
        QTest::newRow("NUL") << "nul" << true << "";
        QTest::newRow("CR and CRLF") << "crlf" << true << "";
        QTest::newRow("directory") << "directory" << false << "Is a directory";
        QTest::newRow("FIFO") << "fifo" << false << "Not a regular file";
        QTest::newRow("device") << "device" << false << "Not a regular file";
        QTest::newRow("missing") << "missing" << false << "No such file or directory";
        QTest::newRow("symlink loop") << "loop" << false << "Too many levels of symbolic links";
        QTest::newRow("too large") << "huge" << false << "File too large";
        QTest::newRow("unreadable") << "unreadable" << false << "Permission denied";
    }
    void programFiles()
    {
        QFETCH(QString, kind);
        QFETCH(bool, opens);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const std::string folder = dir.path().toStdString();
        writeConfiguration(folder);
        MainWindow main;
        CloseSourceWindows closing;
        main.ApplyConfiguration({});
        std::string file = folder + "/p.tvr";
        QString expected;
        if (kind == "binary") gui_test::WriteFile(file, std::string("\x7f" "ELF\x02\x01\x01\0\0\xff\xfe", 12));
        else if (kind == "empty") gui_test::WriteFile(file, "");
        else if (kind == "longline") gui_test::WriteFile(file, "print \"" + std::string(1 << 20, 'a'));
        else if (kind == "latin1") gui_test::WriteFile(file, "print \"gr\xfc\xdf");
        else if (kind == "nul") gui_test::WriteFile(file, std::string("print 1\0print 2", 15));
        else if (kind == "crlf") gui_test::WriteFile(file, "print 1\r\nprint 2\rprint 3\n");
        else if (kind == "directory") fs::create_directory(file);
        else if (kind == "fifo") ::mkfifo(file.c_str(), 0600);
        else if (kind == "device") file = "/dev/zero";
        else if (kind == "loop") fs::create_symlink(file, file);
        else if (kind == "huge") {
            gui_test::WriteFile(file, "");
            fs::resize_file(file, kLargestReadableFile + 1);  // sparse: no disk taken
        } else if (kind == "unreadable") {
            if (::geteuid() == 0) SKIP_CASE("root reads every file");
            gui_test::WriteFile(file, "print 1");
            ::chmod(file.c_str(), 0200);
        }
        size_t before = SourceWindows().size();
        QStringList shown = messagesDuring([&] { main.OpenProgramFile(file); });
        if (opens) {
            QVERIFY2(shown.isEmpty(), qPrintable(shown.join('|')));
            QCOMPARE(SourceWindows().size(), before + 1);
            SourceWindow* w = SourceWindows().back();
            QVERIFY(!w->IsModified());
            if (kind == "crlf") QCOMPARE(w->Editor()->toPlainText(), QString("print 1\nprint 2\nprint 3"));
            if (kind == "latin1") QCOMPARE(w->Editor()->toPlainText(), QString::fromUtf8("print \"grüß"));
            if (kind == "longline") QCOMPARE(w->Editor()->toPlainText().size(), (1 << 20) + 7);
        } else {
            // Refused with the file and the reason; no empty window.
            QCOMPARE(SourceWindows().size(), before);
            QCOMPARE(shown.size(), 1);
            QVERIFY2(shown[0].contains(QString::fromStdString(file)) && shown[0].contains(reason), qPrintable(shown[0]));
        }
    }

    // ---- saves: a failed write keeps the old file and the unsaved text
    void saves_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("full disk") << "full";
        QTest::newRow("folder deleted") << "folderGone";
        QTest::newRow("changed outside, declined") << "changedNo";
        QTest::newRow("changed outside, overwritten") << "changedOk";
        QTest::newRow("deleted outside") << "deleted";
        QTest::newRow("output window on a full disk") << "output";
        QTest::newRow("configuration on a full disk") << "configuration";
    }
    void saves()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const std::string folder = dir.path().toStdString() + "/work";
        fs::create_directories(folder);
        writeConfiguration(dir.path().toStdString());
        Started started;
        MainWindow& main = started.main;
        const std::string file = folder + "/p.tvr";
        const std::string old = "print \"old\n";
        gui_test::WriteFile(file, old);
        main.OpenProgramFile(file);
        SourceWindow* w = SourceWindows().back();
        typeText(w, "print \"new " + QString(20000, 'x'));
        QStringList shown;
        bool saved = true;
        if (kind == "full") {
            withFullDisk(4096, [&] { shown = messagesDuring([&] { saved = w->Save(); }); });
            QVERIFY(!saved);
            QCOMPARE(gui_test::ReadFile(file), old);
            QVERIFY(w->IsModified());
            QCOMPARE(shown.size(), 1);
            QVERIFY2(shown[0].contains(QString::fromStdString(file)) && shown[0].contains("File too large"), qPrintable(shown[0]));
            QCOMPARE(int(std::distance(fs::directory_iterator(folder), fs::directory_iterator())), 1);
        } else if (kind == "folderGone") {
            fs::remove_all(folder);
            shown = messagesDuring([&] { saved = w->Save(); });
            QVERIFY(!saved);
            QVERIFY(w->IsModified());
            QVERIFY(shown.last().contains("No such file or directory"));
        } else if (kind == "changedNo" || kind == "changedOk") {
            gui_test::WriteFile(file, "print \"theirs\n");
            shown = messagesDuring([&] { saved = w->Save(); }, kind == "changedNo");
            QCOMPARE(shown.size(), 1);
            QVERIFY2(shown[0].contains("changed by another program"), qPrintable(shown[0]));
            if (kind == "changedNo") {
                QVERIFY(!saved);
                QCOMPARE(gui_test::ReadFile(file), std::string("print \"theirs\n"));
                QVERIFY(w->IsModified());
            } else {
                QVERIFY(saved);
                QVERIFY(gui_test::ReadFile(file).find("new") != std::string::npos);
                // Saved here, the file is ours again: no question next time.
                typeText(w, "print 4");
                QVERIFY(messagesDuring([&] { saved = w->Save(); }).isEmpty() && saved);
            }
        } else if (kind == "deleted") {
            // Removed by another program: the save writes it again.
            fs::remove(file);
            shown = messagesDuring([&] { saved = w->Save(); });
            QVERIFY(shown.isEmpty() && saved);
            QVERIFY(gui_test::ReadFile(file).find("new") != std::string::npos);
        } else if (kind == "output") {
            QCOMPARE(RunSystemCommand("repeat 300 [print \"abcdefghijklmnopqrstuvwxyz]"), int(rscRan));
            const std::string target = folder + "/out.txt";
            withFullDisk(1024, [&] {
                shown = messagesDuring([&] {
                    answerFileDialog(QString::fromStdString(target));
                    TheOutputWindow()->SaveOutput();
                });
            });
            QVERIFY(!fs::exists(target));
            QCOMPARE(int(std::distance(fs::directory_iterator(folder), fs::directory_iterator())), 1);
            QVERIFY(!shown.isEmpty() && shown.last().contains("File too large"));
        } else if (kind == "configuration") {
            std::string path = writeConfiguration(dir.path().toStdString(), "AUTOSAVE=Yes\n");
            std::string before = gui_test::ReadFile(path);
            withFullDisk(64, [&] { shown = messagesDuring([&] { main.SaveConfiguration(); }); });
            QCOMPARE(gui_test::ReadFile(path), before);
            QVERIFY2(!shown.isEmpty() && shown.last().contains(QString::fromStdString(path)), qPrintable(shown.join("|")));
        }
    }

    // ---- configuration files: damaged, absurd, missing keys
    void configuration_data()
    {
        QTest::addColumn<QString>("contents");
        QTest::newRow("empty") << "";
        QTest::newRow("garbage") << QString::fromLatin1("\x01\x02\xff\xfe garbage\n=\n==\n");
        QTest::newRow("truncated") << "ENVIRONMENT=English\nSKIN=Day";
        QTest::newRow("malformed numbers") << "MAIN.WIDTH=wide\nFONT.SIZE=big\n";
        QTest::newRow("absurd sizes") << "MAIN.WIDTH=1000000000\nMAIN.HEIGHT=1000000000\nFONT.SIZE=0\n"
                                         "OUTPUT.WIDTH=-5\nOUTPUT.HEIGHT=99999999\nOUTPUT.LEFT=-100000\n";
    }
    void configuration()
    {
        QFETCH(QString, contents);
        QTemporaryDir dir;
        std::string path = dir.path().toStdString() + "/c.ini";
        gui_test::WriteFile(path, contents.toLatin1().toStdString() + "\nAUTOSAVE=Yes\nPLANE=No\n");
        LoadChosenConfiguration({path, true});
        std::vector<std::string> repaired = RepairConfiguration(Folders().Executable + "default.ini");
        // Nothing the environment needs is missing any more.
        QVERIFY(ConfigValue("LIBRARIES").find("core.tvr") != std::string::npos);
        if (QTest::currentDataTag() == QString("empty"))
            QVERIFY(std::find(repaired.begin(), repaired.end(), "LIBRARIES") != repaired.end());
        if (contents.contains("wide")) QCOMPARE(ConfigValue("MAIN.WIDTH"), std::string("1024"));
        {
            MainWindow main;
            CloseSourceWindows closing;
            QStringList shown = messagesDuring([&] { main.ApplyConfiguration({}); });
            QVERIFY2(shown.isEmpty(), qPrintable(shown.join('|')));
            // The start says which keys came from the shipped configuration.
            if (contents.contains("wide")) {
                std::string message = RepairMessage(path, repaired);
                QVERIFY2(message.find("FONT.SIZE") != std::string::npos && message.find(path) != std::string::npos,
                         message.c_str());
            }
            QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
            QVERIFY(main.width() <= screen.width() && main.height() <= screen.height());
            QVERIFY(EnvironmentFont().pointSize() >= kSmallestFontSize);
            // The libraries the configuration lacked are there.
            Reset();
            QCOMPARE(RunSystemCommand("print 1 + 1"), int(rscRan));
            shown = messagesDuring([&] { main.SaveConfiguration(); });
            QVERIFY2(shown.isEmpty(), qPrintable(shown.join('|')));
        }
        // Written back in range.
        LoadChosenConfiguration({path, true});
        QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        for (const char* key : {"MAIN.WIDTH", "OUTPUT.WIDTH"})
            QVERIFY2(ConfigInt(key) >= kSmallestWindowSide && ConfigInt(key) <= screen.width(), key);
        QVERIFY(ConfigInt("OUTPUT.HEIGHT") <= screen.height());
        QVERIFY(ConfigInt("OUTPUT.LEFT") >= -kSmallestWindowSide);
        QVERIFY(ConfigInt("FONT.SIZE") >= kSmallestFontSize && ConfigInt("FONT.SIZE") <= kLargestFontSize);
    }

    // ---- the environment itself: limits, escaped exceptions, start-up
    void environment()
    {
        QTemporaryDir dir;
        const std::string folder = dir.path().toStdString();
        writeConfiguration(folder, "MEMORYLIMIT=300\n");
        Started started;
        // The IDE's ceiling is the configuration's, as the runner's is.
        QCOMPARE(MemoryCeiling(), size_t(300) << 20);
        SetMemoryCeiling(0);

        // An exception escaping an event handler is a message, not the end.
        ThrowsOnEvent thrower;
        int before = GuardedApplication::Reported();
        QStringList shown = messagesDuring([&] {
            QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
            QCoreApplication::processEvents();
        });
        QCOMPARE(GuardedApplication::Reported(), before + 1);
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].contains("Out of memory"), qPrintable(shown[0]));

        // A program named on the command line that cannot be opened says
        // why and opens nothing.
        fs::create_directory(folder + "/dir.tvr");
        for (std::string p : {folder + "/missing.tvr", folder + "/dir.tvr"}) {
            MainWindow other;
            size_t windows = SourceWindows().size();
            shown = messagesDuring([&] { other.ApplyConfiguration({p}); });
            QCOMPARE(shown.size(), 1);
            QVERIFY(shown[0].contains(QString::fromStdString(p)));
            QCOMPARE(SourceWindows().size(), windows);
            QVERIFY(other.StartupProgram().empty());
        }
    }

    // ---- memory: a collection that frees much gives it back
    void memoryGivenBack()
    {
        QTemporaryDir dir;
        writeConfiguration(dir.path().toStdString());
        Started started;
        CollectGarbage();
        const long start = residentKilobytes();
        QCOMPARE(RunSystemCommand("make \"l [] , repeat 400000 [make \"l fput (word \"item repcount) :l]"), int(rscRan));
        const long peak = residentKilobytes();
        QVERIFY2(peak - start > 50000, qPrintable(QString::number(peak - start)));
        QCOMPARE(RunSystemCommand("make \"l []"), int(rscRan));
        CollectGarbage();
        const long after = residentKilobytes();
        // Most of what the list took is the system's again.
        QVERIFY2(after - start < (peak - start) / 3,
                 qPrintable(QString("start %1 peak %2 after %3 kB").arg(start).arg(peak).arg(after)));
    }

    // ---- the installation's own files: skins, languages and help damaged
    void installationFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("damage");
        QTest::newRow("skin colours garbage") << "Images/Skins/Daylight/colors.txt" << "garbage";
        QTest::newRow("skin colours truncated") << "Images/Skins/Daylight/colors.txt" << "truncated";
        QTest::newRow("skin border picture missing") << "Images/Skins/Daylight/t.bmp" << "missing";
        QTest::newRow("skin border picture garbage") << "Images/Skins/Daylight/l.bmp" << "garbage";
        QTest::newRow("skin desktop picture truncated") << "Images/Skins/Daylight/desktop.jpg" << "truncated";
        QTest::newRow("interface texts garbage") << "Languages/English/Environment.txt" << "garbage";
        QTest::newRow("interface texts missing") << "Languages/English/Environment.txt" << "missing";
        QTest::newRow("error messages truncated") << "Languages/English/Errors.txt" << "truncated";
        QTest::newRow("help truncated") << "Help/help.xml" << "truncated";
        QTest::newRow("help garbage") << "Help/help.xml" << "garbage";
        QTest::newRow("help missing") << "Help/help.xml" << "missing";
        QTest::newRow("help folder read-only") << "Help" << "readonly";
    }
    void installationFiles()
    {
        QFETCH(QString, file);
        QFETCH(QString, damage);
        if (damage == "readonly" && ::geteuid() == 0) SKIP_CASE("root writes every folder");
        // A copy of the installation: the programs linked, the data copied.
        QTemporaryDir dir;
        const fs::path root = dir.path().toStdString(), build = TAVRO_BUILD_DIR;
        fs::create_directories(root / "bin");
        for (const auto& e : fs::directory_iterator(build / "bin")) fs::create_symlink(e.path(), root / "bin" / e.path().filename());
        for (const char* folder : {"Images", "Languages", "Help"})
            fs::copy(build / folder, root / folder, fs::copy_options::recursive);
        const fs::path target = root / file.toStdString();
        std::string bytes = gui_test::ReadFile(target.string());
        if (damage == "garbage") gui_test::WriteFile(target.string(), std::string("\xff\xfe\0\x01<<==\n[[\xc3", 12));
        else if (damage == "truncated") gui_test::WriteFile(target.string(), bytes.substr(0, bytes.size() / 3));
        else if (damage == "missing") fs::remove(target);
        else if (damage == "readonly") fs::permissions(target, fs::perms::owner_read | fs::perms::owner_exec);
        struct BackToBuildTree {
            ~BackToBuildTree() { DeriveDesktopFolders(TAVRO_BUILD_DIR "/bin/"); }
        } back;
        DeriveDesktopFolders((root / "bin/").string());
        writeConfiguration(dir.path().toStdString(), "SKIN=Daylight\nENVIRONMENT=English\n");
        QStringList shown;
        {
            MainWindow main;
            CloseSourceWindows closing;
            shown = messagesDuring([&] { main.ApplyConfiguration({}); });
            // The environment works: a command runs, a window opens, the
            // help shows a page or says why it cannot.
            Reset();
            QCOMPARE(RunSystemCommand("print 1 + 1"), int(rscRan));
            QVERIFY(TheOutputWindow()->Text().endsWith("2 "));
            main.NewProgram();
            QVERIFY(SourceWindows().back()->isVisible());
            shown += messagesDuring([&] {
                InfoWindow* web = main.OpenInfo();
                QVERIFY(web);
                web->TimerTick();
                ShowHelpFor("repeat");
                web->TimerTick();
                QVERIFY(!web->View()->toPlainText().trimmed().isEmpty());
                if (file.startsWith("Help/"))
                    QVERIFY2(web->View()->toPlainText().contains("help"), qPrintable(web->View()->toPlainText()));
            });
        }
        if (damage == "readonly") fs::permissions(target, fs::perms::owner_all);
        // A damaged skin is named (damaged colours: the plain look takes its
        // place; a missing or unreadable picture: the skin is shown without
        // it; a truncated picture shows what it holds); other damage shows
        // in what is missing, never as a failed start.
        if (file.endsWith("colors.txt") || (file.startsWith("Images/Skins/") && damage != "truncated")) {
            QCOMPARE(shown.size(), 1);
            QVERIFY2(shown[0].contains(QString::fromStdString(target.filename().string())), qPrintable(shown[0]));
        } else {
            QVERIFY2(shown.isEmpty(), qPrintable(shown.join('|')));
        }
    }

    // ---- help pages with links that lead elsewhere
    void foreignHelpLinks_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<bool>("toBrowser");
        QTest::addColumn<QString>("says");  // in a message, or on the page shown
        QTest::newRow("web page") << "http://example.org/x" << true << "";
        QTest::newRow("mail") << "mailto:someone@example.org" << true << "";
        QTest::newRow("missing topic") << "view://nosuchtopic" << false << "No topic named nosuchtopic";
        QTest::newRow("javascript") << "javascript:alert(1)" << false << "is not opened";
        QTest::newRow("local file") << "file:///etc/passwd" << false << "is not opened";
        QTest::newRow("other scheme") << "foo-handler://run?x=1" << false << "is not opened";
        QTest::newRow("res") << "res://ieframe.dll/navcancl.htm" << false << "";
    }
    void foreignHelpLinks()
    {
        QFETCH(QString, link);
        QFETCH(bool, toBrowser);
        QFETCH(QString, says);
        QTemporaryDir dir;
        writeConfiguration(dir.path().toStdString());
        Started started;
        MainWindow& main = started.main;
        std::vector<std::string> browsed;
        SetWebAddressHandler([&](const std::string& a) { browsed.push_back(a); });
        InfoWindow* web = main.OpenInfo();
        web->TimerTick();
        const QString before = TheOutputWindow()->Text();
        QStringList shown = messagesDuring([&] {
            web->View()->ShowPage("<p><a href=\"" + link + "\">there</a></p>", true);
            QTextCursor c(web->View()->document());
            c.setPosition(1);
            QTest::mouseClick(web->View()->viewport(), Qt::LeftButton, {}, web->View()->cursorRect(c).center());
            if (web->Timer().isActive()) web->TimerTick();
        });
        SetWebAddressHandler({});
        // Nothing runs; only web pages go to the browser; the rest is
        // refused with the link named.
        QCOMPARE(TheOutputWindow()->Text(), before);
        QCOMPARE(browsed.size(), size_t(toBrowser ? 1 : 0));
        if (says == "is not opened") {
            QCOMPARE(shown.size(), 1);
            QVERIFY2(shown[0].contains(link) && shown[0].contains(says), qPrintable(shown[0]));
        } else {
            QVERIFY2(shown.isEmpty(), qPrintable(shown.join('|')));
            QVERIFY(web->View()->toPlainText().contains(says));
        }
    }

    // ---- event storms: thousands of queued events, widgets made and dropped
    void eventStorms_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("5,000 keys queued during a run") << "keys";
        QTest::newRow("5,000 mouse events on the plane during a run") << "mouse";
        QTest::newRow("3,000 widgets made and dropped") << "widgets";
    }
    void eventStorms()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        writeConfiguration(dir.path().toStdString(), "LIBRARIES=core.tvr,graphics.tvr,gui.tvr,\n");
        Started started;
        if (kind == "keys") {
            // Typed ahead while a program runs: every key lands, in order.
            started.main.NewProgram();
            QPlainTextEdit* editor = SourceWindows().back()->Editor();
            editor->setFocus();
            QString typed;
            for (int i = 0; i < 5000; ++i) {
                QChar c = QChar('a' + i % 26);
                typed += c;
                QCoreApplication::postEvent(editor, new QKeyEvent(QEvent::KeyPress, Qt::Key_A + i % 26, {}, c));
                QCoreApplication::postEvent(editor, new QKeyEvent(QEvent::KeyRelease, Qt::Key_A + i % 26, {}, c));
            }
            QCOMPARE(RunSystemCommand("repeat 100000 [make \"x repcount]"), int(rscRan));
            QCoreApplication::processEvents();
            QCOMPARE(editor->toPlainText(), typed);
        } else if (kind == "mouse") {
            QCOMPARE(RunSystemCommand("button \"b \"ok 10 10 40 20"), int(rscRan));
            QWidget* view = ThePlaneWindow()->View();
            for (int i = 0; i < 1250; ++i) {
                QPointF at(5 + i % 200, 5 + i % 150);
                for (QEvent::Type t : {QEvent::MouseMove, QEvent::MouseButtonPress, QEvent::MouseMove,
                                       QEvent::MouseButtonRelease})
                    QCoreApplication::postEvent(view, new QMouseEvent(t, at, view->mapToGlobal(at), Qt::LeftButton,
                                                                      t == QEvent::MouseButtonRelease ? Qt::NoButton
                                                                                                      : Qt::LeftButton,
                                                                      {}));
            }
            QCOMPARE(RunSystemCommand("repeat 100000 [make \"x repcount] , print \"done"), int(rscRan));
            QCoreApplication::processEvents();
            QVERIFY(TheOutputWindow()->Text().endsWith("done "));
        } else {
            QCOMPARE(RunSystemCommand("repeat 3000 [button \"b \"ok 0 0 20 20 , erase \"b] , print \"done"), int(rscRan));
            CollectGarbage();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY(TheOutputWindow()->Text().endsWith("done "));
            // The dropped widgets went with their atoms.
            QVERIFY(ThePlaneWindow()->View()->findChildren<QPushButton*>().size() < 100);
        }
    }

    // ---- big text: proportional, never frozen
    void bigText_data()
    {
        QTest::addColumn<int>("maxPrint");
        QTest::addColumn<int>("doublings");
        QTest::newRow("1 MB word, cut") << 4000 << 20;
        QTest::newRow("1 MB word, whole") << 0 << 20;
        QTest::newRow("8 MB word, whole (slow)") << 0 << 23;
    }
    void bigText()
    {
        QFETCH(int, maxPrint);
        QFETCH(int, doublings);
        if (doublings > 20 && !slowCases()) SKIP_CASE("slow case: TAVRO_ROBUSTNESS_SLOW=1");
        QTemporaryDir dir;
        writeConfiguration(dir.path().toStdString(), "MAXPRINT=" + std::to_string(maxPrint) + "\n");
        Started started;
        QCOMPARE(RunSystemCommand("make \"w \"a"), int(rscRan));
        QCOMPARE(RunSystemCommand("print :w"), int(rscRan));
        std::string command = "repeat " + std::to_string(doublings) + " [make \"w word :w :w] , print :w , print \"done";
        QCOMPARE(RunSystemCommand(command), int(rscRan));
        OutputWindow* out = TheOutputWindow();
        QStringList lines = out->Text().split('\n');
        QCOMPARE(lines.last(), QString("done "));
        // Printed words end with a blank.
        qsizetype expected = maxPrint > 0 ? maxPrint + 3 : (qsizetype(1) << doublings) + 1;
        QCOMPARE(lines[lines.size() - 2].size(), expected);
    }

    // ---- load: many lines, many windows, many widgets, one long line
    void load_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("count");
        QTest::newRow("200 source windows at start") << "windows" << 200;
        QTest::newRow("1,000 source windows at start (slow)") << "windows" << 1000;
        QTest::newRow("2,000 widgets") << "widgets" << 2000;
        QTest::newRow("10,000 widgets (slow)") << "widgets" << 10000;
        QTest::newRow("one line of 1 MB") << "longline" << 1;
        QTest::newRow("one line of 5 MB (slow)") << "longline" << 5;
        QTest::newRow("1,000,000 output lines (slow)") << "lines" << 1000000;
    }
    void load()
    {
        QFETCH(QString, kind);
        QFETCH(int, count);
        if (QString(QTest::currentDataTag()).endsWith("(slow)") && !slowCases())
            SKIP_CASE("slow case: TAVRO_ROBUSTNESS_SLOW=1");
        QTemporaryDir dir;
        const std::string folder = dir.path().toStdString();
        std::string extra;
        if (kind == "windows") {
            extra = "USERS=" + std::to_string(count) + "\n";
            for (int i = 1; i <= count; ++i) {
                std::string file = folder + "/p" + std::to_string(i) + ".tvr";
                gui_test::WriteFile(file, "print " + std::to_string(i));
                std::string key = "USER" + std::to_string(i);
                extra += key + ".FILENAME=" + file + "\n" + key + ".LEFT=" + std::to_string(i % 97) + "\n" + key +
                         ".TOP=" + std::to_string(i % 89) + "\n" + key + ".WIDTH=300\n" + key + ".HEIGHT=200\n";
            }
        }
        writeConfiguration(folder, extra + "LIBRARIES=core.tvr,graphics.tvr,gui.tvr,\n");
        Started started;
        MainWindow& main = started.main;
        if (kind == "windows") {
            // Every saved window is open and shown at its saved place, the
            // last one in front.
            QCOMPARE(int(SourceWindows().size()), count);
            for (int i = 0; i < count; i += count / 10) {
                SourceWindow* w = SourceWindows()[size_t(i)];
                QVERIFY(w->isVisible());
                QCOMPARE(w->geometry().topLeft(), QPoint((i + 1) % 97, (i + 1) % 89));
                QCOMPARE(w->Editor()->toPlainText(), "print " + QString::number(i + 1));
            }
            QCOMPARE(CurrentSourceWindow(), static_cast<ToolWindow*>(SourceWindows().back()));
        } else if (kind == "widgets") {
            std::string command = "repeat " + std::to_string(count) +
                                  " [button word \"b repcount \"ok (remainder (repcount) 40) * 20 int (repcount) / 40 20 20]";
            QCOMPARE(RunSystemCommand(command), int(rscRan));
            QVERIFY(ThePlaneWindow());
            QCOMPARE(int(ThePlaneWindow()->View()->findChildren<QPushButton*>(Qt::FindDirectChildrenOnly).size()), count);
            // The last one answers.
            QCOMPARE(RunSystemCommand("print gettext \"b" + std::to_string(count)), int(rscRan));
            QVERIFY(TheOutputWindow()->Text().endsWith("ok "));
        } else if (kind == "longline") {
            // A line past the coloured length stays plain: a key typed into
            // it colours nothing, the short lines around it are coloured.
            std::string file = folder + "/long.tvr";
            std::string text = "print 1\nprint \"";
            while (text.size() < size_t(count) << 20) text += "abc+12 [x] ";
            text += "\nprint 2";
            gui_test::WriteFile(file, text);
            main.OpenProgramFile(file);
            SourceWindow* w = SourceWindows().back();
            QTextDocument* doc = w->Editor()->document();
            QCOMPARE(doc->blockCount(), 3);
            QVERIFY(ColourFormatAt(doc, 0).hasProperty(QTextFormat::FontWeight));  // "print" in bold
            QVERIFY(!ColourFormatAt(doc, doc->findBlockByNumber(1).position()).hasProperty(QTextFormat::FontWeight));
            QVERIFY(ColourFormatAt(doc, doc->findBlockByNumber(2).position()).hasProperty(QTextFormat::FontWeight));
            long long before = w->Highlighter()->LinesColoured();
            QTextCursor c(doc->findBlockByNumber(1));
            c.movePosition(QTextCursor::EndOfBlock);
            w->Editor()->setTextCursor(c);
            QTest::keyClicks(w->Editor(), "ab");
            QCOMPARE(w->Highlighter()->LinesColoured() - before, 2);  // the long line each time, nothing after it
            QVERIFY(!ColourFormatAt(doc, doc->findBlockByNumber(1).position()).hasProperty(QTextFormat::FontWeight));
            QVERIFY(w->IsModified());
            // A key lays the long line out once: it keeps its glyphs and is
            // not shaped; the short lines keep Qt's defaults.
            QVERIFY(doc->findBlockByNumber(1).layout()->cacheEnabled());
            QVERIFY(!doc->findBlockByNumber(0).layout()->cacheEnabled());
            QCOMPARE(w->Editor()->font().styleStrategy() & QFont::PreferNoShaping, QFont::PreferNoShaping);
            // An ordinary program is shaped until a long line is pasted in.
            main.NewProgram();
            SourceWindow* other = SourceWindows().back();
            QVERIFY(other != w);
            QTextCursor at(other->Editor()->document());
            at.insertText("print 1\n");
            QCoreApplication::processEvents();
            QCOMPARE(other->Editor()->font().styleStrategy() & QFont::PreferNoShaping, 0);
            at.insertText(QString(kLongestColouredLine + 1, 'a'));
            QCoreApplication::processEvents();
            QCOMPARE(other->Editor()->font().styleStrategy() & QFont::PreferNoShaping, QFont::PreferNoShaping);
            QVERIFY(other->Editor()->document()->findBlockByNumber(1).layout()->cacheEnabled());
            QCOMPARE(other->Editor()->font().family(), w->Editor()->font().family());
        } else if (kind == "lines") {
            QCOMPARE(RunSystemCommand("repeat " + std::to_string(count) + " [print repcount]"), int(rscRan));
            QVERIFY(TheOutputWindow()->Text().endsWith(QString::number(count) + " "));
        }
    }
};

int main(int argc, char** argv)
{
    tavro::shell::EnsureLargeStack(argv);
    gui_test::ChoosePlatform();
    GuardedApplication app(argc, argv);
    gui_test::UseBuildTree();
    RobustnessTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "robustness_test.moc"
