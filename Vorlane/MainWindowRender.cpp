// The renders of the main window: when they start, which engine makes them, and how the picture on
// screen follows the view until the next one arrives.
#include "MainWindow.h"

#include <QElapsedTimer>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QTimer>

#include <Colormaps.h>

#include <algorithm>
#include <cstdio>

#include "DeepWorker.h"
#include "Diagnostics.h"
#include "GPU_Graphics.h"
#include "PictureHandoff.h"
#include "RenderChoice.h"
#include "RenderEvents.h"
#include "StatusLine.h"

namespace {

// Iterations per kernel launch: long renders are cut into short launches.
constexpr int Iterations_Per_Launch = 50;

// A render starts once input has paused this long, or at the latest this long after the first input
// it answers: a burst of wheel turns renders once, a long drag now and then.
constexpr int Quiet_Milliseconds = 30;
constexpr int Longest_Wait_Milliseconds = 250;

constexpr int Progress_Milliseconds = 50;

bool Same_View(const Kestrine_Deep::Deep_View& A, const Kestrine_Deep::Deep_View& B)
{
    return A.Set == B.Set && A.Centre_Re == B.Centre_Re && A.Centre_Im == B.Centre_Im && A.Width == B.Width &&
           A.Height == B.Height && A.Image_Width == B.Image_Width && A.Image_Height == B.Image_Height &&
           A.Iterations == B.Iterations && A.Threshold == B.Threshold && A.C_Re == B.C_Re && A.C_Im == B.C_Im;
}

} // namespace

void MainWindow::Set_Up_Rendering()
{
    Events = new Render_Events(this);
    Events->setObjectName(QStringLiteral("Render_Events"));
    Render_Timer = new QTimer(this);
    Render_Timer->setObjectName(QStringLiteral("Render_Timer"));
    Render_Timer->setSingleShot(true);
    Render_Timer->setInterval(Quiet_Milliseconds);
    connect(Render_Timer, &QTimer::timeout, this, [this] { Render_Fractal(); });
    Progress_Timer = new QTimer(this);
    Progress_Timer->setInterval(Progress_Milliseconds);
    connect(Progress_Timer, &QTimer::timeout, this, [this] {
        const Kestrine_Deep::Render_Progress Done = Deep->Progress();
        Status->Show_Progress(Done.Total > 0 ? int(100 * Done.Done / Done.Total) : 0);
    });
    Deep = std::make_unique<Deep_Worker>(this, [this](const Deep_Result& Result) { Take_Deep_Result(Result); });
}

// Every change of the picture's parameters ends here: the picture on screen is moved to the new view
// at once, any deep render of an older one is dropped, and one render follows the input.
void MainWindow::Request_Render()
{
    ++Generation;
    if (Deep)
        Deep->Want_Only(Generation);
    if (Deep_Generation != 0) {
        Deep_Generation = 0;
        Progress_Timer->stop();
        Status->Hide_Progress();
    }
    Show_Moved_Picture();
    if (!Render_Timer->isActive())
        Waiting_Since.start();
    if (!Render_Timer->isActive() || Waiting_Since.elapsed() < Longest_Wait_Milliseconds)
        Render_Timer->start();
}

void MainWindow::Render_Fractal()
{
    Render_Timer->stop();
    if (Square_Pixels)
        Place.Make_Square(Image_Width, Image_Height);
    Take_Place();
    Remember_View();
    if (Image_Width > 0 && Image_Height > 0 && Deep_Needed())
        Start_Deep_Render();
    else
        Render_Float();
}

void MainWindow::Render_Float()
{
    qCDebug(Vorlane_Render) << "Render started: float, width" << Place.Extent_Text(Axis::Real, 1.0, 3).c_str();
    emit Events->Started(false);
    QElapsedTimer Frame;
    Frame.start();
    const std::uint8_t* Rgba = nullptr;
    if (Engine) {
        const int Count = int(Iterations_In_Use());
        // With the imaginary axis up, row 0 is the largest imaginary part.
        Engine->Compute_Init(Image_Width, Image_Height, X_Min, X_Max, Axis_Up ? Y_Max : Y_Min, Axis_Up ? Y_Min : Y_Max,
                             Colormap);
        if (Fractal_Set == 0)
            Engine->Compute_MandelBrot(Threshold, Count, Iterations_Per_Launch);
        else if (Fractal_Set == 1)
            Engine->Compute_Julia(Threshold, Count, Iterations_Per_Launch, Julia_R, Julia_I);
        if (Engine->Width == Image_Width && Engine->Height == Image_Height)
            Rgba = Engine->Host_Image;
    }
    // No image to show: said once a render, and the picture is black rather than undefined.
    if (!Rgba && Image_Width > 0 && Image_Height > 0) {
        std::fputs("Internal Error!\n", stdout);
        std::fflush(stdout);
    }
    Picture = Picture_From_Engine(Rgba, Image_Width, Image_Height);
    Frame_Milliseconds = Frame.nsecsElapsed() / 1e6;
    Number_Type_Name = tr("single");
    Counts_View.reset();
    Show_Picture(Picture, true);
}

void MainWindow::Start_Deep_Render()
{
    Deep_Job Job;
    Job.Generation = Generation;
    Job.View = Deep_View_Now(Image_Width, Image_Height);
    // A preview only where it is a few blocks across.
    const int Step = Deep_Worker::Preview_Step;
    if (Image_Width >= 4 * Step && Image_Height >= 4 * Step) {
        const int Columns = Deep_Worker::Preview_Pixels(Image_Width), Rows = Deep_Worker::Preview_Pixels(Image_Height);
        Job.Preview = Deep_View_Now(Columns, Rows);
        // Spacing Step times the full picture's: the extents of Columns - 1 such steps.
        Job.Preview.Width = Place.Extent_Text(Axis::Real, double(Step) * (Columns - 1) / (Image_Width - 1));
        Job.Preview.Height = Place.Extent_Text(Axis::Imaginary, double(Step) * (Rows - 1) / (Image_Height - 1));
    }
    if (const Kestrine::Colour_Table* Table = Kestrine::Colour_Table_For(Colormap))
        Job.Colours = *Table;
    Job.Mode = Colouring_Mode;
    Job.Density = Density;
    Deep_Generation = Generation;
    Number_Type_Name = QString::fromLatin1(Kestrine_Deep::Number_Type_Name(Kestrine_Deep::Number_Type_For(Job.View)));
    qCDebug(Vorlane_Render).noquote() << "Render started: deep," << (Fractal_Set == 0 ? "Mandelbrot" : "Julia") << "width"
                                      << Job.View.Width.c_str() << "iterations" << Job.View.Iterations << "colouring"
                                      << Kestrine_Deep::Colouring_Name(Job.Mode) << "size" << Image_Width << Image_Height;
    emit Events->Started(true);
    Deep->Start(std::move(Job));
    Status->Show_Progress(0);
    Progress_Timer->start();
}

// Results of an older view are dropped: the program never shows a picture of a view it has left.
void MainWindow::Take_Deep_Result(const Deep_Result& Result)
{
    if (Result.Generation != Generation)
        return;
    if (Result.Preview) {
        QImage Preview = Result.Image;
        Flip_If_Axis_Up(Preview);
        Show_Picture(Preview, false);
        return;
    }
    Deep_Generation = 0;
    Progress_Timer->stop();
    Status->Hide_Progress();
    if (Result.Status != Kestrine_Deep::Render_Status::Finished) {
        Status->Tell(tr("The deep picture could not be rendered: %1").arg(QString::fromStdString(Result.Message)));
        return;
    }
    Picture = Result.Image;
    Flip_If_Axis_Up(Picture);
    Frame_Milliseconds = Result.Stats.Render_Seconds * 1e3;
    Number_Type_Name = QString::fromLatin1(Kestrine_Deep::Number_Type_Name(Result.Stats.Type));
    Last_Counts = Result.Counts;
    Counts_View = Deep_View_Now(Image_Width, Image_Height);
    Show_Picture(Picture, true);
}

void MainWindow::Show_Picture(const QImage& Image, bool Final)
{
    QImage Shown = Image;
    Shown.setDevicePixelRatio(Pixel_Ratio);
    Pixmap_Item->setPixmap(QPixmap::fromImage(Shown));
    Pixmap_Item->setTransform(QTransform());
    // The scene is the picture: a moved picture then never moves the view's own mapping.
    Scene->setSceneRect(QRectF(QPointF(0, 0), Shown.deviceIndependentSize()));
    Picture_Place = Place;
    View->update();
    Show_Status();
    qCDebug(Vorlane_Render).noquote() << "Picture shown:" << (Final ? "final" : "preview") << Number_Type_Name;
    emit Events->Shown(Final);
}

// The deep renderer's row 0 is the smallest imaginary part.
void MainWindow::Flip_If_Axis_Up(QImage& Image) const
{
    if (Axis_Up)
        Image = Image.mirrored(false, true);
}

// The picture on screen scaled and moved to where its part of the plane lies in the view now.
void MainWindow::Show_Moved_Picture()
{
    if (!Pixmap_Item || Image_Width < 2 || Image_Height < 2)
        return;
    const double Scale = Picture_Place.Width_Ratio(Place);
    const QSizeF Size = Pixmap_Item->pixmap().deviceIndependentSize();
    const QPointF Middle(Size.width() / 2, Size.height() / 2);
    const QPointF Offset(Place.Offset_Of(Picture_Place, Axis::Real) * (Image_Width - 1) / Pixel_Ratio,
                         Place.Offset_Of(Picture_Place, Axis::Imaginary) * (Axis_Up ? -1 : 1) * (Image_Height - 1) / Pixel_Ratio);
    if (!std::isfinite(Scale) || !std::isfinite(Offset.x()) || !std::isfinite(Offset.y()))
        return;
    Pixmap_Item->setTransform(QTransform()
                                  .translate(Middle.x() + Offset.x(), Middle.y() + Offset.y())
                                  .scale(Scale, Scale)
                                  .translate(-Middle.x(), -Middle.y()));
    View->viewport()->update();
    qCDebug(Vorlane_Render) << "Picture moved";
}

// A new colouring of the counts on screen needs no iterations; anything else renders.
void MainWindow::Recolour_Or_Render()
{
    const Kestrine::Colour_Table* Table = Kestrine::Colour_Table_For(Colormap);
    if (!Table || !Counts_View || !Deep_Needed() || !Same_View(*Counts_View, Deep_View_Now(Image_Width, Image_Height))) {
        Request_Render();
        return;
    }
    ++Generation;
    Deep->Want_Only(Generation);
    Picture = Deep_Colours(Last_Counts, *Table, Colouring_Mode, Density);
    Flip_If_Axis_Up(Picture);
    Show_Picture(Picture, true);
}

Kestrine_Deep::Deep_View MainWindow::Deep_View_Now(int Width, int Height) const
{
    Kestrine_Deep::Deep_View View;
    View.Set = Fractal_Set == 0 ? Kestrine_Deep::Fractal_Set::Mandelbrot : Kestrine_Deep::Fractal_Set::Julia;
    View.Centre_Re = Place.Exact_Centre(Axis::Real);
    View.Centre_Im = Place.Exact_Centre(Axis::Imaginary);
    // Every bit of the extents, as a position file keeps them: kestrine-render then reads the same view.
    View.Width = Place.Exact_Extent(Axis::Real);
    View.Height = Place.Exact_Extent(Axis::Imaginary);
    View.Image_Width = Width;
    View.Image_Height = Height;
    // The deep renderer takes one iteration at least; none leaves every pixel at count 0 either way.
    View.Iterations = std::max<std::int64_t>(1, Iterations_In_Use());
    View.Threshold = Threshold;
    View.C_Re = Julia_R_Text;
    View.C_Im = Julia_I_Text;
    return View;
}

bool MainWindow::Deep_Needed() const
{
    return Colouring_Mode != Kestrine_Deep::Colouring::Table ||
           !Float_Resolves(Place.Edges(), Image_Width, Image_Height);
}

std::int64_t MainWindow::Iterations_In_Use() const
{
    return Auto_Iterations ? Iterations_For_Depth(Place, Iterations) : Iterations;
}

// The float engine's window, derived from the full-precision one.
void MainWindow::Take_Place()
{
    const Float_Window Edges = Place.Edges();
    X_Min = Edges.X_Min, X_Max = Edges.X_Max, Y_Min = Edges.Y_Min, Y_Max = Edges.Y_Max;
}

void MainWindow::Show_Status()
{
    if (!Engine || !View || !Status)
        return;
    View_Facts Facts;
    Facts.Device = !Engine->GPU_Available ? tr("no device")
                   : Engine->CC_Major == 0 ? tr("CPU")
                                           : QString::fromUtf8(Engine->GPU_Name);
    Facts.Milliseconds = Frame_Milliseconds;
    Facts.Width = QString::fromStdString(Place.Extent_Text(Axis::Real, 1.0, 3));
    Facts.Number_Type = Number_Type_Name;
    Facts.Iterations = Iterations_In_Use();
    Facts.Automatic = Auto_Iterations;
    if (Cursor && Image_Width > 1 && Image_Height > 1) {
        const QPointF Fraction = Plane_Fraction(*Cursor);
        Facts.Pointer_X = QString::fromStdString(Place.Point_Text(Axis::Real, Fraction.x(), Image_Width));
        Facts.Pointer_Y = QString::fromStdString(Place.Point_Text(Axis::Imaginary, Fraction.y(), Image_Height));
    }
    Status->Show_Readout(Readout_Text(Facts));
}
