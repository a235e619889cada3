// Languages, skins and the owner-drawn menus: how files are read and how
// things look, checked on pixels.
#include <QtTest>

#include <QPainter>

#include "environment_font.h"
#include "gui_fixture.h"
#include "jpeg_reader.h"
#include "languages.h"
#include "menu_style.h"
#include "message_table.h"
#include "skin.h"
#include "tool_window.h"

using namespace tavro;
using namespace tavro::shell;
using namespace tavro::desktop;

namespace {

std::string utf16le(const std::u16string& text)
{
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes += char(c & 0xFF);
        bytes += char(c >> 8);
    }
    return bytes;
}

}  // namespace

class LookTest : public QObject {
    Q_OBJECT
private slots:
    void languageFilesInEveryEncoding()
    {
        // UTF-16 with its mark: the mark never shows.
        std::string wide = utf16le(u"MENU.NEW=Neu \u00D6ffnen\r\nMENU.OPEN=\u00DCber\r\n");
        QCOMPARE(DecodeLanguageFile(wide, 1252), std::string("MENU.NEW=Neu \xC3\x96" "ffnen\r\nMENU.OPEN=\xC3\x9C" "ber\r\n"));
        // A single-byte file in the language's code page (1251: Cyrillic).
        QCOMPARE(DecodeLanguageFile("A=\xCF\xF3\xF1\xEA", 1251), std::string("A=\xD0\x9F\xD1\x83\xD1\x81\xD0\xBA"));
        // 1252 and an unknown code page read the euro sign alike.
        QCOMPARE(DecodeLanguageFile("E=\x80", 1252), std::string("E=\xE2\x82\xAC"));
        QCOMPARE(DecodeLanguageFile("E=\x80", 99999), std::string("E=\xE2\x82\xAC"));
        // UTF-8 stays as it is.
        QCOMPARE(DecodeLanguageFile("K=\xC3\xA4", 1251), std::string("K=\xC3\xA4"));
    }

    void aLanguageFolderIsLoadedWithFallbacks()
    {
        QTemporaryDir dir;
        std::string bin = dir.path().toStdString() + "/bin/";
        QDir().mkpath(QString::fromStdString(bin));
        std::string lang = dir.path().toStdString() + "/Languages/";
        QDir().mkpath(QString::fromStdString(lang + "English"));
        QDir().mkpath(QString::fromStdString(lang + "Test"));
        gui_test::WriteFile(lang + "English/Environment.txt", "MENU.NEW=New\n");
        gui_test::WriteFile(lang + "English/Errors.txt", "BADARG=bad\n");
        gui_test::WriteFile(lang + "Test/Environment.txt", utf16le(u"MENU.NEW=N\u00E9\r\nMENU.OPEN=\r\n"));
        gui_test::WriteFile(lang + "Test/Errors.txt", "BADARG=\xE9" "chec\n");  // single byte, 1252
        gui_test::WriteFile(lang + "Test/CodePage.ini", "1252\n");
        DeriveDesktopFolders(bin);
        Language().Name = "Test";
        LoadEnvironmentLanguage();
        QCOMPARE(Tr("MENU.NEW"), std::string("N\xC3\xA9"));
        QCOMPARE(Tr("MENU.OPEN"), std::string("MENU.OPEN"));  // empty value: the key
        QCOMPARE(Tr("MENU.NONE"), std::string("MENU.NONE"));
        QCOMPARE(ErrorMessages().TextOrKey("BADARG"), std::string("\xC3\xA9" "chec"));
        QCOMPARE(EnvironmentLanguages(), (std::vector<std::string>{"English", "Test"}));
        Language().Name = "Missing";
        LoadEnvironmentLanguage();
        QCOMPARE(Language().Name, std::string("English"));
        QCOMPARE(Tr("MENU.NEW"), std::string("New"));
        // Errors.txt unreadable: an error after the interface texts changed.
        QDir().mkpath(QString::fromStdString(lang + "Broken"));
        gui_test::WriteFile(lang + "Broken/Environment.txt", "MENU.NEW=Broken\n");
        Language().Name = "Broken";
        QVERIFY_THROWS_EXCEPTION(LanguageError, LoadEnvironmentLanguage());
        QCOMPARE(Tr("MENU.NEW"), std::string("Broken"));
        gui_test::UseBuildTree();
    }

    void accelerators()
    {
        QCOMPARE(StripAccelerators("P&lane"), std::string("Plane"));
        QCOMPARE(StripAccelerators("Rock && Roll"), std::string("Rock & Roll"));
        QCOMPARE(FormatOne("Open %s now", "x.tvr"), std::string("Open x.tvr now"));
    }

    void colourValues()
    {
        QCOMPARE(ParseColour("1,2,3").Colour, QColor(1, 2, 3));
        QCOMPARE(ParseColour("256,257,-1").Colour, QColor(0, 1, 255));  // lowest 8 bits
        QCOMPARE(ParseColour("10,20").Colour, QColor(0, 0, 0));           // two components: black
        QCOMPARE(ParseColour("").Colour, QColor(0, 0, 0));
        ParsedColour withPicture = ParseColour("9,8,7,desk.jpg");
        QCOMPARE(withPicture.Colour, QColor(9, 8, 7));
        QCOMPARE(withPicture.Remainder, std::string("desk.jpg"));
        QVERIFY_THROWS_EXCEPTION(SkinError, ParseColour("red,0,0"));
    }

    void picturesAndSkins()
    {
        QTemporaryDir dir;
        std::string bin = dir.path().toStdString() + "/bin/";
        std::string skins = dir.path().toStdString() + "/Images/Skins/";
        QDir().mkpath(QString::fromStdString(bin));
        QDir().mkpath(QString::fromStdString(skins + "windows"));
        QDir().mkpath(QString::fromStdString(skins + "Pic"));
        QImage edge(4, 20, QImage::Format_RGB32);
        edge.fill(Qt::red);
        edge.save(QString::fromStdString(skins + "Pic/l.bmp"), "BMP");
        QImage top(20, 9, QImage::Format_RGB32);
        top.fill(Qt::blue);
        top.save(QString::fromStdString(skins + "Pic/t.bmp"), "BMP");
        QImage tile(8, 8, QImage::Format_RGB32);
        tile.fill(Qt::green);
        tile.save(QString::fromStdString(skins + "Pic/desk.jpg"), "JPG");
        std::string layout = "Caption.Left=3\nCaption.Top=1\nSelection.Top=0\nSelection.Bottom=0\n"
                             "Selection.Left=0\nSelection.Right=0\n";
        gui_test::WriteFile(skins + "Pic/colors.txt", "Desktop=1,2,3,desk.jpg\nText=4,5,6\n" + layout);
        gui_test::WriteFile(skins + "windows/colors.txt", "Desktop=7,7,7,nothing.jpg\nText=1,1,1\n" + layout);
        DeriveDesktopFolders(bin);
        LoadSkin("Pic");
        const Skin& s = CurrentSkin();
        QVERIFY(!s.Plain);
        QCOMPARE(s.Left, 4);
        QCOMPARE(s.Top, 9);
        QCOMPARE(s.Right, 0);  // a missing edge counts as 0
        QCOMPARE(s.Colours.Desktop, QColor(1, 2, 3));
        QCOMPARE(s.Colours.Menu, QColor(0, 0, 0));  // a missing colour reads as black
        QVERIFY(!s.Slots[slotDesktop].isNull());
        QCOMPARE(s.CaptionLeft, 3);
        // Lower-case "windows" is a picture skin; a picture that does not
        // exist leaves the plain colour.
        LoadSkin("windows");
        QVERIFY(!CurrentSkin().Plain);
        QVERIFY(CurrentSkin().Slots[slotDesktop].isNull());
        QCOMPARE(CurrentSkin().Colours.Desktop, QColor(7, 7, 7));
        LoadSkin("Windows");
        QVERIFY(CurrentSkin().Plain);
        QCOMPARE(CurrentSkin().Colours.Desktop, QColor(160, 160, 160));
        // A malformed layout value stops the skin change with an error.
        gui_test::WriteFile(skins + "Pic/colors.txt", "Desktop=1,2,3\nCaption.Left=x\n");
        QVERIFY_THROWS_EXCEPTION(SkinError, LoadSkin("Pic"));
        gui_test::UseBuildTree();
        LoadSkin("Windows");
    }

    void damagedJpegIsSkipped()
    {
        QTemporaryDir dir;
        std::string path = dir.path().toStdString() + "/bad.jpg";
        QImage good(16, 16, QImage::Format_RGB32);
        good.fill(Qt::yellow);
        good.save(QString::fromStdString(path), "JPG");
        QCOMPARE(ReadJpeg(path).size(), QSize(16, 16));
        std::string bytes = gui_test::ReadFile(path);
        gui_test::WriteFile(path, bytes.substr(0, 40));
        std::string error;
        ReadJpeg(path, &error);  // truncated: returns, whatever it holds
        gui_test::WriteFile(path, "not a picture at all");
        QVERIFY(ReadJpeg(path, &error).isNull());
        QVERIFY(!error.empty());
        QVERIFY(LoadPicture(dir.path().toStdString() + "/bad").isNull());
    }

    void menuItemsAreDrawnByTheRules()
    {
        SkinColours c;
        c.Menu = QColor(200, 200, 200);
        c.MenuCap = QColor(100, 40, 0);
        c.Text = QColor(0, 0, 0);
        QFont font("DejaVu Sans");
        font.setPixelSize(12);
        QSize size = MeasureMenuItem("-Programs", font);
        QCOMPARE(size.width(), QFontMetrics(font).boundingRect(QRect(0, 0, 1024, 0), Qt::TextSingleLine, "-Programs").width() + 20);
        QImage image(200, size.height(), QImage::Format_RGB32);
        image.fill(Qt::magenta);
        {
            QPainter p(&image);
            DrawMenuItem(p, QRect(0, 0, 200, size.height()), "-Programs", false, false, false, c, font);
        }
        int middle = (0 + size.height()) / 2;
        QCOMPARE(QColor(image.pixel(0, middle)), c.Menu);
        QCOMPARE(QColor(image.pixel(16, middle)), BlendStep(c.Menu, c.MenuCap, 16));
        QCOMPARE(BlendStep(c.Menu, c.MenuCap, 16), QColor(150, 120, 100));
        QCOMPARE(QColor(image.pixel(40, middle)), c.MenuCap);     // the line
        QCOMPARE(QColor(image.pixel(40, 0)), c.Menu);             // the band
        QCOMPARE(QColor(image.pixel(199 - 16 + 1, middle)), BlendStep(c.Menu, c.MenuCap, 16));
        // The header text is centred: ink near the middle, none near the
        // left end of the line.
        auto inkIn = [&](int x0, int x1, QColor ink) {
            for (int y = 0; y < image.height(); ++y)
                for (int x = x0; x < x1; ++x)
                    if (QColor(image.pixel(x, y)) == ink && y != middle) return true;
            return false;
        };
        QVERIFY(inkIn(70, 130, c.MenuCap));
        QVERIFY(!inkIn(33, 50, c.MenuCap));

        // "left||right": the right part right-aligned in MenuCap; a checked
        // item's dot in the text colour.
        image.fill(Qt::magenta);
        {
            QPainter p(&image);
            DrawMenuItem(p, QRect(0, 0, 200, size.height()), "Output||Ctrl+O", false, true, false, c, font);
        }
        QVERIFY(inkIn(150, 190, c.MenuCap));
        QVERIFY(!inkIn(60, 140, c.MenuCap));
        QVERIFY(inkIn(10, 40, c.Text));
        QCOMPARE(QColor(image.pixel(5, middle)), c.Text);  // the dot
        // Selected: white text on the same band.
        image.fill(Qt::magenta);
        {
            QPainter p(&image);
            DrawMenuItem(p, QRect(0, 0, 200, size.height()), "Output", true, false, false, c, font);
        }
        QVERIFY(inkIn(10, 60, QColor(255, 255, 255)));
        QCOMPARE(QColor(image.pixel(150, 0)), c.Menu);
    }

    void frameBlendAndCaptions()
    {
        QImage image(2, 2, QImage::Format_RGB32);
        image.fill(QColor(100, 100, 100));
        QImage mask(2, 2, QImage::Format_RGB32);
        mask.fill(QColor(0, 0, 0));
        mask.setPixel(1, 0, qRgb(255, 255, 255));
        mask.setPixel(0, 1, qRgb(51, 51, 51));
        QImage desktop(3, 3, QImage::Format_RGB32);
        desktop.fill(QColor(200, 0, 250));
        QImage out = BlendFill(image, mask, desktop, 2, 2, 1, 1);
        QCOMPARE(QColor(out.pixel(0, 0)), QColor(100, 100, 100));  // black mask: the frame
        QCOMPARE(QColor(out.pixel(1, 0)), QColor(200, 0, 250));    // white mask: the desktop
        QCOMPARE(QColor(out.pixel(0, 1)), QColor(120, 80, 130));   // 51/255 of the way
        // Without a desktop picture the frame picture is tiled along.
        QImage strip = BlendFill(image, mask, QImage(), 2, 6, 0, 0);
        QCOMPARE(QColor(strip.pixel(1, 5)), QColor(100, 100, 100));

        QFont font("DejaVu Sans");
        font.setPixelSize(12);
        QFontMetrics fm(font);
        QCOMPARE(ShortenCaption("Output", fm, 500), QString("Output"));
        QString shortened = ShortenCaption("A long window caption", fm, fm.horizontalAdvance("A long...") + 1);
        QCOMPARE(shortened, QString("A long..."));
        QCOMPARE(ShortenCaption("Output", fm, -5), QString("..."));
        QCOMPARE(HintDisplayForm("Run||F9"), QString("Run  (F9)"));
        QCOMPARE(HintDisplayForm("Clear"), QString("Clear"));
    }
};

TAVRO_GUI_TEST_MAIN(LookTest)
#include "look_test.moc"
