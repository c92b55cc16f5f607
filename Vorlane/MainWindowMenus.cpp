// The menus, and what the ways of moving about the picture mean for the place.
#include "MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGraphicsView>
#include <QMenuBar>
#include <QMessageBox>

#include <mpfr.h>

#include <functional>

#include "Diagnostics.h"
#include "FileDialogs.h"
#include "GPU_Graphics.h"
#include "DeviceReport.h"
#include "NumberFields.h"
#include "PictureNavigation.h"
#include "RenderScheduler.h"
#include "StatusLine.h"
#include "ui_MainWindow.h"
#include "Maker.h"

namespace {

struct Action_Facts {
    const char* Name;
    QString Text, Tip;
    QKeySequence Keys;
    std::function<void()> Do;
};

} // namespace

void MainWindow::Set_Up_Menus()
{
    const auto Add = [this](QMenu* Menu, Action_Facts Facts) {
        auto* Action = Menu->addAction(Facts.Text);
        Action->setObjectName(QString::fromLatin1(Facts.Name));
        Action->setStatusTip(Facts.Tip);
        Action->setShortcut(Facts.Keys);
        connect(Action, &QAction::triggered, this, Facts.Do);
        return Action;
    };
    QMenu* File = menuBar()->addMenu(tr("&File"));
    Add(File, {"Action_Save_Picture", tr("&Save Picture..."), tr("Save the picture as rendered, with its position"),
               QKeySequence::Save, [this] { Save_Picture(); }});
    Add(File, {"Action_Open_Position", tr("&Open Position..."), tr("Go to a saved position, or a saved picture's"),
               QKeySequence::Open, [this] {
                   const QString Path = Ask_Open_Path(this, "open-position", tr("Open Position"),
                                                      tr("Positions and pictures (*.vorlane *.png);;All files (*)"));
                   if (!Path.isEmpty())
                       Open_Position_File(Path);
               }});
    Add(File, {"Action_Save_Position", tr("Save &Position..."), tr("Save where you are as a small text file"),
               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), [this] { Save_Position(); }});
    Add(File, {"Action_Copy_Position", tr("&Copy Position"), tr("Put where you are on the clipboard as text"),
               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C), [this] {
                   QApplication::clipboard()->setText(QString::fromStdString(Position_Text(Explore.Current_Position())));
                   Status->Tell(tr("The position is on the clipboard"));
               }});
    Add(File, {"Action_Paste_Position", tr("Paste Position"), tr("Go to the position on the clipboard"),
               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V), [this] { Open_Position_Text(QApplication::clipboard()->text(), tr("the clipboard")); }});
    File->addSeparator();
    Add(File, {"Action_Quit", tr("&Quit"), tr("Close Vorlane"), QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { close(); }});

    QMenu* Views = menuBar()->addMenu(tr("&View"));
    Add(Views, {"Action_Reset_View", tr("&Home"), tr("The whole set again: 4 wide about 0"), QKeySequence(Qt::Key_Home),
                [this] { Explore.Home(), Place_Changed(); }});
    // A step through history shows the entry's settings in every control, then renders it.
    const auto Step = [this](int Steps) {
        if (Explore.Step_History(Steps))
            Show_Settings(), Place_Changed();
    };
    Add(Views, {"Action_Back", tr("&Back"), tr("The view before this one"), QKeySequence(Qt::ALT | Qt::Key_Left),
                [Step] { Step(-1); }});
    Add(Views, {"Action_Forward", tr("&Forward"), tr("The view after this one"), QKeySequence(Qt::ALT | Qt::Key_Right),
                [Step] { Step(1); }});
    Views->addSeparator();
    QAction* Square = Add(Views, {"Action_Square_Pixels", tr("&Square Pixels"),
                                  tr("Rows as far apart as columns, so that nothing is stretched"), {}, [] {}});
    Square->setCheckable(true);
    connect(Square, &QAction::toggled, this, [this](bool On) {
        Explore.Settings.Square_Pixels = On;
        Scheduler->Request();
    });
    QAction* Up = Add(Views, {"Action_Axis_Up", tr("Imaginary Axis &Up"), tr("Larger imaginary parts higher up"), {}, [] {}});
    Up->setCheckable(true);
    connect(Up, &QAction::toggled, this, [this](bool On) {
        Explore.Settings.Axis_Up = On;
        Scheduler->Request();
    });

    QMenu* Help = menuBar()->addMenu(tr("&Help"));
    Add(Help, {"Action_About", tr("&About Vorlane"), tr("Version, device and libraries"), {}, [this] {
                   const Pellarion& Engine = Scheduler->Engine();
                   const QString Device = Engine.GPU_Available ? QString::fromUtf8(Engine.GPU_Name) : tr("no usable device");
                   QMessageBox::about(this, tr("About Vorlane"),
                                      tr("Vorlane %1: Julia and Mandelbrot sets at any depth.\n\nDevice: %2\nQt %3, MPFR %4")
                                          .arg(QStringLiteral(VORLANE_VERSION), Device, QString::fromLatin1(qVersion()),
                                               QString::fromLatin1(mpfr_get_version())));
               }});
}

void MainWindow::Set_Up_Navigation()
{
    Navigation = new Picture_Navigation(View, this);
    connect(Navigation, &Picture_Navigation::Zoom_Centre, this, [this](double By) { Place_Changed(Explore.Zoom_About(0, 0, By)); });
    connect(Navigation, &Picture_Navigation::Pan, this, [this](double Right, double Down) { Place_Changed(Explore.Move(Right, Down)); });
    connect(Navigation, &Picture_Navigation::Zoom_About, this, [this](QPointF At, double By) {
        const QPointF Fraction = Picture_Fraction(At);
        Place_Changed(Explore.Zoom_About(Fraction.x(), Fraction.y(), By));
    });
    // In the picture's pixels: the viewport is smaller than the picture by the view's frame.
    connect(Navigation, &Picture_Navigation::Box_Drawn, this, [this](QRectF Box) {
        if (Explore.Columns() <= 0 || Explore.Rows() <= 0)
            return;
        const QPointF Centre = Picture_Fraction(Box.center());
        Place_Changed(Explore.Zoom_To_Box(Centre.x(), Centre.y(), Box.width() * Pixel_Ratio / Explore.Columns(),
                                          Box.height() * Pixel_Ratio / Explore.Rows()));
    });
    connect(Navigation, &Picture_Navigation::Pointer_At, this, [this](QPointF At) { Cursor = At, Show_Status(); });
    connect(Navigation, &Picture_Navigation::Pointer_Left, this, [this] { Cursor.reset(), Show_Status(); });
    connect(Navigation, &Picture_Navigation::File_Dropped, this, &MainWindow::Open_Position_File);
}

// Where a point of the viewport lies in the picture: fractions of its width and height from its
// centre, right and down on screen.
QPointF MainWindow::Picture_Fraction(QPointF At) const
{
    const int Columns = Explore.Columns(), Rows = Explore.Rows();
    const QPointF Pixel = View->mapToScene(At.toPoint()) * Pixel_Ratio;
    const double X = Columns > 1 ? (Pixel.x() - (Columns - 1) / 2.0) / (Columns - 1) : 0.0;
    const double Y = Rows > 1 ? (Pixel.y() - (Rows - 1) / 2.0) / (Rows - 1) : 0.0;
    return {X, Y};
}

void MainWindow::Place_Changed(bool Moved)
{
    if (!Moved)
        return;
    Number_Fields::Set(Ui->LineEdit_X, QString::fromStdString(Explore.Centre_Text(Axis::Real)));
    Number_Fields::Set(Ui->LineEdit_Y, QString::fromStdString(Explore.Centre_Text(Axis::Imaginary)));
    Scheduler->Request();
}

void MainWindow::Translate(QPointF Delta)
{
    // Delta is in the view's logical pixels; the image has Pixel_Ratio device pixels for each.
    const double Right = Explore.Columns() > 0 ? Delta.x() / (Explore.Columns() / Pixel_Ratio) : 0.0;
    const double Down = Explore.Rows() > 0 ? Delta.y() / (Explore.Rows() / Pixel_Ratio) : 0.0;
    const Float_Window Edges = Explore.Edges();
    qCDebug(Vorlane_View) << "Panning move by: [ " << float(Right * (Edges.X_Max - Edges.X_Min)) << " | "
                          << float(Down * (Edges.Y_Max - Edges.Y_Min)) << " ]";
    Place_Changed(Explore.Move(-Right, -Down));
}

// About the centre; the way out ends where no renderer has anything more to show, the way in where
// the deep renderer's range does.
void MainWindow::Scale(float Scale)
{
    const Float_Window Old = Explore.Edges();
    if (!Explore.Zoom(Scale)) {
        qCDebug(Vorlane_View) << "Zoom refused: by" << Scale << "from a width of 2^" << Explore.Place().Width_Exponent();
        return;
    }
    const Float_Window New = Explore.Edges();
    qCDebug(Vorlane_View) << "Scale X From:: [ " << Old.X_Min << " | " << Old.X_Max << " ] to: [ " << New.X_Min << " | " << New.X_Max << " ]";
    qCDebug(Vorlane_View) << "Scale Y From:: [ " << Old.Y_Min << " | " << Old.Y_Max << " ] to: [ " << New.Y_Min << " | " << New.Y_Max << " ]";
    Place_Changed();
}
