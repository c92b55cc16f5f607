// The program exploring deep: input answered before any render, one render for a burst of it, deep
// pictures that a newer view cancels, a view that stays exact at any depth, and no seam where the
// float engine hands over to the deep renderer. Deep pictures are checked against the deep renderer
// rendering the view this test computes itself, in MPFR, and coloured here.
#include <Colormaps.h>

#include <mpfr.h>

#include <string>

#include "DeepViews.h"
#include "TestWindow.h"

namespace {

using namespace Kestrine_Deep;

// An MPFR number of 1,600 bits: more than any view here needs.
class Exact {
public:
    explicit Exact(const std::string& Text = "0") { mpfr_init2(Value, 1600), mpfr_set_str(Value, Text.c_str(), 10, MPFR_RNDN); }
    Exact(const Exact& Other) { mpfr_init2(Value, 1600), mpfr_set(Value, Other.Value, MPFR_RNDN); }
    Exact& operator=(const Exact&) = delete;
    ~Exact() { mpfr_clear(Value); }
    mpfr_ptr operator*() { return Value; }
    std::string Text() const { return Deep_Views::Text(Value); }
    double Minus(const std::string& Other) const
    {
        Exact Difference(Other);
        mpfr_sub(*Difference, Value, *Difference, MPFR_RNDN);
        return mpfr_get_d(*Difference, MPFR_RNDN);
    }

private:
    mpfr_t Value;
};

// The deep renderer's picture of a view: in the table colouring entry min(count, 255), as the float
// engine colours; cycling, entries 0 up to 255 and down again, and 255 for pixels that never escaped.
QImage Deep_Expected(const Deep_View& View, bool Cycle = false, Colormap_t Colormap = MORGENSTEMNING)
{
    Deep_Renderer Renderer;
    Deep_Picture Counts;
    std::string Message;
    if (Renderer.Render(View, Render_Options{}, Counts, Message) != Render_Status::Finished) {
        qWarning() << "deep render failed:" << Message.c_str();
        return {};
    }
    const Kestrine::Colour_Table& Table = *Kestrine::Colour_Table_For(Colormap);
    QImage Picture(Counts.Width, Counts.Height, QImage::Format_ARGB32);
    for (int y = 0; y < Counts.Height; ++y)
        for (int x = 0; x < Counts.Width; ++x) {
            const int Count = Counts.Counts[std::size_t(y) * Counts.Width + x];
            const int Entry = !Cycle ? std::min(Count, 255) : Count == View.Iterations ? 255 : 255 - std::abs(Count % 510 - 255);
            Picture.setPixel(x, y, qRgb(Table[3 * Entry], Table[3 * Entry + 1], Table[3 * Entry + 2]));
        }
    return Picture;
}

// The share of pixels two pictures of one size have in common; 0 for pictures of different sizes.
double Share_Equal(const QImage& A, const QImage& B)
{
    if (A.size() != B.size() || A.isNull())
        return 0;
    const QImage First = A.convertToFormat(QImage::Format_ARGB32), Second = B.convertToFormat(QImage::Format_ARGB32);
    qint64 Same = 0;
    for (int y = 0; y < A.height(); ++y)
        for (int x = 0; x < A.width(); ++x)
            Same += First.pixel(x, y) == Second.pixel(x, y);
    return double(Same) / (qint64(A.width()) * A.height());
}

// The Mandelbrot view the window shows, from the test's own numbers.
Deep_View Mandelbrot_View(const std::string& Re, const std::string& Im, const Exact& Width, const Exact& Height,
                          QSize Size, std::int64_t N)
{
    return Deep_Views::Mandelbrot(Re, Im, Width.Text().c_str(), Size.width(), Size.height(), N, Height.Text().c_str());
}

// A left drag along Path, and the centre it leaves in Re and Im: each step moves it back by its share
// of the view, the step's pixels over the view's logical size.
void Pan(Test_Window& E, const QList<QPoint>& Path, Exact Width, Exact Height, Exact& Re, Exact& Im)
{
    Exact Step;
    for (int i = 1; i < Path.size(); ++i) {
        mpfr_mul_d(*Step, *Width, double(Path[i].x() - Path[i - 1].x()) / E.View()->width(), MPFR_RNDN);
        mpfr_sub(*Re, *Re, *Step, MPFR_RNDN);
        mpfr_mul_d(*Step, *Height, double(Path[i].y() - Path[i - 1].y()) / E.View()->height(), MPFR_RNDN);
        mpfr_sub(*Im, *Im, *Step, MPFR_RNDN);
    }
    E.Drag(Path.first(), Path.mid(1));
}

} // namespace

class Deep_Explorer_Test : public QObject {
    Q_OBJECT

private slots:
    // A burst of wheel turns scales the picture on screen at once, before any render, and renders once; a
    // drag moves the picture with the pointer.
    void Input_Comes_Before_Pictures()
    {
        Shown_Window E;
        QSignalSpy Started(E.Get<Render_Scheduler>("Render_Scheduler"), &Render_Scheduler::Started);
        for (int Notch = 0; Notch < 40; ++Notch)
            E.Wheel(E.View()->viewport(), {0, -120});
        QCOMPARE(Started.count(), 0);
        long double Width = 4;
        for (int Notch = 0; Notch < 40; ++Notch)
            Width *= 0.8695652f; // rounded to 64 bits a step, as the window's own extents are
        QVERIFY(std::fabs(E.Picture_Item()->transform().m11() * double(Width) / 4 - 1) < 1e-9);
        COMPARE_PICTURE(E, Window_At(0, 0, Width, Width));

        E.Mouse(QEvent::MouseButtonPress, Qt::LeftButton, {100, 100});
        E.Mouse(QEvent::MouseMove, Qt::NoButton, {130, 80});
        // Where the next picture will have them: 30 of the pan's pixels are 30 (W - 1) / W of a picture's.
        const double Columns = Device_Size(E.View()).width(), Rows = Device_Size(E.View()).height();
        QVERIFY(std::fabs(E.Picture_Item()->transform().dx() - 30 * (Columns - 1) / Columns) < 1e-6);
        QVERIFY(std::fabs(E.Picture_Item()->transform().dy() + 20 * (Rows - 1) / Rows) < 1e-6);
        // The burst's one render so far, none yet for the drag.
        QCOMPARE(Started.count(), 1);
        E.Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, {130, 80}, Qt::NoButton);
        QVERIFY(Settle(E.Window));
        QCOMPARE(Started.count(), 2);
        QVERIFY(E.Picture_Item()->transform().isIdentity());
    }

    // At 4e-100 around a Misiurewicz point: the centre typed to 480 digits, a deep render that a pan
    // cancels after its preview, and the pan's centre to a tenth of a pixel of the MPFR sum of its steps.
    void Deep_Views_Stay_Exact()
    {
        const Misiurewicz::Point& Point = Deep_Views::Centre();
        QVERIFY(Point.Found);
        Shown_Window E;
        E.Get<QComboBox>("Combo_Set")->setCurrentIndex(1);
        E.Get<QSpinBox>("Spin_NumIter")->setValue(3000);
        // Counts past 255 all take the table's last entry: cycling through it shows them apart.
        E.Get<QComboBox>("Combo_Colouring")->setCurrentIndex(1);
        QVERIFY(E.Centre_On(QString::fromStdString(Point.Re), QString::fromStdString(Point.Im)));

        Render_Scheduler* Events = E.Get<Render_Scheduler>("Render_Scheduler");
        QSignalSpy Shown(Events, &Render_Scheduler::Shown);
        for (int Step = 0; Step < 4; ++Step)
            QMetaObject::invokeMethod(&E.Window, "Scale", Q_ARG(float, 1e-25f));
        Exact Width("4"), Height("4");
        for (int Step = 0; Step < 4; ++Step)
            mpfr_mul_d(*Width, *Width, double(1e-25f), MPFR_RNDN), mpfr_mul_d(*Height, *Height, double(1e-25f), MPFR_RNDN);
        const QSize Size = Device_Size(E.View());
        const Deep_View Before = Mandelbrot_View(Point.Re, Point.Im, Width, Height, Size, 3000);

        // The preview of the first deep view arrives; a pan at once makes the view old before its full
        // picture is done.
        QList<QImage> Seen;
        const QList<QPoint> Path{{100, 100}, {117, 93}, {90, 120}, {91, 121}};
        Exact Re(Point.Re), Im(Point.Im);
        connect(Events, &Render_Scheduler::Shown, this, [&](bool Final) {
            if (!Shown.isEmpty() && Shown.size() == 1) {
                QVERIFY(!Final);
                Pan(E, Path, Width, Height, Re, Im);
            } else {
                Seen << E.Shown();
            }
        });
        QVERIFY(Settle(E.Window));
        QCOMPARE(Shown.size() - Seen.size(), 1);

        // The fields: within a twentieth of a pixel of the sum.
        const double Pixel_X = 4e-100 / (Size.width() - 1), Pixel_Y = 4e-100 / (Size.height() - 1);
        const double Off_X = Re.Minus(E.Get<QLineEdit>("LineEdit_X")->text().toStdString());
        const double Off_Y = Im.Minus(E.Get<QLineEdit>("LineEdit_Y")->text().toStdString());
        QVERIFY2(std::fabs(Off_X) <= Pixel_X / 20 && std::fabs(Off_Y) <= Pixel_Y / 20,
                 qPrintable(QString("%1 %2 pixels off").arg(Off_X / Pixel_X).arg(Off_Y / Pixel_Y)));
        // The picture: the deep renderer's at the summed centre; the old view's never shown after the pan.
        const QImage After = Deep_Expected(Mandelbrot_View(Re.Text(), Im.Text(), Width, Height, Size, 3000), true);
        const QImage Old = Deep_Expected(Before, true);
        QVERIFY(!Seen.isEmpty());
        QVERIFY2(Share_Equal(Seen.last(), After) >= 0.99, qPrintable(QString::number(Share_Equal(Seen.last(), After))));
        for (const QImage& Each : Seen)
            QVERIFY(Share_Equal(Each, Old) < 0.9);
        QVERIFY(E.Get<QLabel>("Status_Readout")->text().contains("  |  width 4e-100  |  double  |  3000 iterations"));


        // A centre typed short, in a new window, holds the pan's steps all the same: its bits grow with
        // the zoom.
        Shown_Window F;
        QVERIFY(F.Centre_On("-1.5", "0.25"));
        for (int Step = 0; Step < 4; ++Step)
            QMetaObject::invokeMethod(&F.Window, "Scale", Q_ARG(float, 1e-25f));
        Exact Short_Re("-1.5"), Short_Im("0.25");
        Pan(F, Path, Width, Height, Short_Re, Short_Im);
        QVERIFY(Settle(F.Window));
        QVERIFY(std::fabs(Short_Re.Minus(F.Get<QLineEdit>("LineEdit_X")->text().toStdString())) <= Pixel_X / 20);
        QVERIFY(std::fabs(Short_Im.Minus(F.Get<QLineEdit>("LineEdit_Y")->text().toStdString())) <= Pixel_Y / 20);
    }

    // Zooming in across the float engine's limit and out again: the last float picture and the first
    // deep one are each the picture of the exact view, and coming back gives each of them again.
    void The_Switch_Has_No_Seam()
    {
        Shown_Window E;
        E.Get<QComboBox>("Combo_Set")->setCurrentIndex(1);
        QVERIFY(E.Centre_On("-0.7436438870", "0.1318259042"));
        QSignalSpy Started(E.Get<Render_Scheduler>("Render_Scheduler"), &Render_Scheduler::Started);
        Exact Width("4");
        long double Float_Width = 4;
        for (int Notch = 0; Notch < 60; ++Notch)
            E.Wheel(E.View()->viewport(), {0, -120}), mpfr_mul_d(*Width, *Width, double(0.8695652f), MPFR_RNDN);
        QVERIFY(Settle(E.Window));
        QImage Last_Float, First_Deep;
        while (Started.isEmpty() || !Started.last().first().toBool()) {
            QVERIFY(mpfr_cmp_d(*Width, 1e-6) > 0);
            Last_Float = E.Shown(), Float_Width = mpfr_get_ld(*Width, MPFR_RNDN);
            Started.clear();
            QCOMPARE(Renders_During([&] { E.Wheel(E.View()->viewport(), {0, -120}); }), 1);
            mpfr_mul_d(*Width, *Width, double(0.8695652f), MPFR_RNDN);
        }
        First_Deep = E.Shown();
        const QSize Size = Device_Size(E.View());
        // The float window: each edge the float nearest the exact one, which rounding once from long
        // double finds here as MPFR does.
        const Picture Float_View = Window_At(-0.7436438870L, 0.1318259042L, Float_Width, Float_Width, Picture{true});
        QVERIFY(Same_Picture(Last_Float, Expected(Size, Float_View)));
        const QImage Deep = Deep_Expected(Mandelbrot_View("-0.7436438870", "0.1318259042", Width, Width, Size, 100));
        QVERIFY2(Share_Equal(First_Deep, Deep) >= 0.99, qPrintable(QString::number(Share_Equal(First_Deep, Deep))));

        E.Wheel(E.View()->viewport(), {0, 120});
        QVERIFY(Settle(E.Window) && Same_Picture(E.Shown(), Last_Float));
        // 1.15f and its inverse's float multiply to just under 1: the same deep view within 2^-24.
        E.Wheel(E.View()->viewport(), {0, -120});
        QVERIFY(Settle(E.Window) && Share_Equal(E.Shown(), First_Deep) >= 0.99);
    }

    // The Julia constant the sliders give is the decimal the fields show, -0.4001 + 0.6i, and the deep
    // renderer takes that decimal: the set's structure is there 1e-30 wide about its repelling fixed
    // point z = (1 + sqrt(1 - 4c)) / 2 (worked out in MPFR by the deep tests' views), which a constant
    // off by a float's rounding would have left far behind.
    void The_Constant_Shown_Is_The_One_Drawn()
    {
        Shown_Window E;
        const auto [Re, Im] = Deep_Views::Fixed_Point(1, "-0.4001", "0.6");
        QString Place = E.Copied_Position();
        const std::pair<const char*, std::string> Lines[] = {
            {"centre-re", Re}, {"centre-im", Im}, {"width", "1e-30"}, {"height", "1e-30"}};
        for (const auto& [Key, Value] : Lines)
            Place.replace(QRegularExpression(QStringLiteral("\\n%1 = [^\\n]+").arg(QLatin1String(Key))),
                          QStringLiteral("\n%1 = %2").arg(QLatin1String(Key), QString::fromStdString(Value)));
        QVERIFY2(Place.contains("\njulia-re = -0.4001\n") && Place.contains("width = 1e-30"), qPrintable(Place));
        QApplication::clipboard()->setText(Place);
        E.Get<QAction>("Action_Paste_Position")->trigger();
        QVERIFY(Settle(E.Window));
        QSet<QRgb> Colours;
        const QImage Shown = E.Shown();
        for (int y = 0; y < Shown.height(); y += 3)
            for (int x = 0; x < Shown.width(); x += 3)
                Colours.insert(Shown.pixel(x, y));
        QVERIFY2(Colours.size() >= 10, qPrintable(QString::number(Colours.size())));
    }

    // Counts past the slider's end; counts that follow the depth; colourings that need the deep
    // renderer, and new colours for the counts on screen without iterating again.
    void Iterations_And_Colourings()
    {
        Shown_Window E;
        auto* Count = E.Get<QSpinBox>("Spin_NumIter");
        auto* Slider = E.Get<QSlider>("Slide_NumIter");
        QCOMPARE(Renders_During([&] { Count->setValue(5000); }), 1);
        QCOMPARE(QList<int>({Slider->value(), Count->value()}), QList<int>({1000, 5000}));
        QLabel* Label = E.Get<QLabel>("Lab_Val_Iter");
        QVERIFY(Label->text() == "5000" && Label->width() >= Label->fontMetrics().horizontalAdvance("2147483647"));
        // The threshold slider re-reads the iterations slider, which stands at its end for 5000.
        E.Get<QSlider>("Slide_Thresh")->setValue(3000);
        QCOMPARE(Count->value(), 5000);
        QCOMPARE(Renders_During([&] { Slider->setValue(100); }), 1);
        QCOMPARE(Count->value(), 100);
        Picture P;
        P.Threshold = 3.0f;
        COMPARE_PICTURE(E, P);

        // Cycle needs the deep renderer; from then on colourings, densities and colormaps recolour.
        auto* Colouring = E.Get<QComboBox>("Combo_Colouring");
        QSignalSpy Started(E.Get<Render_Scheduler>("Render_Scheduler"), &Render_Scheduler::Started);
        QCOMPARE(Renders_During([&] { Colouring->setCurrentIndex(1); }), 1);
        QCOMPARE(Started.last().first().toBool(), true);
        const QImage Cycled = E.Shown();
        QCOMPARE(Renders_During([&] { Colouring->setCurrentIndex(2); }), 0);
        QVERIFY(E.Get<QDoubleSpinBox>("Spin_Density")->isEnabled() && Share_Equal(Cycled, E.Shown()) < 0.9);
        QCOMPARE(Renders_During([&] { E.Get<QComboBox>("Combo_Cmap")->setCurrentIndex(0); }), 0);
        // Back to the table: the float engine's picture again.
        QCOMPARE(Renders_During([&] { Colouring->setCurrentIndex(0); }), 1);
        P.Colormap = HOT;
        COMPARE_PICTURE(E, P);

        // Following the depth: more iterations deeper, never fewer than the user's.
        auto Iterations_Said = [&] {
            const QRegularExpressionMatch Said =
                QRegularExpression("  \\|  ([0-9]+) iterations").match(E.Get<QLabel>("Status_Readout")->text());
            return Said.hasMatch() ? Said.captured(1).toLongLong() : -1;
        };
        E.Get<QCheckBox>("Check_Auto_Iterations")->setChecked(true);
        QVERIFY(Settle(E.Window));
        const qint64 Shallow = Iterations_Said();
        QMetaObject::invokeMethod(&E.Window, "Scale", Q_ARG(float, 1e-20f));
        QVERIFY(Settle(E.Window));
        QVERIFY2(Shallow >= 100 && Iterations_Said() > Shallow, qPrintable(QString("%1 %2").arg(Shallow).arg(Iterations_Said())));
        QCOMPARE(Renders_During([&] { E.Get<QCheckBox>("Check_Auto_Iterations")->setChecked(false); }), 1);
        QCOMPARE(Iterations_Said(), 100);
        // Escape drops the render asked for, and says so.
        QVERIFY(QTest::qWaitForWindowActive(&E.Window));
        QCOMPARE(Renders_During([&] { Count->setValue(3000), QTest::keyClick(&E.Window, Qt::Key_Escape); }), 0);
        QVERIFY(E.Notice().startsWith("Rendering cancelled"));
    }
};

QTEST_MAIN(Deep_Explorer_Test)
#include "DeepExplorerTest.moc"
