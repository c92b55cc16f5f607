// The explorer and the render scheduler without a window: the way back and forward, box zooms and
// positions worked out here from the moves made; bursts of requests, pictures of views left behind,
// and colours changed on kept counts against a full render of the same view.
#include <QtTest>

#include <limits>
#include <thread>
#include <tuple>

#include "Explorer.h"
#include "RenderScheduler.h"

namespace {

double Width_Of(const Explorer& X) { return std::stod(X.Place().Exact_Extent(Axis::Real)); }
double Height_Of(const Explorer& X) { return std::stod(X.Place().Exact_Extent(Axis::Imaginary)); }
double Centre_Of(const Explorer& X, Axis Along) { return std::stod(X.Place().Exact_Centre(Along)); }

// Until no render waits and none is in flight: the spies are cleared together.
bool Settled(Render_Scheduler& S, const QSignalSpy& Started, const QSignalSpy& Over)
{
    auto* Timer = S.findChild<QTimer*>(QStringLiteral("Render_Timer"));
    return QTest::qWaitFor([&] {
        const bool Deep_Running = !Started.isEmpty() && Started.last()[0].toBool() && Over.count() < Started.count();
        return !Timer->isActive() && !Deep_Running;
    }, 60000);
}

} // namespace

class Explorer_Test : public QObject {
    Q_OBJECT

private slots:
    // Each settled view is one entry, a burst of zooms one of them; Back and Forward step through
    // them and a new view drops what lay ahead; at the threshold's end, 0, views are places all the same.
    void History()
    {
        for (const float Threshold : {4.0f, 0.0f}) {
            Explorer X;
            X.Settings.Threshold = Threshold;
            X.Set_Image_Size(201, 101);
            X.Render_Starts();
            QVERIFY(X.Zoom(0.5));
            X.Render_Starts();
            for (int Notch = 0; Notch < 3; ++Notch)
                QVERIFY(X.Zoom(0.5));
            X.Render_Starts();
            X.Render_Starts(); // the same view again is no new entry
            // Steps through history from the newest entry: whether each moves, and the width it leaves.
            for (const auto& [Steps, Moves, Width] : std::initializer_list<std::tuple<int, bool, double>>{
                     {1, false, 0.25}, {-1, true, 2.0}, {-1, true, 4.0}, {-1, false, 4.0}, {1, true, 2.0}}) {
                QCOMPARE(X.Step_History(Steps), Moves);
                X.Render_Starts();
                QCOMPARE(Width_Of(X), Width);
            }
            QVERIFY(X.Move(0.25, 0));
            X.Render_Starts();
            QVERIFY(!X.Step_History(1));
            QVERIFY(X.Step_History(-1));
            QCOMPARE(Width_Of(X), 2.0);
            QCOMPARE(Centre_Of(X, Axis::Real), 0.0);
        }
    }

    // A box fills the view, which keeps its shape: the box's longer side in proportion decides. With the
    // axis up, down on screen is the imaginary part shrinking; the usual way round, the places test's
    // box drawn in the window checks it.
    void Box_Zoom_Axis_Up()
    {
        Explorer X;
        X.Settings.Axis_Up = true;
        X.Set_Image_Size(201, 101);
        QVERIFY(X.Zoom_To_Box(0.25, -0.1, 0.1, 0.3));
        QCOMPARE(Width_Of(X), 1.2);
        QCOMPARE(Height_Of(X), 1.2);
        QCOMPARE(Centre_Of(X, Axis::Real), 1.0);
        QCOMPARE(Centre_Of(X, Axis::Imaginary), 0.4);
    }

    // Every setting goes out in a position and comes back. (That it is one step of the way back, the
    // places test's paste and Back check in the window.)
    void Positions_Out_And_In()
    {
        Explorer From;
        From.Set_Image_Size(320, 200);
        From.Settings.Mandelbrot = true;
        From.Settings.Colouring = Kestrine_Deep::Colouring::Smooth;
        From.Settings.Density = 2.5;
        From.Settings.Colormap = JET;
        From.Set_Julia_Typed(Axis::Real, 0.28f, "0.2800000000000000000000001");
        QVERIFY(From.Set_Centre("-0.743643887037151", "0.1318259042053300000000000000000000000007"));
        QVERIFY(From.Zoom(1e-30));
        const std::string Text = Position_Text(From.Current_Position());
        QVERIFY2(Text.find("centre-im = 1.318259042053300000000000000000000000007e-01\n") != std::string::npos, Text.c_str());
        QVERIFY2(Text.find("julia-re = 0.2800000000000000000000001\n") != std::string::npos, Text.c_str());

        Explorer To;
        To.Set_Image_Size(320, 200);
        Position There;
        std::string Problem;
        QVERIFY(Read_Position(Text, There, Problem));
        QVERIFY(To.Apply_Position(There));
        QCOMPARE(Position_Text(To.Current_Position()), Text);
    }

    // Input that never pauses still renders now and then; a render asked for can be cancelled, and a
    // float render on the worker stopped.
    void Bursts_Render_Now_And_Then()
    {
        Explorer X;
        X.Set_Image_Size(160, 120);
        Render_Scheduler S(X, nullptr);
        QSignalSpy Started(&S, &Render_Scheduler::Started), Over(&S, &Render_Scheduler::Progress_Over);
        QElapsedTimer Burst;
        Burst.start();
        while (Burst.elapsed() < 700)
            X.Move(0.01, 0), S.Request(), QTest::qWait(10);
        QVERIFY2(Started.count() >= 2, qPrintable(QString::number(Started.count())));
        // A cancelled render never starts; with none waiting there is nothing to cancel.
        S.Request(), Started.clear();
        QVERIFY(S.Cancel());
        QTest::qWait(300);
        QVERIFY(Started.isEmpty() && !S.Cancel());

        // Past the slider's counts the worker renders even a float picture: the window's thread goes
        // on turning, and a newer view stops the render. The middle pixel lies on the parabolic point
        // -3/4, which no cycle catches: it alone takes seconds.
        X.Settings.Mandelbrot = true, X.Set_Image_Size(161, 121), X.Set_Centre("-0.75", "0");
        X.Settings.Iterations = Explorer::Most_Float_Iterations, S.Request();
        QVERIFY(Settled(S, Started, Over));
        QCOMPARE(Started.last()[0].toBool(), false);
        Started.clear(), Over.clear();
        X.Settings.Iterations = std::numeric_limits<int>::max(), S.Request();
        QVERIFY(QTest::qWaitFor([&] { return !Started.isEmpty(); }, 10000));
        QVERIFY(Started.last()[0].toBool());
        int Ticks = 0;
        QTimer Ticking;
        QObject::connect(&Ticking, &QTimer::timeout, [&] { ++Ticks; });
        Ticking.start(10);
        QTest::qWait(500);
        QVERIFY2(Ticks >= 20 && Over.isEmpty(), qPrintable(QString::number(Ticks)));
        X.Zoom(0.5), S.Request();
        QCOMPARE(Over.count(), 1);
        QVERIFY(QTest::qWaitFor([&] { return Started.count() == 2; }, 10000));
        QVERIFY(S.Cancel());
    }

    // A deep picture finished for a view the user has left never reaches the screen, and Stale's
    // result is sure to be waiting when the newer request comes. Colourings, densities and colormaps
    // colour kept counts anew without a render, to the picture a render of them gives.
    void Stale_Pictures_And_Recolouring()
    {
        Explorer X;
        X.Set_Image_Size(160, 120);
        X.Settings.Colouring = Kestrine_Deep::Colouring::Smooth;
        Render_Scheduler S(X, nullptr);
        QSignalSpy Started(&S, &Render_Scheduler::Started), Over(&S, &Render_Scheduler::Progress_Over),
            Ready(&S, &Render_Scheduler::Picture_Ready), Failed(&S, &Render_Scheduler::Failed);
        S.Request();
        QVERIFY(QTest::qWaitFor([&] { return !Started.isEmpty(); }, 10000));
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        X.Zoom(0.5), S.Request();
        QVERIFY(Settled(S, Started, Over));
        QCOMPARE(Failed.count(), 0);
        int Finals = 0;
        for (const QList<QVariant>& Picture : Ready)
            Finals += Picture[1].toBool();
        QCOMPARE(Finals, 1);

        const auto Recoloured = [&](const std::function<void()>& Change) {
            Started.clear(), Ready.clear(), Over.clear();
            Change();
            S.Recolour_Or_Render();
            const QImage Image = S.Picture();
            const bool Without_Render = Started.isEmpty() && Ready.count() == 1;
            S.Request(); // the same view rendered in full, as a reference
            return Without_Render && Settled(S, Started, Over) && Started.count() == 1 && S.Picture() == Image;
        };
        QVERIFY(Recoloured([&] { X.Settings.Density = 3.0; }));
        QVERIFY(Recoloured([&] { X.Settings.Colormap = HOT; }));
        QVERIFY(Recoloured([&] { X.Settings.Colouring = Kestrine_Deep::Colouring::Cycle; }));
        // A new view is rendered.
        Ready.clear();
        X.Zoom(0.5), S.Recolour_Or_Render();
        QCOMPARE(Ready.count(), 0);

        // A deep render cancelled in flight ends its progress and never shows its picture.
        X.Settings.Colouring = Kestrine_Deep::Colouring::Smooth, X.Zoom(0.5), S.Request();
        Started.clear(), Over.clear(), Ready.clear();
        QVERIFY(QTest::qWaitFor([&] { return !Started.isEmpty(); }, 10000));
        QVERIFY(S.Cancel());
        QCOMPARE(Over.count(), 1);
        QTest::qWait(1000);
        for (const QList<QVariant>& Picture : Ready)
            QVERIFY(!Picture[1].toBool());
    }
};

QTEST_GUILESS_MAIN(Explorer_Test)
#include "ExplorerTest.moc"
