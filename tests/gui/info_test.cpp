// The info window: link decoding and address rules, the value files (their
// exact contents, and the per-user folder when the help folder cannot be
// written), the address box, and links followed with a real mouse click:
// exec:// runs and echoes, copy:// copies, and neither acts on a page that
// is not the local help.
#include <QtTest>

#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <filesystem>

#include "configuration.h"
#include "gui_fixture.h"
#include "help_values.h"
#include "info_window.h"
#include "link_text.h"
#include "main_window.h"
#include "output_window.h"
#include "skin.h"
#include "structure.h"

using namespace tavro;
using namespace tavro::shell;
using namespace tavro::desktop;
namespace fs = std::filesystem;

namespace {

void writeConfiguration(const QTemporaryDir& dir, const std::string& extra = {})
{
    std::string path = dir.path().toStdString() + "/t.ini";
    gui_test::WriteFile(path, "SKIN=Windows\nADVANCEDGUI=Yes\nAUTOSAVE=No\nLIBRARIES=core.tvr,\nOUTPUT=Yes\n"
                              "FONT.NAME=DejaVu Sans\nFONT.SIZE=10\n" + extra);
    LoadChosenConfiguration({path, true});
}

// Clicks the first link of the page shown.
void clickFirstLink(HelpView* view)
{
    QTextCursor c(view->document());
    c.setPosition(1);
    QPoint p = view->cursorRect(c).center();
    QVERIFY(!view->RawLinkAt(p).isEmpty());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, p);
}

std::string value(InfoWindow* web, const char* file) { return ReadHelpValue(web->ValueFolder(), file); }

}  // namespace

class InfoTest : public QObject {
    Q_OBJECT
private slots:
    void linkTextAndAddresses()
    {
        // The table example: the last piece gets no tag handling.
        QCOMPARE(DecodeLinkText("<TABLE>x<br />y<br />z"), std::string("    x\r    y\rz"));
        QCOMPARE(DecodeLinkText("print%201"), std::string("\rprint 1"));
        QCOMPARE(DecodeLinkText("to%20sq%20:x<br /><TABLE>output%20:x%20*%20:x<br />end"),
                 std::string("to sq :x\r    output :x * :x\rend"));
        QCOMPARE(DecodeLinkText("<B>a</B><br />  <TR><TD>b</TD></TR>  "), std::string("a\rb"));
        QCOMPARE(DecodeLinkText("<TABLE><TABLE> a<br /></TABLE>b<br />c"), std::string("        a\r    b\rc"));

        QCOMPARE(LinkArgument("  view://repeat/ "), std::string("repeat"));
        QCOMPARE(LinkArgument("exec://print%201"), std::string("print%201"));
        QCOMPARE(LinkArgument("view://"), std::string());
        QCOMPARE(LinkArgument("copy:// "), std::string());
        QCOMPARE(PercentDecoded("%5E %3e 100%"), std::string("^ > 100%"));
        QCOMPARE(PercentDecoded("%zz%4"), std::string("%zz%4"));
        QVERIFY(SchemeOf("view://res://x") == LinkScheme::Refused);
        QVERIFY(SchemeOf("VIEW://BACK") == LinkScheme::View);
        QVERIFY(SchemeOf("exec://print 1") == LinkScheme::Exec);
        QVERIFY(SchemeOf("https://example.org/") == LinkScheme::Other);
        QCOMPARE(AddressForTyped("repeat"), std::string("view://repeat"));
        QCOMPARE(AddressForTyped("https://example.org"), std::string("https://example.org"));
    }

    void valueFilesAndTheirFolder()
    {
        QCOMPARE(HtmlColour(QColor(255, 255, 255)), std::string("#FFFFFF"));
        QCOMPARE(HtmlColour(QColor(0, 0, 128)), std::string("#000080"));
        QFont ten("DejaVu Sans");
        ten.setPointSize(10);
        QCOMPARE(FontHeightValue(ten, 96), -13);
        QFont pixels("DejaVu Sans");
        pixels.setPixelSize(15);
        QCOMPARE(FontHeightValue(pixels, 96), -15);

        QTemporaryDir dir;
        std::string help = dir.path().toStdString() + "/Help/", user = dir.path().toStdString() + "/user/";
        fs::create_directories(help);
        HelpValueFiles files(help, user);
        files.WriteTopic("repeat");
        QCOMPARE(files.Folder(), help);
        QCOMPARE(gui_test::ReadFile(help + kTopicFilterFile), std::string("repeat"));
        QCOMPARE(gui_test::ReadFile(help + kMainFilterFile), std::string("*[name='repeat']"));

        // A help folder that refuses a file: every value moves to the
        // user's folder, the stale one in the help folder is left behind.
        fs::remove(help + kTopicFilterFile);
        fs::create_directory(help + kTopicFilterFile);
        files.WriteTopic("while");
        QVERIFY(files.InUserFolder());
        QCOMPARE(files.Folder(), user);
        QCOMPARE(gui_test::ReadFile(user + kTopicFilterFile), std::string("while"));
        QCOMPARE(gui_test::ReadFile(user + kMainFilterFile), std::string("*[name='while']"));
    }

    void addressBoxOpensTopicsAndHandsWebAddressesOn()
    {
        QTemporaryDir dir;
        writeConfiguration(dir);
        MainWindow main;
        main.ApplyConfiguration({});
        std::vector<std::string> browsed;
        SetWebAddressHandler([&](const std::string& a) { browsed.push_back(a); });
        InfoWindow* web = main.OpenInfo();
        QVERIFY(web && TheInfoWindow() == web);
        // The style files from the plain skin and the font.
        QCOMPARE(value(web, kBackgroundColorFile), std::string("#FFFFFF"));
        QCOMPARE(value(web, kLinkColorFile), std::string("#000080"));
        QCOMPARE(value(web, kFontFamilyFile), std::string("DejaVu Sans"));
        QVERIFY(std::stoi(value(web, kFontSizeFile)) < 0);
        // Opening shows the start page one timer tick later.
        QCOMPARE(web->PendingAddress(), web->HelpPageAddress());
        web->TimerTick();
        QVERIFY(web->View()->toPlainText().contains("First steps with Tavro"));

        // Typed as a user types: into the box, which has the focus.
        QLineEdit* box = web->AddressBox()->lineEdit();
        box->clear();
        QTest::keyClicks(web->AddressBox(), "repeat");
        QTest::keyClick(web->AddressBox(), Qt::Key_Return);
        QCOMPARE(value(web, kTopicFilterFile), std::string("repeat"));
        QCOMPARE(value(web, kMainFilterFile), std::string("*[name='repeat']"));
        QCOMPARE(web->PendingAddress(), web->HelpPageAddress());
        QVERIFY(web->Timer().isActive());
        QVERIFY(!web->View()->toPlainText().contains("run a list several times"));
        web->TimerTick();
        QVERIFY(web->View()->toPlainText().contains("repeat: run a list several times"));
        QCOMPARE(web->AddressBox()->itemText(0), QString("repeat"));
        QCOMPARE(box->selectedText(), QString("repeat"));

        // A web address goes to the desktop's browser and is shown in the box.
        box->clear();
        QTest::keyClicks(box, "https://example.org/page");
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(browsed, std::vector<std::string>({"https://example.org/page"}));
        QCOMPARE(web->AddressBox()->currentText(), QString("https://example.org/page"));
        QVERIFY(web->View()->toPlainText().contains("repeat: run a list several times"));
        QCOMPARE(web->AddressBox()->count(), 2);  // each Enter adds to the list

        // Empty private addresses and res:// do nothing.
        web->Navigate("view://");
        web->Navigate("res://ieframe.dll/navcancl.htm");
        QVERIFY(!web->Timer().isActive());
        QCOMPARE(browsed.size(), size_t(1));

        // The source editor's help entry.
        ShowHelpFor("sum");
        web->TimerTick();
        QVERIFY(web->View()->toPlainText().contains("sum"));
        QCOMPARE(web->AddressBox()->currentText(), QString("sum"));
        SetWebAddressHandler({});
    }

    void linksRunCopyAndActOnlyOnTheLocalHelp()
    {
        QTemporaryDir dir;
        writeConfiguration(dir);
        MainWindow main;
        main.ApplyConfiguration({});
        main.RunDeferredWork();
        InfoWindow* web = main.OpenInfo();
        web->TimerTick();
        OutputWindow* out = TheOutputWindow();
        QVERIFY(out);
        HelpView* view = web->View();

        // exec://print%201: a URL parser would reject it; the raw target
        // runs "print 1" after echoing it in bold.
        view->ShowPage("<p><a href=\"exec://print%201\">Run</a></p>", true);
        clickFirstLink(view);
        QStringList lines = out->Text().split('\n');
        QVERIFY(lines.size() >= 2);
        QCOMPARE(lines[lines.size() - 2], QString("print 1"));
        QCOMPARE(lines.last(), QString("1 "));
        QTextBlock echo = out->Editor()->document()->findBlockByNumber(int(lines.size()) - 2);
        QCOMPARE(echo.begin().fragment().charFormat().fontWeight(), int(QFont::Bold));

        // copy:// with an indented line; the last line takes no tags.
        QGuiApplication::clipboard()->setText("before");
        view->ShowPage("<a href=\"copy://to%20sq%20:x&lt;br /&gt;&lt;TABLE&gt;output%20:x%20*%20:x"
                       "&lt;br /&gt;end\">Copy</a>",
                       true);
        clickFirstLink(view);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("to sq :x\n    output :x * :x\nend"));

        // Topic names keep their letter case.
        view->ShowPage("<a href=\"view://REPEAT\">open this</a>", true);
        clickFirstLink(view);
        QCOMPARE(value(web, kTopicFilterFile), std::string("REPEAT"));
        web->TimerTick();
        QVERIFY(view->toPlainText().contains("repeat: run a list several times"));

        // The keyboard follows links too: Tab to the link, then Enter.
        view->ShowPage("<p>text <a href=\"view://Sum\">open this</a></p>", true);
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Tab);
        QTest::keyClick(view, Qt::Key_Return);
        QCOMPARE(value(web, kTopicFilterFile), std::string("Sum"));

        // A page that is not the local help can neither run nor copy.
        QString before = out->Text();
        view->ShowPage("<a href=\"exec://make%20%22hacked%201\">open this</a>", false);
        clickFirstLink(view);
        view->ShowPage("<a href=\"copy://secret\">open this</a>", false);
        clickFirstLink(view);
        QCOMPARE(out->Text(), before);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("to sq :x\n    output :x * :x\nend"));
        QVERIFY(!Resolve("hacked"));
    }

    void aReadOnlyHelpFolderNeverShowsAStaleTopic()
    {
        QTemporaryDir dir;
        writeConfiguration(dir);
        MainWindow main;
        main.ApplyConfiguration({});
        // An installation whose help folder cannot be written, holding the
        // value files of some earlier topic.
        std::string root = dir.path().toStdString();
        fs::create_directories(root + "/bin");
        fs::create_directories(root + "/Help");
        for (const char* f : {"help.xml", "help.xsl"})
            fs::copy_file(std::string(TAVRO_BUILD_DIR) + "/Help/" + f, root + "/Help/" + f);
        gui_test::WriteFile(root + "/Help/" + kTopicFilterFile, "while");
        fs::create_directory(root + "/Help/" + std::string(kBackgroundColorFile));  // unwritable even for root
        fs::permissions(root + "/Help", fs::perms::owner_read | fs::perms::owner_exec);
        setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
        DeriveDesktopFolders(root + "/bin/");

        InfoWindow* web = main.OpenInfo();
        QCOMPARE(web->ValueFolder(), UserHelpValueFolder());
        QCOMPARE(web->ValueFolder(), root + "/config/tavro/Help/");
        web->TimerTick();
        QVERIFY(web->View()->toPlainText().contains("First steps with Tavro"));
        QVERIFY(!web->View()->toPlainText().contains("while: "));
        ShowHelpFor("repeat");
        web->TimerTick();
        QVERIFY(web->View()->toPlainText().contains("repeat: run a list several times"));
        QCOMPARE(gui_test::ReadFile(root + "/Help/" + kTopicFilterFile), std::string("while"));

        fs::permissions(root + "/Help", fs::perms::owner_all);
        DeriveDesktopFolders(TAVRO_BUILD_DIR "/bin/");
    }
};

TAVRO_GUI_TEST_MAIN(InfoTest)
#include "info_test.moc"
