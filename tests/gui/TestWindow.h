// What the program's tests share: a window with a helper for every way a user touches it, what it
// shows, and the pictures the library renders for the same parameters, converted here.
#pragma once

#include <QtTest>
#include <QtWidgets>

#include <Pellarion.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <unistd.h>

#include "GPU_Graphics.h"
#include "MainWindow.h"
#include "RenderScheduler.h"


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
    QString Dialog_Folder; // where the last file dialog opened

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
                Dialog_Folder = Dialog->directory().absolutePath();
                // Typed into the name field, then Return, as a user would (queued: the dialog may ask a
                // question, which this timer must be free to answer).
                auto* Name = Dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                if (Name && Name->text() != File_To_Choose) {
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

// How many lines of standard output (where the program reports a render without an image) say Line
// while Do runs. QtTest logs there too, so Do's checks are made after the capture.
inline int Stdout_Lines_Saying(const char* Line, const std::function<void()>& Do)
{
    std::fflush(stdout);
    const int Saved = dup(1);
    FILE* File = std::tmpfile();
    dup2(fileno(File), 1);
    Do();
    std::fflush(stdout);
    dup2(Saved, 1), close(Saved), std::rewind(File);
    int Count = 0;
    for (char Text[256]; std::fgets(Text, sizeof(Text), File);)
        Count += std::strcmp(Text, Line) == 0;
    std::fclose(File);
    return Count;
}

struct Picture {
    bool Mandelbrot = false;
    float X_Min = -2.0f, X_Max = 2.0f, Y_Min = -2.0f, Y_Max = 2.0f, C_Real = -0.4001f, C_Imag = 0.6f, Threshold = 4.0f;
    int Iterations = 100;
    Colormap_t Colormap = MORGENSTEMNING;
};

// The window under test: the one the last Test_Window made.
inline MainWindow* Current_Window = nullptr;

// Until the window has rendered what its input asked for: no render waiting, none in flight.
inline bool Settle(MainWindow& Window = *Current_Window)
{
    auto* Timer = Window.findChild<QTimer*>(QStringLiteral("Render_Timer"));
    auto* Progress = Window.findChild<QProgressBar*>(QStringLiteral("Status_Progress"));
    return Timer && Progress && QTest::qWaitFor([&] { return !Timer->isActive() && Progress->isHidden(); }, 60000);
}

// Renders started while Do runs and the window settles afterwards, of either engine.
inline int Renders_During(const std::function<void()>& Do, MainWindow& Window = *Current_Window)
{
    QSignalSpy Started(Window.findChild<Render_Scheduler*>(QStringLiteral("Render_Scheduler")), &Render_Scheduler::Started);
    Do();
    if (!Settle(Window))
        return -1;
    return int(Started.count());
}

// The window's controls, a helper for every way a user touches them, and what the view shows.
class Test_Window {
public:
    MainWindow Window;
    Box_Answerer Boxes;

    Test_Window() // small pictures keep the software device quick
    {
        Current_Window = &Window;
        Window.resize(520, 560);
    }

    void Show()
    {
        Window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&Window));
        QVERIFY(Settle(Window));
    }

    template <typename T>
    T* Get(const char* Name) { return Window.findChild<T*>(QLatin1String(Name)); }
    GPU_Graphics* View() { return Window.findChild<GPU_Graphics*>(); }

    QGraphicsPixmapItem* Picture_Item()
    {
        for (QGraphicsItem* Item : View()->scene()->items())
            if (auto* Pixmap = dynamic_cast<QGraphicsPixmapItem*>(Item))
                return Pixmap;
        return nullptr;
    }
    QImage Shown() { return Picture_Item() ? Picture_Item()->pixmap().toImage() : QImage(); }
    QString Notice() { return Get<QLabel>("Status_Notice")->text(); }

    QString Copied_Position()
    {
        Get<QAction>("Action_Copy_Position")->trigger();
        return QApplication::clipboard()->text();
    }

    // The value of one "key = value" line of the copied position.
    QString Copied(const char* Key)
    {
        const QRegularExpression Line(QStringLiteral("\\n%1 = ([^\\n]+)").arg(QLatin1String(Key)));
        return Line.match(Copied_Position()).captured(1);
    }

    // Runs the action, its file dialog answered with File.
    void File_Action(const char* Action, const QString& File)
    {
        Boxes.File_To_Choose = File;
        Get<QAction>(Action)->trigger();
    }

    void Type(const char* Edit_Name, const QString& Text)
    {
        Get<QLineEdit>(Edit_Name)->setText(Text);
        QTest::keyClick(Get<QLineEdit>(Edit_Name), Qt::Key_Return);
    }

    // The centre typed (Y first, then X with Return), and the picture of it rendered.
    bool Centre_On(const QString& X, const QString& Y)
    {
        Get<QLineEdit>("LineEdit_Y")->setText(Y);
        Type("LineEdit_X", X);
        return Settle(Window);
    }

    void Mouse(QEvent::Type Type, Qt::MouseButton Button, QPoint At, Qt::MouseButtons Held = Qt::LeftButton)
    {
        QWidget* Viewport = View()->viewport();
        QMouseEvent Event(Type, QPointF(At), QPointF(Viewport->mapToGlobal(At)), Button, Held, Qt::NoModifier);
        QApplication::sendEvent(Viewport, &Event);
    }

    // A drag, left unless told: pressed at From, moved through each point, released at the last.
    void Drag(QPoint From, const QList<QPoint>& Through, Qt::MouseButton Button = Qt::LeftButton)
    {
        Mouse(QEvent::MouseButtonPress, Button, From, Button);
        for (const QPoint At : Through)
            Mouse(QEvent::MouseMove, Qt::NoButton, At, Button);
        Mouse(QEvent::MouseButtonRelease, Button, Through.last(), Qt::NoButton);
    }

    // A wheel event at At (the target's centre by default), turned by Delta.
    void Wheel(QWidget* Target, QPoint Delta, std::optional<QPointF> At = {})
    {
        const QPointF Where = At.value_or(QPointF(Target->width() / 2.0, Target->height() / 2.0));
        QWheelEvent Event(Where, Target->mapToGlobal(Where), QPoint(), Delta, Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(Target, &Event);
    }
};

// How most tests start: the window shown, and its first picture rendered.
struct Shown_Window : Test_Window {
    Shown_Window() { Show(); }
};

// The first argument of every signal a spy caught.
template <typename T>
QList<T> First_Arguments(const QSignalSpy& Spy)
{
    QList<T> Values;
    for (const QList<QVariant>& Emitted : Spy)
        Values << Emitted[0].value<T>();
    return Values;
}


// Lines the view's diagnostics category writes while Do runs.
inline int View_Lines_During(const std::function<void()>& Do)
{
    static int Lines;
    Lines = 0;
    const QtMessageHandler Before = qInstallMessageHandler([](QtMsgType, const QMessageLogContext& Where, const QString&) {
        Lines += qstrcmp(Where.category, "vorlane.view") == 0;
    });
    Do();
    qInstallMessageHandler(Before);
    return Lines;
}

// A centre field's text: within a twentieth of a pixel of Centre (rounded to a tenth of one), and no
// more decimals than that takes.
inline bool Centre_Shown(const QString& Text, long double Centre, double Pixel)
{
    const int Decimals = Text.contains('.') ? int(Text.size() - Text.indexOf('.') - 1) : 0;
    return std::fabs(double(std::strtold(Text.toLatin1().constData(), nullptr) - Centre)) <= Pixel / 20 &&
           Decimals <= int(std::ceil(-std::log10(Pixel / 10)));
}

// The float window centred on (X, Y), W by H: each edge rounded once from the exact one.
inline Picture Window_At(long double X, long double Y, long double W, long double H, Picture P = {})
{
    P.X_Min = float(X - W / 2), P.X_Max = float(X + W / 2), P.Y_Min = float(Y - H / 2), P.Y_Max = float(Y + H / 2);
    return P;
}

// What the first show's box and the status line call the device the library found.
struct Device_Words {
    QString Box, Status;
};
inline Device_Words Device_Named()
{
    const Pellarion Engine;
    const QString Name = QString::fromUtf8(Engine.GPU_Name);
    if (Engine.CC_Major == 0)
        return {"No NVIDIA GPU was found: pictures are computed on the CPU by the " + Name + ".", "CPU"};
    return {QString("GPU Found: %1 | CC: %2.%3").arg(Name).arg(Engine.CC_Major).arg(Engine.CC_Minor), Name};
}

// The picture the library renders for these parameters at the view's size, as an opaque ARGB32 image.
inline QImage Expected(QSize Size, const Picture& P)
{
    Pellarion Engine;
    Engine.Compute_Init(Size.width(), Size.height(), P.X_Min, P.X_Max, P.Y_Min, P.Y_Max, P.Colormap);
    if (P.Mandelbrot)
        Engine.Compute_MandelBrot(P.Threshold, P.Iterations, 50);
    else
        Engine.Compute_Julia(P.Threshold, P.Iterations, 50, P.C_Real, P.C_Imag);
    // Bytes R, G, B and one ignored, as Qt's own converter reads them.
    return QImage(Engine.Host_Image, Size.width(), Size.height(), 4 * Size.width(), QImage::Format_RGBX8888)
        .convertToFormat(QImage::Format_ARGB32);
}

inline bool Same_Picture(const QImage& Shown, const QImage& Wanted)
{
    return Shown.convertToFormat(QImage::Format_ARGB32) == Wanted.convertToFormat(QImage::Format_ARGB32);
}

// The picture is rendered at the view's size in device pixels.
inline QSize Device_Size(const GPU_Graphics* View)
{
    return View->size() * View->devicePixelRatioF();
}

#define COMPARE_PICTURE(E, P) \
    QVERIFY(Settle((E).Window) && Same_Picture((E).Shown(), Expected(Device_Size((E).View()), (P))))

