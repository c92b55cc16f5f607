// The menus, and the ways of moving about the picture: the left drag and the wheel, a box drawn with
// the right button, Ctrl and the wheel about the pointer, and keys while the picture has the focus.
#include "MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGraphicsView>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QRubberBand>
#include <QUrl>
#include <QWheelEvent>

#include <mpfr.h>

#include <functional>

#include "Diagnostics.h"
#include "FileDialogs.h"
#include "GPU_Graphics.h"
#include "NumberFields.h"
#include "RenderScheduler.h"
#include "StatusLine.h"
#include "ui_MainWindow.h"
#include "Maker.h"

namespace {

constexpr double Zoom_Step = 1.15;
constexpr double Pan_Step = 0.1; // of the view, for an arrow key
constexpr int Smallest_Box = 4;  // pixels a side; a smaller box is a click

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
                   const QString Device = !Engine.GPU_Available ? tr("no usable device") : QString::fromUtf8(Engine.GPU_Name);
                   QMessageBox::about(this, tr("About Vorlane"),
                                      tr("Vorlane %1: Julia and Mandelbrot sets at any depth.\n\nDevice: %2\nQt %3, MPFR %4")
                                          .arg(QStringLiteral(VORLANE_VERSION), Device, QString::fromLatin1(qVersion()),
                                               QString::fromLatin1(mpfr_get_version())));
               }});
}

void MainWindow::Set_Up_Navigation()
{
    Box_Band = new QRubberBand(QRubberBand::Rectangle, View->viewport());
    View->setFocusPolicy(Qt::StrongFocus);
    View->setAcceptDrops(true);
    setAcceptDrops(true);
    const struct {
        QKeySequence Keys;
        std::function<void()> Do;
    } Keys[] = {
        {QKeySequence(Qt::Key_Plus), [this] { Place_Changed(Explore.Zoom_About(0, 0, 1 / Zoom_Step)); }},
        {QKeySequence(Qt::Key_Equal), [this] { Place_Changed(Explore.Zoom_About(0, 0, 1 / Zoom_Step)); }},
        {QKeySequence(Qt::Key_Minus), [this] { Place_Changed(Explore.Zoom_About(0, 0, Zoom_Step)); }},
        {QKeySequence(Qt::Key_Left), [this] { Place_Changed(Explore.Move(-Pan_Step, 0)); }},
        {QKeySequence(Qt::Key_Right), [this] { Place_Changed(Explore.Move(Pan_Step, 0)); }},
        {QKeySequence(Qt::Key_Up), [this] { Place_Changed(Explore.Move(0, -Pan_Step)); }},
        {QKeySequence(Qt::Key_Down), [this] { Place_Changed(Explore.Move(0, Pan_Step)); }},
    };
    // Only while the picture has the focus: elsewhere the keys are the sliders' and the fields'.
    for (const auto& Key : Keys) {
        auto* Action = new QAction(View);
        Action->setShortcut(Key.Keys);
        Action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(Action, &QAction::triggered, this, Key.Do);
        View->addAction(Action);
    }
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

// The viewport's events that are the window's own: a right-button box, Ctrl and the wheel, a dropped
// picture or position. True when the event was taken.
bool MainWindow::Navigation_Event(QEvent* Event)
{
    switch (Event->type()) {
    case QEvent::MouseButtonPress: {
        auto* Mouse = static_cast<QMouseEvent*>(Event);
        if (Mouse->button() != Qt::RightButton)
            return false;
        Box_Start = Mouse->position().toPoint();
        Box_Band->setGeometry(QRect(Box_Start, QSize()));
        Box_Band->show();
        return true;
    }
    case QEvent::MouseMove:
        if (Box_Band->isVisible())
            Box_Band->setGeometry(QRect(Box_Start, static_cast<QMouseEvent*>(Event)->position().toPoint()).normalized());
        return false; // the status line follows the pointer all the same
    case QEvent::MouseButtonRelease: {
        auto* Mouse = static_cast<QMouseEvent*>(Event);
        if (Mouse->button() != Qt::RightButton || !Box_Band->isVisible())
            return false;
        Box_Band->hide();
        const QRect Drawn = QRect(Box_Start, Mouse->position().toPoint()).normalized();
        // In the picture's pixels: the viewport is smaller than the picture by the view's frame.
        if (Drawn.width() >= Smallest_Box && Drawn.height() >= Smallest_Box && Explore.Columns() > 0 && Explore.Rows() > 0) {
            const QPointF Centre = Picture_Fraction(QRectF(Drawn).center());
            Place_Changed(Explore.Zoom_To_Box(Centre.x(), Centre.y(), Drawn.width() * Pixel_Ratio / Explore.Columns(),
                                              Drawn.height() * Pixel_Ratio / Explore.Rows()));
        }
        return true;
    }
    case QEvent::Wheel: {
        auto* Wheel = static_cast<QWheelEvent*>(Event);
        if (!(Wheel->modifiers() & Qt::ControlModifier))
            return false;
        const QPointF At = Picture_Fraction(Wheel->position());
        Place_Changed(Explore.Zoom_About(At.x(), At.y(), Wheel->angleDelta().y() >= 0 ? Zoom_Step : 1 / Zoom_Step));
        return true;
    }
    case QEvent::DragEnter:
    case QEvent::Drop:
        return File_Drop_Event(Event);
    default:
        return false;
    }
}

// A file dragged onto the picture or anywhere else in the window: its position is opened.
bool MainWindow::File_Drop_Event(QEvent* Event)
{
    auto* Drag = static_cast<QDropEvent*>(Event);
    if (!Drag->mimeData()->hasUrls())
        return false;
    Drag->acceptProposedAction();
    if (Event->type() == QEvent::Drop)
        if (const QList<QUrl> Urls = Drag->mimeData()->urls(); Urls.first().isLocalFile())
            Open_Position_File(Urls.first().toLocalFile());
    return true;
}
