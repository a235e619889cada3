// The plane window: the scene drawn into it (checked on pixels), picking,
// mouse hooks with their exact command text, widgets and the framebuffer
// configuration log.
#include <QtTest>

#include <QOpenGLWidget>
#include <QPushButton>
#include <sstream>

#include "gui_fixture.h"
#include "installation.h"
#include "interpreter.h"
#include "main_window.h"
#include "output_window.h"
#include "pixel_formats.h"
#include "plane_window.h"
#include "run_control.h"
#include "scene.h"
#include "scene_host.h"
#include "skin.h"
#include "state.h"
#include "structure.h"

using namespace tavro;
using namespace tavro::shell;
using namespace tavro::desktop;

namespace {
QString lastLine() { return TheOutputWindow()->Text().split('\n').last(); }
}  // namespace

class PlaneTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    MainWindow* main_ = nullptr;

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() == "offscreen") QSKIP("the plane window needs a display");
        std::string path = dir_.path().toStdString() + "/p.ini";
        gui_test::WriteFile(path, "SKIN=Windows\nLIBRARIES=core.tvr,graphics.tvr,gui.tvr,\nOUTPUT=Yes\nPLANE=Yes\n"
                                  "PLANE.LEFT=0\nPLANE.TOP=0\nPLANE.WIDTH=400\nPLANE.HEIGHT=300\n");
        LoadChosenConfiguration({path, true});
        main_ = new MainWindow();
        main_->ApplyConfiguration({});
        main_->RunDeferredWork();
        QVERIFY(ThePlaneWindow());
        QVERIFY(QTest::qWaitForWindowExposed(main_));
        QTRY_VERIFY(ThePlaneWindow()->View()->isValid());
    }
    void cleanupTestCase() { delete main_; }

    void aDrawnObjectShowsInThePlane()
    {
        QCOMPARE(RunSystemCommand("to ball.ondrawimage , color 1 0 0 , sphere 2 , end"), int(rscRan));
        QCOMPARE(RunSystemCommand("make \"ball.size 2"), int(rscRan));
        Atom* ball = FindMember(RootNode(), "ball");
        QVERIFY(ball);
        QVERIFY(TheScene().HasDisplayList(ball));
        PlaneView* view = ThePlaneWindow()->View();
        QImage picture = view->grabFramebuffer();
        QColor centre = picture.pixelColor(picture.width() / 2, picture.height() / 2);
        QVERIFY2(centre.red() > 200 && centre.green() < 60 && centre.blue() < 60,
                 qPrintable(centre.name()));
        QColor corner = picture.pixelColor(2, 2);
        QCOMPARE(corner, CurrentSkin().Colours.Workspace);
        // A background the program sets shows at the next frame.
        QCOMPARE(RunSystemCommand("background 0 0 1 1"), int(rscRan));
        QCOMPARE(RunSystemCommand("redraw"), int(rscRan));
        picture = view->grabFramebuffer();
        QCOMPARE(picture.pixelColor(2, 2), QColor(0, 0, 255));
    }

    void windowEventsWaitWhileADrawingIsRecorded()
    {
        // A drawing long enough to let the windows work between its
        // statements, with a frame already asked for.
        QCOMPARE(RunSystemCommand("to big.ondrawimage , color 0 1 0 , repeat 40 [move 0 0 0] , sphere 3 , end"),
                 int(rscRan));
        ThePlaneWindow()->View()->update();
        QCOMPARE(RunSystemCommand("make \"big.size 1 , make \"ball.size 0"), int(rscRan));
        QCOMPARE(RunSystemCommand("redraw"), int(rscRan));
        QTest::qWait(50);
        QImage picture = ThePlaneWindow()->View()->grabFramebuffer();
        QColor centre = picture.pixelColor(picture.width() / 2, picture.height() / 2);
        QVERIFY2(centre.green() > 100, qPrintable(centre.name()));
        QCOMPARE(picture.pixelColor(2, 2), QColor(0, 0, 255));
    }

    void mouseHooksGetCentredCoordinates()
    {
        QCOMPARE(PlaneWindow::HookCommand("onmousedown", 9, 200, 150, 400, 300),
                 std::string("(onmousedown (0.00000) (0.00000) (200.00000) (150.00000) (9))"));
        QCOMPARE(PlaneWindow::HookCommand("onmouseup", 200, 0, 0, 400, 301),
                 std::string("(onmouseup (-200.00000) (150.50000) (0.00000) (0.00000) (72))"));
        PlaneWindow* plane = ThePlaneWindow();
        QVERIFY(!plane->DispatchMouseEvent("onmousedown", 8, 1, 1));  // no such procedure
        QCOMPARE(RunSystemCommand("to onmousedown :x :y :wx :wy :s , make \"gotx :x , make \"goty :y , make \"gots :s , end"),
                 int(rscRan));
        PlaneView* view = plane->View();
        QPoint centre(view->width() / 2, view->height() / 2);
        QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, centre);
        QCOMPARE(RunSystemCommand("print (abs :gotx) + (abs :goty) + :gots"), int(rscRan));
        QCOMPARE(lastLine(), QString("8 "));
        // Blocked by the program (service 33): no hook.
        TheScene().Service(33, nullptr, 0, 0, 0, 0);
        QVERIFY(!plane->DispatchMouseEvent("onmousedown", 8, 5, 5));
        TheScene().Service(34, nullptr, 0, 0, 0, 0);
        QVERIFY(plane->DispatchMouseEvent("onmousedown", 8, 5, 5));
        // A hook's error is swallowed; the next event still runs.
        QCOMPARE(RunSystemCommand("to onmousemove :x :y :wx :wy :s , make \"moves :moves + 1 , end"), int(rscRan));
        QCOMPARE(RunSystemCommand("make \"moves 0"), int(rscRan));
        auto moveTo = [view](QPoint p) {
            QMouseEvent move(QEvent::MouseMove, p, view->mapToGlobal(p), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(view, &move);
        };
        moveTo(QPoint(10, 10));
        moveTo(QPoint(10, 10));  // same place: no hook
        moveTo(QPoint(11, 10));
        QCOMPARE(RunSystemCommand("print :moves"), int(rscRan));
        QCOMPARE(lastLine(), QString("2 "));
    }

    void widgetsRunTheirObjectsOnclick()
    {
        QCOMPARE(RunSystemCommand("to panel.ok.onclick , make \"clicked \"yes , end"), int(rscRan));
        QCOMPARE(RunSystemCommand("button \"panel.ok \"OK 10 20 60 25"), int(rscRan));
        QPushButton* button = nullptr;
        for (QPushButton* b : ThePlaneWindow()->View()->findChildren<QPushButton*>())
            if (b->text() == "OK") button = b;
        QVERIFY(button);
        QCOMPARE(button->geometry(), QRect(10, 20, 60, 25));
        button->click();
        QCOMPARE(RunSystemCommand("print :clicked"), int(rscRan));
        QCOMPARE(lastLine(), QString("yes "));
        QCOMPARE(RunSystemCommand("settext \"panel.ok \"Fine"), int(rscRan));
        QCOMPARE(button->text(), QString("Fine"));
        // Released with its atom: the control goes.
        QPointer<QPushButton> guard(button);
        QCOMPARE(RunSystemCommand("erase \"panel"), int(rscRan));
        CollectGarbage();
        QTest::qWait(0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!guard);
    }

    void framebufferConfigurationLog()
    {
        std::vector<PixelFormat> formats(9);
        for (int i = 0; i < 9; ++i) {
            formats[size_t(i)].Number = i + 1;
            formats[size_t(i)].Flags = kFormatSupportsGL | kFormatDoubleBuffer;
            formats[size_t(i)].DepthBits = i < 4 ? 0 : 24;
        }
        std::ostringstream log;
        QCOMPARE(WritePixelFormatLog(log, formats, 8, std::nullopt), 5);  // the lowest that qualifies
        QVERIFY(log.str().rfind("Selected Pixel Format No 8\r\n\r\nNo Sz V Flags Pix", 0) == 0);
        QVERIFY(log.str().find(" 5  0 0    33   0   0  0  0  0  0  0  0  0  0   0  0  0  0  0   24") !=
                std::string::npos);
        QVERIFY(log.str().find("\r\nUsed Pixel Format No 5\r\n") != std::string::npos);
        std::ostringstream forced;
        QCOMPARE(WritePixelFormatLog(forced, formats, 8, 7), 7);  // "opengl.pix" holds 7
        QCOMPARE(WritePixelFormatLog(forced, formats, 3, std::nullopt), 3);
    }
};

TAVRO_GUI_TEST_MAIN(PlaneTest)
#include "plane_test.moc"
