// The main window on the software device: every control, drag step and wheel turn, checked against
// the library rendering the same parameters and converted pixel by pixel here.
#include <QApplication>
#include <QComboBox>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSlider>
#include <QTimer>
#include <QtTest>

#include <Pellarion.h>
#include <SoftControl.h>

#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "GPU_Graphics.h"
#include "MainWindow.h"
#include "Maker.h"

namespace {

struct Box_Seen {
    QMessageBox::Icon Icon;
    QString Title, Text;
    QMessageBox::StandardButtons Buttons;
};

// Answers every modal message box with Ok, as a user would, and remembers what it said.
class Box_Answerer : public QObject {
public:
    QList<Box_Seen> Seen;

    Box_Answerer()
    {
        connect(&Poll, &QTimer::timeout, this, [this] {
            if (auto* Box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                Seen.append({Box->icon(), Box->windowTitle(), Box->text(), Box->standardButtons()});
                Box->done(QMessageBox::Ok);
            }
        });
        Poll.start(5);
    }

private:
    QTimer Poll;
};

// Standard output of the process while it lives (the engine and the window write there; so does
// QtTest's log, which Lines_Saying leaves out).
class Captured_Stdout {
public:
    Captured_Stdout()
    {
        std::fflush(stdout);
        Saved = dup(1);
        File = std::tmpfile();
        dup2(fileno(File), 1);
    }
    // Ends the capture.
    int Lines_Saying(const QString& Line)
    {
        std::fflush(stdout);
        dup2(Saved, 1);
        close(Saved);
        std::rewind(File);
        QFile Captured;
        Captured.open(File, QIODevice::ReadOnly);
        const QStringList Lines = QString::fromUtf8(Captured.readAll()).split(QLatin1Char('\n'));
        Captured.close();
        std::fclose(File);
        return Lines.count(Line);
    }

private:
    int Saved;
    FILE* File;
};

std::uint64_t Renders()
{
    return Soft_Control::Launches("ApplyColorMap").Count;
}

struct Picture {
    bool Mandelbrot = false;
    float X_Min = -2.0f, X_Max = 2.0f, Y_Min = -2.0f, Y_Max = 2.0f;
    float C_Real = -0.4001f, C_Imag = 0.6f;
    float Threshold = 4.0f;
    int Iterations = 100;
    Colormap_t Colormap = MORGENSTEMNING;
};

// The window's controls, a helper for every way a user touches them, and what the view shows.
class Explorer {
public:
    MainWindow Window;
    Box_Answerer Boxes;

    Explorer()
    {
        Window.resize(520, 560); // small pictures keep the software device quick
    }

    void Show()
    {
        Window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&Window));
    }

    template <typename T>
    T* Get(const char* Name)
    {
        return Window.findChild<T*>(QLatin1String(Name));
    }
    GPU_Graphics* View() { return Window.findChild<GPU_Graphics*>(); }

    QImage Shown()
    {
        for (QGraphicsItem* Item : View()->scene()->items())
            if (auto* Pixmap = dynamic_cast<QGraphicsPixmapItem*>(Item))
                return Pixmap->pixmap().toImage();
        return {};
    }

    void Type(const char* Edit_Name, const QString& Text)
    {
        QLineEdit* Edit = Get<QLineEdit>(Edit_Name);
        Edit->setText(Text);
        QTest::keyClick(Edit, Qt::Key_Return);
    }

    void Mouse(QEvent::Type Type, Qt::MouseButton Button, QPoint At)
    {
        QWidget* Viewport = View()->viewport();
        QMouseEvent Event(Type, QPointF(At), QPointF(Viewport->mapToGlobal(At)), Button,
                          Type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Viewport, &Event);
    }

    void Wheel(QWidget* Target, int Vertical)
    {
        const QPointF At(Target->width() / 2.0, Target->height() / 2.0);
        QWheelEvent Event(At, Target->mapToGlobal(At), QPoint(), QPoint(0, Vertical), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(Target, &Event);
    }
};

// The picture the library renders for these parameters at the view's size, converted here pixel by
// pixel: ARGB32, alpha 255, red, green and blue from bytes 0, 1 and 2.
QImage Expected(QSize Size, const Picture& P)
{
    Pellarion Engine;
    Engine.Compute_Init(Size.width(), Size.height(), P.X_Min, P.X_Max, P.Y_Min, P.Y_Max, P.Colormap);
    if (P.Mandelbrot)
        Engine.Compute_MandelBrot(P.Threshold, P.Iterations, 50);
    else
        Engine.Compute_Julia(P.Threshold, P.Iterations, 50, P.C_Real, P.C_Imag);
    QImage Image(Size, QImage::Format_ARGB32);
    for (int y = 0; y < Size.height(); ++y)
        for (int x = 0; x < Size.width(); ++x) {
            const std::uint8_t* Pixel = Engine.Host_Image + 4 * (std::size_t(y) * Size.width() + x);
            Image.setPixel(x, y, qRgba(Pixel[0], Pixel[1], Pixel[2], 255));
        }
    return Image;
}

bool Same_Picture(const QImage& Shown, const QImage& Wanted)
{
    return Shown.convertToFormat(QImage::Format_ARGB32) == Wanted.convertToFormat(QImage::Format_ARGB32);
}

#define COMPARE_PICTURE(E, P) QVERIFY(Same_Picture((E).Shown(), Expected((E).View()->size(), (P))))

} // namespace

class Main_Window_Test : public QObject {
    Q_OBJECT

private slots:
    void init() { Soft_Control::Reset_Faults(); }

    void The_First_Show_Resets_Renders_And_Reports_The_Device()
    {
        Explorer E;
        const std::uint64_t Before = Renders();
        E.Show();
        // The pending resize, the two Julia sliders that move, the threshold slider, the show itself.
        QCOMPARE(Renders() - Before, 5u);
        QCOMPARE(E.Get<QSlider>("Slide_Julia_Imag")->value(), 6000);
        QCOMPARE(E.Get<QSlider>("Slide_Julia_Real")->value(), -4001);
        QCOMPARE(E.Get<QSlider>("Slide_NumIter")->value(), 100);
        QCOMPARE(E.Get<QSlider>("Slide_Thresh")->value(), 4000);
        QCOMPARE(E.Get<QLabel>("Lab_Val_Iter")->text(), QStringLiteral("100"));
        QCOMPARE(E.Get<QLineEdit>("LineEdit_Julia_I")->text(), QStringLiteral("0.600000"));
        QCOMPARE(E.Get<QLineEdit>("LineEdit_Julia_R")->text(), QStringLiteral("-0.400100"));
        QCOMPARE(E.Get<QLabel>("Lab_Val_Thresh")->text(), QStringLiteral("4.000000"));
        COMPARE_PICTURE(E, Picture{});

        QCOMPARE(E.Boxes.Seen.size(), 1);
        const Box_Seen& Box = E.Boxes.Seen.first();
        Pellarion Probe;
        QCOMPARE(Box.Icon, QMessageBox::Information);
        QCOMPARE(Box.Title, QString::fromUtf8(Maker_Domain));
        QCOMPARE(Box.Text, QStringLiteral("GPU Found: ") + QString::fromUtf8(Probe.GPU_Name) + " | CC: 0.0");
        QCOMPARE(Box.Buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

        // Restoring the window keeps what the user set, renders nothing and asks nothing.
        E.Get<QSlider>("Slide_NumIter")->setValue(40);
        E.Window.hide();
        const std::uint64_t Hidden = Renders();
        E.Show();
        QCOMPARE(Renders(), Hidden);
        QCOMPARE(E.Boxes.Seen.size(), 1);
        QCOMPARE(E.Get<QSlider>("Slide_NumIter")->value(), 40);
        COMPARE_PICTURE(E, (Picture{false, -2, 2, -2, 2, -0.4001f, 0.6f, 4.0f, 40}));
    }

    void Sliders_And_Combo_Boxes_Render_With_Their_Values()
    {
        Explorer E;
        E.Show();
        Picture P;
        auto Renders_Once = [&](auto Change) {
            const std::uint64_t Before = Renders();
            Change();
            return Renders() - Before == 1;
        };
        QVERIFY(Renders_Once([&] { E.Get<QSlider>("Slide_NumIter")->setValue(37); }));
        P.Iterations = 37;
        QCOMPARE(E.Get<QLabel>("Lab_Val_Iter")->text(), QStringLiteral("37"));
        COMPARE_PICTURE(E, P);

        QVERIFY(Renders_Once([&] { E.Get<QSlider>("Slide_Thresh")->setValue(2500); }));
        P.Threshold = 2.5f;
        QCOMPARE(E.Get<QLabel>("Lab_Val_Thresh")->text(), QStringLiteral("2.500000"));
        COMPARE_PICTURE(E, P);

        QVERIFY(Renders_Once([&] { E.Get<QSlider>("Slide_Julia_Real")->setValue(2850); }));
        QVERIFY(Renders_Once([&] { E.Get<QSlider>("Slide_Julia_Imag")->setValue(-100); }));
        P.C_Real = 0.285f;
        P.C_Imag = -0.01f;
        QCOMPARE(E.Get<QLineEdit>("LineEdit_Julia_R")->text(), QStringLiteral("0.285000"));
        QCOMPARE(E.Get<QLineEdit>("LineEdit_Julia_I")->text(), QStringLiteral("-0.010000"));
        COMPARE_PICTURE(E, P);

        // Item 1 is "HSV", the table of value 3; item 2 "JET", value 2.
        QVERIFY(Renders_Once([&] { E.Get<QComboBox>("Combo_Cmap")->setCurrentIndex(1); }));
        P.Colormap = HSV;
        COMPARE_PICTURE(E, P);
        QVERIFY(Renders_Once([&] { E.Get<QComboBox>("Combo_Cmap")->setCurrentIndex(2); }));
        P.Colormap = JET;
        COMPARE_PICTURE(E, P);
        QVERIFY(Renders_Once([&] { E.Get<QComboBox>("Combo_Cmap")->setCurrentIndex(-1); }));
        COMPARE_PICTURE(E, P);

        QVERIFY(Renders_Once([&] { E.Get<QComboBox>("Combo_Set")->setCurrentIndex(1); }));
        P.Mandelbrot = true;
        COMPARE_PICTURE(E, P);
    }

    void Typed_Julia_Values()
    {
        Explorer E;
        E.Show();
        QSlider* Slider = E.Get<QSlider>("Slide_Julia_Real");
        std::uint64_t Before = Renders();
        E.Type("LineEdit_Julia_R", "2");
        QCOMPARE(Slider->value(), 20000);
        QCOMPARE(Renders() - Before, 2u);
        COMPARE_PICTURE(E, (Picture{false, -2, 2, -2, 2, 2.0f, 0.6f}));

        Before = Renders();
        E.Type("LineEdit_Julia_R", "-2.0001");
        QCOMPARE(E.Boxes.Seen.last().Icon, QMessageBox::Warning);
        QCOMPARE(E.Boxes.Seen.last().Text, QStringLiteral("Julia Values are limited to (-2.0 --> +2.0)"));
        QCOMPARE(Renders(), Before);
        QCOMPARE(Slider->value(), 20000);
        QCOMPARE(E.Get<QLineEdit>("LineEdit_Julia_R")->text(), QStringLiteral("-2.0001"));

        // The slider moves and renders -0.4001 first; the typed -0.4 is what stays.
        Before = Renders();
        E.Type("LineEdit_Julia_R", "-0.4");
        QCOMPARE(Renders() - Before, 2u);
        QCOMPARE(Slider->value(), -4001);
        QCOMPARE(E.Get<QLineEdit>("LineEdit_Julia_R")->text(), QStringLiteral("-0.400100"));
        COMPARE_PICTURE(E, (Picture{false, -2, 2, -2, 2, -0.4f, 0.6f}));

        // Same slider position: one render, the text stays as typed.
        Before = Renders();
        E.Type("LineEdit_Julia_I", "0.60001");
        QCOMPARE(Renders() - Before, 1u);
        QCOMPARE(E.Get<QLineEdit>("LineEdit_Julia_I")->text(), QStringLiteral("0.60001"));
        COMPARE_PICTURE(E, (Picture{false, -2, 2, -2, 2, -0.4f, 0.60001f}));

        E.Type("LineEdit_Julia_I", "1e39");
        QCOMPARE(E.Boxes.Seen.last().Icon, QMessageBox::Critical);
        QCOMPARE(E.Boxes.Seen.last().Text, QStringLiteral("Invalid Number!"));
    }

    void Typed_Centres()
    {
        Explorer E;
        E.Show();
        std::uint64_t Before = Renders();
        E.Get<QLineEdit>("LineEdit_Y")->setText("0.0");
        E.Type("LineEdit_X", "10");
        QCOMPARE(Renders() - Before, 1u);
        COMPARE_PICTURE(E, (Picture{false, 8, 12, -2, 2}));
        QCOMPARE(E.Get<QLineEdit>("LineEdit_X")->text(), QStringLiteral("10"));

        const int Boxes = E.Boxes.Seen.size();
        Before = Renders();
        E.Type("LineEdit_X", "10.5");
        E.Type("LineEdit_Y", "-0.5"); // both fields are read, so X still refuses
        QCOMPARE(E.Boxes.Seen.size(), Boxes + 2);
        QCOMPARE(E.Boxes.Seen.last().Text, QStringLiteral("Coordinates are limited to (-10.0 --> +10.0)"));
        E.Type("LineEdit_X", "1e39");
        QCOMPARE(E.Boxes.Seen.last().Text, QStringLiteral("Invalid Number!"));
        // An empty field cannot be read: refused, not taken as 0.
        E.Get<QLineEdit>("LineEdit_Y")->clear();
        E.Type("LineEdit_X", "1");
        QCOMPARE(E.Boxes.Seen.last().Text, QStringLiteral("Invalid Number!"));
        QCOMPARE(Renders(), Before);
        COMPARE_PICTURE(E, (Picture{false, 8, 12, -2, 2}));
    }

    void Typed_Numbers_Are_Read_As_The_Validator_Reads_Them()
    {
        const QLocale Saved;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        {
            Explorer E;
            E.Show();
            E.Get<QLineEdit>("LineEdit_Y")->setText("0,25");
            E.Type("LineEdit_X", "1,5");
            COMPARE_PICTURE(E, (Picture{false, -0.5f, 3.5f, -1.75f, 2.25f}));
        }
        QLocale::setDefault(Saved);
    }

    void A_Drag_Step_Pans_By_The_Pointer_Movement()
    {
        Explorer E;
        E.Show();
        const QSize Size = E.View()->size();
        E.Mouse(QEvent::MouseButtonPress, Qt::LeftButton, {100, 100});
        const std::uint64_t Before = Renders();
        E.Mouse(QEvent::MouseMove, Qt::NoButton, {103, 100});
        E.Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, {103, 100});
        QCOMPARE(Renders() - Before, 1u);
        const double Dx = 3.0 / Size.width() * 4.0f;
        const float X_Min = float(-2.0f - Dx), X_Max = float(2.0f - Dx);
        COMPARE_PICTURE(E, (Picture{false, X_Min, X_Max, -2, 2}));
        QCOMPARE(E.Get<QLineEdit>("LineEdit_X")->text(),
                 QString::number(double(float((X_Max - X_Min) * 0.5 + X_Min)), 'G', 7));
        QCOMPARE(E.Get<QLineEdit>("LineEdit_Y")->text(), QStringLiteral("0"));
    }

    void Zoom_Steps_Scale_About_The_Centre_And_Stop_At_The_Limits()
    {
        Explorer E;
        E.Show();
        const QImage Start = E.Shown();
        E.Wheel(E.View()->viewport(), 120);
        COMPARE_PICTURE(E, (Picture{false, -2.3f, 2.3f, -2.3f, 2.3f}));
        E.Wheel(E.View()->viewport(), -120);
        int Differing = 0;
        const QImage Back = E.Shown();
        for (int y = 0; y < Start.height(); ++y)
            for (int x = 0; x < Start.width(); ++x)
                Differing += Start.pixel(x, y) != Back.pixel(x, y);
        QVERIFY(Differing < Start.width() * Start.height() / 100);

        // Zooming in past what floats resolve, or out past their range, is refused and renders nothing.
        auto Zoom = [&](float Factor) {
            const std::uint64_t Before = Renders();
            QMetaObject::invokeMethod(&E.Window, "Scale", Q_ARG(float, Factor));
            return Renders() - Before;
        };
        // Powers of two keep every step exact: 4 * 2^-120 is still a normal float, 4 * 2^-180 is zero.
        const float In = std::ldexp(1.0f, -60), Out = std::ldexp(1.0f, 60), Far_Out = std::ldexp(1.0f, 100);
        const QImage Before_The_Limits = E.Shown();
        QCOMPARE(Zoom(In), 1u);
        QCOMPARE(Zoom(In), 1u);
        QCOMPARE(Zoom(In), 0u);
        QCOMPARE(Zoom(Out), 1u);
        QCOMPARE(Zoom(Out), 1u);
        QVERIFY(Same_Picture(E.Shown(), Before_The_Limits));
        QCOMPARE(Zoom(Far_Out), 1u);
        QCOMPARE(Zoom(Far_Out), 0u);
        QVERIFY(!E.Shown().isNull());

        // A wheel turned over a label reaches the window, which does nothing with it.
        const std::uint64_t Before = Renders();
        E.Wheel(E.Get<QLabel>("Lab_Julia_R"), 120);
        QCOMPARE(Renders(), Before);
    }

    void A_View_Without_Area_Renders_Nothing_And_Survives()
    {
        Explorer E;
        E.Show();
        E.View()->setFixedHeight(0);
        E.Window.resize(530, 560);
        QTRY_COMPARE(E.View()->height(), 0);
        Captured_Stdout Out;
        E.Window.resize(540, 560);
        QVERIFY(E.Shown().isNull());
        QCOMPARE(Out.Lines_Saying("Internal Error!"), 0);
    }

    void Without_A_Device_The_Window_Says_So_And_Shows_Black()
    {
        for (const bool Old_Driver : {false, true}) {
            Soft_Control::Reset_Faults();
            if (Old_Driver)
                Soft_Control::Report_Old_Driver(true);
            else
                Soft_Control::Report_No_Device(true);
            Captured_Stdout Out;
            {
                Explorer E;
                E.Show();
                QCOMPARE(E.Boxes.Seen.size(), 1);
                QCOMPARE(E.Boxes.Seen.first().Icon, QMessageBox::Critical);
                QCOMPARE(E.Boxes.Seen.first().Text,
                         Old_Driver ? QStringLiteral("Please Update your Graphics drivers!")
                                    : QStringLiteral("No supported GPU Device found! This demo requires an nVidia GPU "
                                                     "900 series or newer!"));
                const QImage Black = E.Shown();
                QCOMPARE(Black.size(), E.View()->size());
                for (int y = 0; y < Black.height(); ++y)
                    for (int x = 0; x < Black.width(); ++x)
                        QCOMPARE(Black.pixel(x, y), qRgba(0, 0, 0, 255));
                E.Get<QSlider>("Slide_NumIter")->setValue(10);
            }
            // One line for each of the six renders: resize, three sliders at the show, the show, the slider here.
            QCOMPARE(Out.Lines_Saying("Internal Error!"), 6);
        }
        Soft_Control::Reset_Faults();
    }
};

QTEST_MAIN(Main_Window_Test)
#include "MainWindowTest.moc"
