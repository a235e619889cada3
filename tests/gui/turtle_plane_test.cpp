// The plane and the turtle with the shipped configuration, on pixels
// under Xvfb: the turtle at home from the start, a square's four sides,
// the plane's own zoom and orbit gestures read back by the camera words,
// the pen on every skin, a background that shows at once, and frames
// while a long drawing runs.
#include <QtTest>

#include <QWheelEvent>

#include "gui_fixture.h"
#include "interpreter.h"
#include "main_window.h"
#include "output_window.h"
#include "plane_window.h"
#include "run_control.h"
#include "scene.h"
#include "scene_host.h"
#include "skin.h"
#include "state.h"

using namespace tavro;
using namespace tavro::shell;
using namespace tavro::desktop;

namespace {

QString lastLine() { return TheOutputWindow()->Text().split('\n').last().trimmed(); }

QImage picture()
{
    QTest::qWait(60);  // a frame asked for shows within the frame interval
    QCoreApplication::processEvents();
    return ThePlaneWindow()->View()->grabFramebuffer();
}

// Whether some pixel within 2 of (x, y) differs clearly from `ground`.
bool inkNear(const QImage& image, int x, int y, QColor ground)
{
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) {
            QColor c = image.pixelColor(x + dx, y + dy);
            int d = std::abs(c.red() - ground.red()) + std::abs(c.green() - ground.green()) +
                    std::abs(c.blue() - ground.blue());
            if (d > 200) return true;
        }
    return false;
}

double pixelsPerStep(int height)
{
    double half = 40 * std::tan(scene::FieldOfView(height) / 2 * M_PI / 180);
    return height / 2.0 / half * 0.05;
}

}  // namespace

class TurtlePlaneTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    MainWindow* main_ = nullptr;

    void run(const std::string& text) { QCOMPARE(RunSystemCommand(text), int(rscRan)); }

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() == "offscreen") QSKIP("the plane window needs a display");
        // The shipped configuration, not written back.
        std::string shipped = gui_test::ReadFile(TAVRO_BUILD_DIR "/bin/default.ini");
        std::string path = dir_.path().toStdString() + "/shipped.ini";
        gui_test::WriteFile(path, shipped + "\nAUTOSAVE=No\n");
        LoadChosenConfiguration({path, true});
        main_ = new MainWindow();
        main_->ApplyConfiguration({});
        main_->RunDeferredWork();
        QVERIFY(QTest::qWaitForWindowExposed(main_));
        QVERIFY(ThePlaneWindow());
        QTRY_VERIFY(ThePlaneWindow()->View()->isValid());
        QVERIFY(ThePlaneWindow()->View()->width() >= 320 && ThePlaneWindow()->View()->height() >= 240);
    }
    void cleanupTestCase() { delete main_; }

    void turtleIsAtHomeFromTheStart()
    {
        QImage image = picture();
        QColor centre = image.pixelColor(image.width() / 2, image.height() / 2 - 2);
        QVERIFY2(centre.green() > 120 && centre.red() < 100 && centre.blue() < 100, qPrintable(centre.name()));
    }

    void squareShowsItsFourSides()
    {
        run("clearscreen , hideturtle , repeat 4 [fd 50 rt 90]");
        QImage image = picture();
        QColor ground = CurrentSkin().Colours.Workspace;
        double side = 50 * pixelsPerStep(image.height());
        int cx = image.width() / 2, cy = image.height() / 2, half = int(side / 2), full = int(side);
        QVERIFY(inkNear(image, cx, cy - half, ground));
        QVERIFY(inkNear(image, cx + half, cy - full, ground));
        QVERIFY(inkNear(image, cx + full, cy - half, ground));
        QVERIFY(inkNear(image, cx + half, cy, ground));
        QVERIFY(!inkNear(image, cx - half, cy + half, ground));
        run("showturtle");
    }

    // The wheel and an orbit drag move the camera that geteye reads; the
    // program's mouse procedures see neither; End brings the camera back.
    void wheelAndOrbitMoveTheCamera()
    {
        run("make \"downs 0 , to onmousedown :x :y :px :py :shift , make \"downs :downs + 1 , end");
        PlaneView* view = ThePlaneWindow()->View();
        QPointF middle(view->width() / 2.0, view->height() / 2.0);
        QWheelEvent wheel(middle, view->mapToGlobal(middle), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(view, &wheel);
        run("print geteye");
        QCOMPARE(lastLine(), QString("[0 0 34]"));

        QPoint from = middle.toPoint();
        QTest::mousePress(view, Qt::MiddleButton, Qt::NoModifier, from);
        QMouseEvent move(QEvent::MouseMove, QPointF(from + QPoint(40, 0)), view->mapToGlobal(QPointF(from + QPoint(40, 0))),
                         Qt::NoButton, Qt::MiddleButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &move);
        QTest::mouseRelease(view, Qt::MiddleButton, Qt::NoModifier, from + QPoint(40, 0));
        QVERIFY(std::abs(TheScene().Eye().x) > 5);
        run("print (item 1 geteye) < 0");
        QCOMPARE(lastLine(), QString("true"));
        run("print :downs");
        QCOMPARE(lastLine(), QString("0"));

        QTest::keyClick(view, Qt::Key_End);
        run("print geteye");
        QCOMPARE(lastLine(), QString("[0 0 40]"));
        run("erase \"onmousedown");
    }

    void fitFramesALargeDrawing()
    {
        run("clearscreen , hideturtle , repeat 4 [fd 2000 rt 90]");
        QTest::keyClick(ThePlaneWindow()->View(), Qt::Key_Home);
        QImage image = picture();
        QColor ground = CurrentSkin().Colours.Workspace;
        // The four corners are on screen: ink near each, none on the border.
        scene::Vector3 eye = TheScene().Eye(), at = TheScene().LookAt();
        QVERIFY2(std::abs(at.x - 50) < 0.01 && std::abs(at.y - 50) < 0.01,
                 qPrintable(QString("%1 %2").arg(at.x).arg(at.y)));
        QVERIFY(eye.z > at.z);
        int inked = 0;
        for (int x = 0; x < image.width(); ++x)
            if (inkNear(image, std::clamp(x, 2, image.width() - 3), 2, ground)) ++inked;
        QCOMPARE(inked, 0);
        QTest::keyClick(ThePlaneWindow()->View(), Qt::Key_End);
        run("clearscreen , showturtle");
    }

    void penShowsOnEverySkin()
    {
        for (const char* skin : {"Midnight", "Daylight", "Windows"}) {
            LoadSkin(skin);
            main_->ApplySkin(true);
            QTRY_VERIFY(ThePlaneWindow()->View()->isValid());
            picture();  // the plane takes the skin's colour
            run("clearscreen , hideturtle , setxy 0 -60 , fd 120");
            auto inked = [] {
                QImage image = picture();
                return inkNear(image, image.width() / 2, image.height() / 2, image.pixelColor(3, 3));
            };
            QTRY_VERIFY2(inked(), skin);
            run("showturtle");
        }
    }

    // The eraser clears the drawing as cs does; a procedure typed before
    // it is still there.
    void theEraserKeepsTypedProcedures()
    {
        run("to twice :n , output :n * 2 , end");
        run("clearscreen , hideturtle , setxy 0 -60 , fd 120");
        QVERIFY(inkNear(picture(), ThePlaneWindow()->View()->width() / 2, ThePlaneWindow()->View()->height() / 2,
                        CurrentSkin().Colours.Workspace));
        int eraser = -1;
        for (size_t i = 0; i < ThePlaneWindow()->Buttons().size(); ++i)
            if (ThePlaneWindow()->Buttons()[i].Key == "PLANE.CLEAR") eraser = int(i);
        QVERIFY(eraser >= 0);
        ThePlaneWindow()->ClickButton(eraser);
        QImage image = picture();
        QVERIFY(!inkNear(image, image.width() / 2, image.height() / 2 + 20, image.pixelColor(3, 3)));
        run("print twice 21");
        QCOMPARE(lastLine(), QString("42"));
        run("erase \"twice , showturtle");
    }

    // A line drawn with the default pen on the light skin turns light when
    // the skin turns dark, and dark again when it turns back.
    void aSkinSwitchRepaintsTheDefaultPenDrawing()
    {
        auto lightness = [] {
            QImage image = picture();
            int x = image.width() / 2, y = image.height() / 2;
            int best = -1, ground = image.pixelColor(3, 3).lightness();
            // The pixel of the line that differs most from the ground.
            int far = -1;
            for (int dx = -2; dx <= 2; ++dx) {
                int l = image.pixelColor(x + dx, y).lightness();
                if (std::abs(l - ground) > far) {
                    far = std::abs(l - ground);
                    best = l;
                }
            }
            return std::make_pair(best, ground);
        };
        LoadSkin("Daylight");
        main_->ApplySkin(true);
        QTRY_VERIFY(ThePlaneWindow()->View()->isValid());
        run("clearscreen , hideturtle , setxy 0 -60 , fd 120 , penup , setxy 50 50 , pendown , fd 10");
        auto [onLight, lightGround] = lightness();
        QVERIFY2(onLight < 100 && lightGround > 150, qPrintable(QString("%1 %2").arg(onLight).arg(lightGround)));
        for (const char* skin : {"Midnight", "Daylight"}) {
            LoadSkin(skin);
            main_->ApplySkin(true);
            QTRY_VERIFY(ThePlaneWindow()->View()->isValid());
            auto [line, ground] = lightness();
            bool dark = ground < 128;
            // The line contrasts with the new ground: light on dark, dark on light.
            QVERIFY2(dark ? line > 150 : line < 100, qPrintable(QString("%1: %2 on %3").arg(skin).arg(line).arg(ground)));
            if (!dark) continue;
            // The line the pen goes on drawing turns light on the dark plane
            // too, the part drawn before the switch with it.
            run("fd 30");
            QImage image = picture();
            double step = pixelsPerStep(image.height());
            int x = image.width() / 2 + int(50 * step), y = image.height() / 2 - int(70 * step);
            int lightest = 0;
            for (int dx = -2; dx <= 2; ++dx) lightest = std::max(lightest, image.pixelColor(x + dx, y).lightness());
            QVERIFY2(lightest > 150, qPrintable(QString::number(lightest)));
        }
        run("showturtle");
    }

    void backgroundShowsAtOnce()
    {
        run("background 1 0 0 1");
        QTRY_COMPARE(ThePlaneWindow()->View()->grabFramebuffer().pixelColor(3, 3), QColor(255, 0, 0));
        run("clearscreen");
    }

    // A frame painted while a program runs starts from the pixels kept
    // from the last one (the view's own framebuffer takes them) and shows
    // what a full replay of every list shows.
    void runningFramesMatchAFullReplay()
    {
        run("clearscreen");
        run("repeat 150 [fd 1 rt 3]");
        auto runningFrame = [] {
            RunState = rsRunning;
            QImage image = ThePlaneWindow()->View()->grabFramebuffer();
            RunState = rsIdle;
            return image;
        };
        runningFrame();
        run("setpencolor 1 0 0\nrepeat 150 [fd 1 lt 3]");
        uint64_t kept = TheScene().FramesFromKept();
        QImage running = runningFrame();
        QCOMPARE(TheScene().FramesFromKept(), kept + 1);
        QImage full = ThePlaneWindow()->View()->grabFramebuffer();
        QCOMPARE(running, full);
        run("clearscreen");
    }

    // A long drawing shows several frames while it runs.
    void longDrawingGetsFrames()
    {
        uint64_t before = TheScene().FramesDrawn();
        QElapsedTimer t;
        t.start();
        run("repeat 20000 [fd 1 rt 1]");
        if (t.elapsed() >= 1000) QVERIFY2(TheScene().FramesDrawn() - before >= 3, qPrintable(QString::number(t.elapsed())));
        else QVERIFY(TheScene().FramesDrawn() - before >= 1);
    }
};

TAVRO_GUI_TEST_MAIN(TurtlePlaneTest)
#include "turtle_plane_test.moc"
