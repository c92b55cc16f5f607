// The main window on the software device: every control, drag step and wheel turn, checked against
// the library rendering the same parameters and converted pixel by pixel here.
#include <QApplication>
#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSlider>
#include <QStatusBar>
#include <QTemporaryDir>
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

// Answers every modal message box with Ok, as a user would, and remembers what it said; a file
// dialog gets File_To_Choose.
class Box_Answerer : public QObject {
public:
    QList<Box_Seen> Seen;
    QString File_To_Choose;

    Box_Answerer()
    {
        connect(&Poll, &QTimer::timeout, this, [this] {
            QWidget* Modal = QApplication::activeModalWidget();
            if (auto* Box = qobject_cast<QMessageBox*>(Modal); Box && Box->standardButtons() & QMessageBox::Yes) {
                Box->button(QMessageBox::Yes)->click(); // the file dialog's question: replace the file? yes
            } else if (Box) {
                Seen.append({Box->icon(), Box->windowTitle(), Box->text(), Box->standardButtons()});
                Box->done(QMessageBox::Ok);
            } else if (auto* Dialog = qobject_cast<QFileDialog*>(Modal)) {
                // Typed into the dialog's name field, then Return, as a user would.
                // (Queued: the dialog may ask a question, which this timer must be free to answer.)
                if (auto* Name = Dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")); Name && Name->text() != File_To_Choose) {
                    Name->setText(File_To_Choose);
                    QTimer::singleShot(0, Name, [Name] { QTest::keyClick(Name, Qt::Key_Return); });
                }
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

// The picture is rendered at the view's size in device pixels.
QSize Device_Size(const GPU_Graphics* View)
{
    return View->size() * View->devicePixelRatioF();
}

#define COMPARE_PICTURE(E, P) QVERIFY(Same_Picture((E).Shown(), Expected(Device_Size((E).View()), (P))))

} // namespace

class Main_Window_Test : public QObject {
    Q_OBJECT

private slots:
    void init() { Soft_Control::Reset_Faults(); }

    void The_First_Show_Resets_Renders_And_Reports_The_Device()
    {
        {
            // The first size is the one asked for, within the screen (offscreen: a small one).
            MainWindow Fresh;
            QVERIFY(Fresh.size().width() <= Fresh.screen()->availableGeometry().width());
            QVERIFY(Fresh.size().height() <= Fresh.screen()->availableGeometry().height());
            QCOMPARE(Fresh.size(), QSize(1600, 1200).boundedTo(Fresh.screen()->availableGeometry().size()));
        }
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
        QCOMPARE(Box.Text, "No NVIDIA GPU was found: pictures are computed on the CPU by the " +
                               QString::fromUtf8(Probe.GPU_Name) + ".");
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

    // Every typed value, in the C locale and in two that write numbers with a decimal comma: the
    // program reads and writes one convention (a decimal point) whatever the locale.
    void Typed_Values_data()
    {
        QTest::addColumn<QLocale>("Locale");
        QTest::newRow("C") << QLocale::c();
        QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany);
        QTest::newRow("fr_FR") << QLocale(QLocale::French, QLocale::France);
    }

    void Typed_Values()
    {
        QFETCH(QLocale, Locale);
        const QLocale Saved;
        QLocale::setDefault(Locale);
        Explorer E;
        E.Show();
        QSlider* Slider = E.Get<QSlider>("Slide_Julia_Real");
        QLineEdit* Real = E.Get<QLineEdit>("LineEdit_Julia_R");
        auto Renders_For = [&](const char* Edit, const QString& Text) {
            const std::uint64_t Before = Renders();
            E.Type(Edit, Text);
            return Renders() - Before;
        };
        auto Last_Box = [&] { return E.Boxes.Seen.isEmpty() ? QString() : E.Boxes.Seen.last().Text; };

        // What the program wrote reads back as itself: the Julia fields after the first show, the centre
        // fields after a drag. Return re-renders the same picture and asks nothing.
        QCOMPARE(Renders_For("LineEdit_Julia_I", E.Get<QLineEdit>("LineEdit_Julia_I")->text()), 1u);
        QCOMPARE(Renders_For("LineEdit_Julia_R", Real->text()), 1u);
        COMPARE_PICTURE(E, Picture{});
        E.Mouse(QEvent::MouseButtonPress, Qt::LeftButton, {100, 100});
        E.Mouse(QEvent::MouseMove, Qt::NoButton, {117, 93});
        E.Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, {117, 93});
        const QString X_Text = E.Get<QLineEdit>("LineEdit_X")->text(), Y_Text = E.Get<QLineEdit>("LineEdit_Y")->text();
        const int Boxes = E.Boxes.Seen.size();
        QCOMPARE(Renders_For("LineEdit_X", X_Text), 1u);
        QCOMPARE(E.Boxes.Seen.size(), Boxes);
        const double Dx = 17.0 / E.View()->width() * 4.0f, Dy = -7.0 / E.View()->height() * 4.0f;
        QVERIFY(std::fabs(X_Text.toDouble() - -Dx) < 1e-6 && std::fabs(Y_Text.toDouble() - -Dy) < 1e-6);

        // A typed Julia value is used and shown as typed, renders once; the slider follows.
        QCOMPARE(Renders_For("LineEdit_Julia_R", "-0.8"), 1u);
        QCOMPARE(Slider->value(), -8001);
        QCOMPARE(Real->text(), QStringLiteral("-0.8"));
        QCOMPARE(Renders_For("LineEdit_Julia_R", "2"), 1u);
        QCOMPARE(Slider->value(), 20000);
        QCOMPARE(Renders_For("LineEdit_Julia_I", "0.60001"), 1u);

        // Refused values change nothing, render nothing, and the field shows the value in use again.
        struct Refusal {
            const char* Edit;
            const char* Text;
            const char* Box;
        };
        const QString Julia_Limit = QStringLiteral("Julia Values are limited to (-2.0 --> +2.0)");
        const QString Centre_Limit = QStringLiteral("Coordinates are limited to (-10.0 --> +10.0)");
        for (const Refusal& R : {Refusal{"LineEdit_Julia_R", "-2.0001", "Julia"}, Refusal{"LineEdit_Julia_R", "0,5", "Invalid"},
                                 Refusal{"LineEdit_Julia_R", "1e39", "Invalid"}, Refusal{"LineEdit_Julia_I", "abc", "Invalid"},
                                 Refusal{"LineEdit_Julia_I", "-", "Invalid"}, Refusal{"LineEdit_Julia_I", "", "Invalid"},
                                 Refusal{"LineEdit_X", "10.5", "Centre"}, Refusal{"LineEdit_Y", "0,5", "Invalid"},
                                 Refusal{"LineEdit_X", "1e39", "Invalid"}}) {
            const QString In_Use = E.Get<QLineEdit>(R.Edit)->text();
            QCOMPARE(Renders_For(R.Edit, QString::fromLatin1(R.Text)), 0u);
            QCOMPARE(Last_Box(), R.Box[0] == 'J' ? Julia_Limit : R.Box[0] == 'C' ? Centre_Limit
                                                                               : QStringLiteral("Invalid Number!"));
            QCOMPARE(E.Get<QLineEdit>(R.Edit)->text(), R.Edit[9] == 'J' ? (R.Edit[15] == 'R' ? QStringLiteral("2.000000")
                                                                                            : QStringLiteral("0.600010"))
                                                                       : In_Use);
        }
        QCOMPARE(Slider->value(), 20000);
        COMPARE_PICTURE(E, (Picture{false, float(-2.0f - Dx), float(2.0f - Dx), float(-2.0f - Dy), float(2.0f - Dy), 2.0f,
                                    0.60001f}));

        // The centre limit is inclusive; both fields are read.
        E.Get<QLineEdit>("LineEdit_Y")->setText("0.0");
        QCOMPARE(Renders_For("LineEdit_X", "10"), 1u);
        COMPARE_PICTURE(E, (Picture{false, 8, 12, -2, 2, 2.0f, 0.60001f}));
        QCOMPARE(E.Get<QLineEdit>("LineEdit_X")->text(), QStringLiteral("10"));
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

    // Run once more by the suite with QT_SCALE_FACTOR=2: every device pixel is rendered, and a drag
    // moves the picture by as many logical pixels as the pointer moved.
    void High_DPI_Pictures_Are_Sharp()
    {
        Explorer E;
        E.Show();
        QCOMPARE(E.View()->devicePixelRatioF(), qEnvironmentVariable("QT_SCALE_FACTOR", "1").toDouble());
        QCOMPARE(E.Shown().size(), Device_Size(E.View()));
        COMPARE_PICTURE(E, Picture{});
        E.Mouse(QEvent::MouseButtonPress, Qt::LeftButton, {100, 100});
        E.Mouse(QEvent::MouseMove, Qt::NoButton, {200, 100});
        E.Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, {200, 100});
        const double Dx = 100.0 / E.View()->width() * 4.0f;
        COMPARE_PICTURE(E, (Picture{false, float(-2.0f - Dx), float(2.0f - Dx), -2, 2}));
        E.Wheel(E.View()->viewport(), -120);
        const float Half = float(4.0f * 0.8695652f) * 0.5f, Centre = float(4.0f * 0.5 + float(-2.0f - Dx));
        COMPARE_PICTURE(E, (Picture{false, Centre - Half, Centre + Half, -Half, Half}));
    }

    void Saving_The_Picture()
    {
        Explorer E;
        E.Show();
        QAction* Save = nullptr;
        for (QAction* Action : E.Window.actions())
            if (Action->shortcut() == QKeySequence(QKeySequence::Save))
                Save = Action;
        QVERIFY(Save);
        QTemporaryDir Folder;
        const QString Kept = Folder.filePath("kept.xyz");
        QFile Existing(Kept);
        QVERIFY(Existing.open(QIODevice::WriteOnly) && Existing.write("keep") == 4);
        Existing.close();
        // Exactly as rendered, at full resolution; PNG where the name has no extension.
        for (const QString& Name : {QStringLiteral("picture.png"), QStringLiteral("picture"), QStringLiteral("picture.bmp")}) {
            E.Boxes.File_To_Choose = Folder.filePath(Name);
            Save->trigger();
            const QImage Written(Folder.filePath(Name.contains('.') ? Name : Name + ".png"));
            QCOMPARE(Written.size(), Device_Size(E.View()));
            QVERIFY(Same_Picture(Written, E.Shown()));
        }
        // A format that cannot be written, or a place where nothing can be written: a message, and
        // nothing lost.
        int Boxes = E.Boxes.Seen.size();
        for (const QString& Path : {Kept, QStringLiteral("/proc/vorlane-picture.png")}) {
            E.Boxes.File_To_Choose = Path;
            Save->trigger();
            QCOMPARE(E.Boxes.Seen.size(), ++Boxes);
            QVERIFY2(E.Boxes.Seen.last().Text.startsWith("The picture could not be saved to " + Path),
                     qPrintable(E.Boxes.Seen.last().Text));
        }
        QVERIFY(Existing.open(QIODevice::ReadOnly));
        QCOMPARE(Existing.readAll(), QByteArray("keep"));
    }

    void The_Status_Line_Says_Where_The_Pointer_Is()
    {
        Explorer E;
        E.Show();
        auto Pointer_At = [&](QPoint At) {
            QMouseEvent Move(QEvent::MouseMove, QPointF(At), QPointF(E.View()->viewport()->mapToGlobal(At)), Qt::NoButton,
                             Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(E.View()->viewport(), &Move);
            return E.Window.statusBar()->currentMessage();
        };
        const QString Line = Pointer_At({40, 30});
        QVERIFY2(Line.startsWith("CPU  |  ") && Line.contains(" ms  |  "), qPrintable(Line));
        const QRegularExpressionMatch Point = QRegularExpression("x = (-?[0-9.]+), y = (-?[0-9.]+)").match(Line);
        QVERIFY2(Point.hasMatch(), qPrintable(Line));
        // The plane point of the pixel under the pointer, to a digit finer than a pixel and no coarser.
        const QSize Size = Device_Size(E.View());
        const double Step_X = 4.0 / (Size.width() - 1), Step_Y = 4.0 / (Size.height() - 1);
        const double Ratio = E.View()->devicePixelRatioF();
        QVERIFY(std::fabs(Point.captured(1).toDouble() - (-2.0 + Step_X * 40 * Ratio)) <= Step_X);
        QVERIFY(std::fabs(Point.captured(2).toDouble() - (-2.0 + Step_Y * 30 * Ratio)) <= Step_Y);
        const int Decimals = int(Point.captured(1).size() - Point.captured(1).indexOf('.') - 1);
        QVERIFY(std::pow(10.0, -Decimals) <= Step_X && std::pow(10.0, 1 - Decimals) > Step_X);
        QVERIFY(!Line.contains("single precision"));

        // Zoomed to a width of 1e-5 near -0.74 + 0.13i, a pixel is a few float steps wide: said so.
        E.Type("LineEdit_Y", "0.13");
        E.Type("LineEdit_X", "-0.74");
        QMetaObject::invokeMethod(&E.Window, "Scale", Q_ARG(float, 2.5e-6f));
        QVERIFY(Pointer_At({40, 30}).contains("single precision limit: zooming further only enlarges the pixels"));
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
        // No device, an old driver, a device no kernel image serves.
        for (const int Fault : {0, 1, 2}) {
            const bool Old_Driver = Fault == 1;
            Soft_Control::Reset_Faults();
            Soft_Control::Report_No_Device(Fault == 0);
            Soft_Control::Report_Old_Driver(Fault == 1);
            Soft_Control::Report_No_Kernel_Image(Fault == 2);
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
