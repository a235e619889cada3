// The configuration: choosing the file, applying it to the main window and
// writing it back, with the edge cases that lose users' settings.
#include <QtTest>

#include "environment_font.h"
#include "gui_fixture.h"
#include "installation.h"
#include "main_window.h"
#include "state.h"

using namespace tavro;
using namespace tavro::shell;
using namespace tavro::desktop;

namespace {

std::string valueIn(const std::string& text, const std::string& key)
{
    std::string t = "\n" + text;
    size_t at = t.find("\n" + key + "=");
    if (at == std::string::npos) return "<absent>";
    size_t start = at + 1 + key.size() + 1;
    return t.substr(start, t.find('\n', start) - start);
}

}  // namespace

class ConfigurationTest : public QObject {
    Q_OBJECT
private slots:
    void choosesTheFileLikeTheCommandLineSays()
    {
        QCOMPARE(ChooseConfiguration({"/a/my"}).Name, std::string("/a/my.ini"));
        QVERIFY(ChooseConfiguration({"/a/my"}).Named);
        QCOMPARE(ChooseConfiguration({"prog.tvr", "Other.INI"}).Name, std::string("Other.INI"));
        QCOMPARE(ChooseConfiguration({"!core.tvr,"}).Name, std::string("default.ini"));
        QVERIFY(!ChooseConfiguration({"!core.tvr,"}).Named);
        QVERIFY(!ChooseConfiguration({}).Named);
    }

    void aNamedFileThatIsMissingMeansNoConfiguration()
    {
        QTemporaryDir dir;
        std::string name = dir.path().toStdString() + "/absent.ini";
        QCOMPARE(LoadChosenConfiguration({name, true}), std::string());
        QVERIFY(!Configuration().Find("LIBRARIES"));
        MainWindow main;
        main.ApplyConfiguration({name});
        main.SaveConfiguration();
        QVERIFY(!QFile::exists(QString::fromStdString(name)));
    }

    void theUsersOwnCopyIsPreferredWhenNothingIsNamed()
    {
        QTemporaryDir dir;
        qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
        QDir().mkpath(dir.path() + "/tavro");
        std::string user = dir.path().toStdString() + "/tavro/default.ini";
        gui_test::WriteFile(user, "SKIN=Windows\nMARK=mine\n");
        QCOMPARE(LoadChosenConfiguration({"default.ini", false}), user);
        QCOMPARE(ConfigValue("MARK"), std::string("mine"));
        qunsetenv("XDG_CONFIG_HOME");
    }

    void roundTripKeepsWhatThePartsSay()
    {
        QTemporaryDir dir;
        std::string path = dir.path().toStdString() + "/my.ini";
        std::string text =
            "ENVIRONMENT=English\nAUTOSAVE=Yes\nSKIN=Windows\nFONT.NAME=DejaVu Sans\nFONT.SIZE=11\n"
            "FONT.BOLD=yes\nCASESENSITIVE=\nMAIN.STATE=2\nMAIN.WIDTH=801\nMAIN.HEIGHT=601\n"
            "OUTPUT=Yes\nCOMMAND=No\nCOMMAND.LEFT=17\nLIBRARIES=other.tvr,\nCUSTOM=kept\n"
            "a line without a name\n";
        for (int k = 0; k < 10; ++k) text += "REOPEN" + std::to_string(k) + "=/p/f" + std::to_string(k) + ".tvr\n";
        gui_test::WriteFile(path, text);
        std::vector<std::string> params = {"!core.tvr,", path};
        QCOMPARE(LoadChosenConfiguration(ChooseConfiguration(params)), path);
        {
            MainWindow main;
            main.ApplyConfiguration(params);
            QVERIFY(!EnvironmentFont().bold());  // "yes" is not "Yes"
            QVERIFY(NamesCaseSensitive());       // an empty value is not "No"
            QVERIFY(main.isMaximized());
            QCOMPARE(main.LibraryEntries(), std::vector<std::string>{"core.tvr"});
            QCOMPARE(main.RecentFiles().front(), std::string("/p/f0.tvr"));
            main.AddRecentFile("/p/new.tvr");
            main.AddRecentFile("/p/f3.tvr");  // reopened: moves to the top
            QCOMPARE(main.RecentFiles().size(), size_t(11));
            main.SaveConfiguration();
        }
        std::string saved = gui_test::ReadFile(path);
        QCOMPARE(valueIn(saved, "MAIN.WIDTH"), std::string("801"));  // maximized: size kept
        QCOMPARE(valueIn(saved, "MAIN.STATE"), std::string("2"));
        QCOMPARE(valueIn(saved, "REOPEN0"), std::string("/p/f3.tvr"));
        QCOMPARE(valueIn(saved, "REOPEN1"), std::string("/p/new.tvr"));
        QCOMPARE(valueIn(saved, "REOPEN9"), std::string("/p/f8.tvr"));  // f9 fell off
        QCOMPARE(valueIn(saved, "REOPEN10"), std::string("<absent>"));
        QCOMPARE(valueIn(saved, "LIBRARIES"), std::string("other.tvr,"));  // came from the command line
        QCOMPARE(valueIn(saved, "OUTPUT"), std::string("Yes"));
        QCOMPARE(valueIn(saved, "COMMAND"), std::string("No"));
        QCOMPARE(valueIn(saved, "COMMAND.LEFT"), std::string("17"));  // closed: placement kept
        QCOMPARE(valueIn(saved, "FONT.BOLD"), std::string("No"));
        QCOMPARE(valueIn(saved, "CASESENSITIVE"), std::string("Yes"));
        QCOMPARE(valueIn(saved, "CUSTOM"), std::string("kept"));
        QVERIFY(saved.find("a line without a name\n") != std::string::npos);
    }

    void aMalformedNumberStopsTheStartAndWritesNothing()
    {
        QTemporaryDir dir;
        std::string path = dir.path().toStdString() + "/bad.ini";
        std::string text = "AUTOSAVE=Yes\nSKIN=Windows\nMAIN.WIDTH=80x\nMARK=original\n";
        gui_test::WriteFile(path, text);
        LoadChosenConfiguration({path, true});
        MainWindow main;
        try {
            main.ApplyConfiguration({path});
            QFAIL("the malformed value was accepted");
        } catch (const ConfigurationError& e) {
            QVERIFY(std::string(e.what()).find("MAIN.WIDTH") != std::string::npos);
            QVERIFY(std::string(e.what()).find(path) != std::string::npos);
        }
        main.SaveConfiguration();
        QCOMPARE(gui_test::ReadFile(path), text);
    }

    void absentNumbersTakeTheDesignSizes()
    {
        QTemporaryDir dir;
        std::string path = dir.path().toStdString() + "/sparse.ini";
        gui_test::WriteFile(path, "SKIN=Windows\nOUTPUT=Yes\n");
        LoadChosenConfiguration({path, true});
        MainWindow main;
        main.ApplyConfiguration({path});
        QCOMPARE(main.width(), ConfigDefault("MAIN.WIDTH"));
        QCOMPARE(ConfigInt("OUTPUT.WIDTH"), ConfigDefault("OUTPUT.WIDTH"));
    }

    void writesAreAtomic()
    {
        QTemporaryDir dir;
        std::string path = dir.path().toStdString() + "/a.ini";
        QVERIFY(WriteLinesAtomically(path, {"A=1", "B=2"}));
        QCOMPARE(gui_test::ReadFile(path), std::string("A=1\nB=2\n"));
        // A target that cannot be replaced leaves no temporary file behind.
        QDir(dir.path()).mkdir("sub");
        QVERIFY(!WriteLinesAtomically(dir.path().toStdString() + "/sub", {"X=1"}));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1);
        QVERIFY(!WriteLinesAtomically(dir.path().toStdString() + "/missing/a.ini", {"X=1"}));
    }
};

TAVRO_GUI_TEST_MAIN(ConfigurationTest)
#include "configuration_test.moc"
