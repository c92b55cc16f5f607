#include "RenderScheduler.h"

#include <QTimer>

#include <Colormaps.h>
#include <Pellarion.h>

#include <cstdio>
#include <utility>

#include "DeepWorker.h"
#include "Diagnostics.h"
#include "Explorer.h"
#include "PictureHandoff.h"

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

Render_Scheduler::Render_Scheduler(Explorer& Place, QObject* Parent)
    : QObject(Parent), Wanted(Place), Float_Engine(std::make_unique<Pellarion>()), Render_Timer(new QTimer(this)),
      Progress_Timer(new QTimer(this))
{
    setObjectName(QStringLiteral("Render_Scheduler"));
    Render_Timer->setObjectName(QStringLiteral("Render_Timer"));
    Render_Timer->setSingleShot(true);
    Render_Timer->setInterval(Quiet_Milliseconds);
    connect(Render_Timer, &QTimer::timeout, this, [this] { Render(); });
    Progress_Timer->setInterval(Progress_Milliseconds);
    connect(Progress_Timer, &QTimer::timeout, this, [this] {
        const Kestrine_Deep::Render_Progress Done = Deep->Progress();
        emit Progress(int(100 * Done.Share()), Done.Of_Reference());
    });
    Deep = std::make_unique<Deep_Worker>(this, [this](const Deep_Result& Result) { Take_Deep_Result(Result); });
}

// No deep result may arrive while the scheduler is taken apart.
Render_Scheduler::~Render_Scheduler() = default;

void Render_Scheduler::Request()
{
    ++Generation;
    Deep->Want_Only(Generation);
    Stop_Progress();
    emit Waiting();
    if (!Render_Timer->isActive())
        Waiting_Since.start();
    if (!Render_Timer->isActive() || Waiting_Since.elapsed() < Longest_Wait_Milliseconds)
        Render_Timer->start();
}

bool Render_Scheduler::Cancel()
{
    if (!Render_Timer->isActive() && Deep_Generation == 0)
        return false;
    Render_Timer->stop();
    ++Generation;
    Deep->Want_Only(Generation);
    Stop_Progress();
    return true;
}

void Render_Scheduler::Stop_Progress()
{
    if (Deep_Generation == 0)
        return;
    Deep_Generation = 0;
    Progress_Timer->stop();
    emit Progress_Over();
}

void Render_Scheduler::Render()
{
    Render_Timer->stop();
    Wanted.Render_Starts();
    if (Wanted.Columns() > 0 && Wanted.Rows() > 0 && Wanted.Deep_Needed())
        Start_Deep_Render();
    else
        Render_Float();
}

void Render_Scheduler::Render_Float()
{
    qCDebug(Vorlane_Render) << "Render started: float, width" << Wanted.Place().Extent_Text(Axis::Real, 1.0, 3).c_str();
    emit Started(false);
    QElapsedTimer Frame;
    Frame.start();
    const Picture_Settings& S = Wanted.Settings;
    const Float_Window Edges = Wanted.Edges();
    const int Columns = Wanted.Columns(), Rows = Wanted.Rows();
    const int Count = int(Wanted.Iterations_In_Use());
    // With the imaginary axis up, row 0 is the largest imaginary part.
    Float_Engine->Compute_Init(Columns, Rows, Edges.X_Min, Edges.X_Max, S.Axis_Up ? Edges.Y_Max : Edges.Y_Min,
                               S.Axis_Up ? Edges.Y_Min : Edges.Y_Max, S.Colormap);
    if (S.Mandelbrot)
        Float_Engine->Compute_MandelBrot(S.Threshold, Count, Iterations_Per_Launch);
    else
        Float_Engine->Compute_Julia(S.Threshold, Count, Iterations_Per_Launch, S.Julia_Re, S.Julia_Im);
    const bool Whole = Float_Engine->Width == Columns && Float_Engine->Height == Rows;
    const std::uint8_t* Rgba = Whole ? Float_Engine->Host_Image : nullptr;
    // No image to show: said once a render, and the picture is black rather than undefined.
    if (!Rgba && Columns > 0 && Rows > 0) {
        std::fputs("Internal Error!\n", stdout);
        std::fflush(stdout);
    }
    QImage Image = Picture_From_Engine(Rgba, Columns, Rows);
    Milliseconds = Frame.nsecsElapsed() / 1e6;
    Type_Name = tr("single");
    Counts_View.reset();
    Emit_Picture(std::move(Image), true, false);
}

void Render_Scheduler::Start_Deep_Render()
{
    const int Columns = Wanted.Columns(), Rows = Wanted.Rows();
    Deep_Job Job;
    Job.Generation = Generation;
    Job.View = Wanted.Deep_View_At(Columns, Rows);
    // A preview only where it is a few blocks across.
    const int Step = Deep_Worker::Preview_Step;
    if (Columns >= 4 * Step && Rows >= 4 * Step)
        Job.Preview = Wanted.Preview_View(Step, Deep_Worker::Preview_Pixels(Columns), Deep_Worker::Preview_Pixels(Rows));
    if (const Kestrine::Colour_Table* Table = Kestrine::Colour_Table_For(Wanted.Settings.Colormap))
        Job.Colours = *Table;
    Job.Mode = Wanted.Settings.Colouring;
    Job.Density = Wanted.Settings.Density;
    Deep_Generation = Generation;
    Type_Name = QString::fromLatin1(Kestrine_Deep::Number_Type_Name(Kestrine_Deep::Number_Type_For(Job.View)));
    qCDebug(Vorlane_Render).noquote() << "Render started: deep," << (Wanted.Settings.Mandelbrot ? "Mandelbrot" : "Julia")
                                      << "width" << Job.View.Width.c_str() << "iterations" << Job.View.Iterations
                                      << "colouring" << Kestrine_Deep::Colouring_Name(Job.Mode) << "size" << Columns << Rows;
    emit Started(true);
    Deep->Start(std::move(Job));
    emit Progress(0, false);
    Progress_Timer->start();
}

// Results of an older view are dropped: the program never shows a picture of a view it has left.
void Render_Scheduler::Take_Deep_Result(const Deep_Result& Result)
{
    if (Result.Generation != Generation)
        return;
    if (Result.Preview) {
        Emit_Picture(Result.Image, false, true);
        return;
    }
    Stop_Progress();
    if (Result.Status != Kestrine_Deep::Render_Status::Finished) {
        emit Failed(tr("The deep picture could not be rendered: %1").arg(QString::fromStdString(Result.Message)));
        return;
    }
    Milliseconds = Result.Stats.Render_Seconds * 1e3;
    Type_Name = QString::fromLatin1(Kestrine_Deep::Number_Type_Name(Result.Stats.Type));
    Last_Counts = Result.Counts;
    Counts_View = Wanted.Deep_View_At(Wanted.Columns(), Wanted.Rows());
    Emit_Picture(Result.Image, true, true);
}

// The deep renderer's row 0 is the smallest imaginary part: Flip turns it over when the axis is up.
void Render_Scheduler::Emit_Picture(QImage Image, bool Final, bool Flip)
{
    if (Flip && Wanted.Settings.Axis_Up)
        Image = Image.mirrored(false, true);
    if (Final)
        Last_Picture = Image;
    Wanted.Picture_Shown();
    emit Picture_Ready(Image, Final);
    qCDebug(Vorlane_Render).noquote() << "Picture shown:" << (Final ? "final" : "preview") << Type_Name;
    emit Shown(Final);
}

void Render_Scheduler::Recolour_Or_Render()
{
    const Kestrine::Colour_Table* Table = Kestrine::Colour_Table_For(Wanted.Settings.Colormap);
    if (!Table || !Counts_View || !Wanted.Deep_Needed() ||
        !Same_View(*Counts_View, Wanted.Deep_View_At(Wanted.Columns(), Wanted.Rows()))) {
        Request();
        return;
    }
    ++Generation;
    Deep->Want_Only(Generation);
    Emit_Picture(Deep_Colours(Last_Counts, *Table, Wanted.Settings.Colouring, Wanted.Settings.Density), true, true);
}
