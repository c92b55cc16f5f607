// The menus, and the ways of moving about the picture beside the left drag and the wheel: a box drawn
// with the right button, Ctrl and the wheel about the pointer, and keys while the picture has the focus.
#include "MainWindow.h"

#include <QAction>
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

#include "GPU_Graphics.h"
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
               QKeySequence::Open, [this] { Open_Position(); }});
    Add(File, {"Action_Save_Position", tr("Save &Position..."), tr("Save where you are as a small text file"),
               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), [this] { Save_Position(); }});
    Add(File, {"Action_Copy_Position", tr("&Copy Position"), tr("Put where you are on the clipboard as text"),
               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C), [this] { Copy_Position(); }});
    Add(File, {"Action_Paste_Position", tr("Paste Position"), tr("Go to the position on the clipboard"),
               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V), [this] { Paste_Position(); }});
    File->addSeparator();
    Add(File, {"Action_Quit", tr("&Quit"), tr("Close Vorlane"), QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { close(); }});

    QMenu* Views = menuBar()->addMenu(tr("&View"));
    Add(Views, {"Action_Reset_View", tr("&Home"), tr("The whole set again: 4 wide about 0"), QKeySequence(Qt::Key_Home),
                [this] { Reset_View(); }});
    Add(Views, {"Action_Back", tr("&Back"), tr("The view before this one"), QKeySequence(Qt::ALT | Qt::Key_Left),
                [this] { Step_History(-1); }});
    Add(Views, {"Action_Forward", tr("&Forward"), tr("The view after this one"), QKeySequence(Qt::ALT | Qt::Key_Right),
                [this] { Step_History(1); }});
    Views->addSeparator();
    QAction* Square = Add(Views, {"Action_Square_Pixels", tr("&Square Pixels"),
                                  tr("Rows as far apart as columns, so that nothing is stretched"), {}, [] {}});
    Square->setCheckable(true);
    connect(Square, &QAction::toggled, this, [this](bool On) {
        Square_Pixels = On;
        Request_Render();
    });
    QAction* Up = Add(Views, {"Action_Axis_Up", tr("Imaginary Axis &Up"), tr("Larger imaginary parts higher up"), {}, [] {}});
    Up->setCheckable(true);
    connect(Up, &QAction::toggled, this, [this](bool On) {
        Axis_Up = On;
        Request_Render();
    });

    QMenu* Help = menuBar()->addMenu(tr("&Help"));
    Add(Help, {"Action_About", tr("&About Vorlane"), tr("Version, device and libraries"), {}, [this] { Show_About(); }});
}

void MainWindow::Show_About()
{
    const QString Device = !Engine->GPU_Available ? tr("no usable device")
                                                   : QString::fromUtf8(Engine->GPU_Name);
    QMessageBox::about(this, tr("About Vorlane"),
                       tr("Vorlane %1: Julia and Mandelbrot sets at any depth.\n\nDevice: %2\nQt %3, MPFR %4")
                           .arg(QStringLiteral(VORLANE_VERSION), Device, QString::fromLatin1(qVersion()),
                                QString::fromLatin1(mpfr_get_version())));
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
        {QKeySequence(Qt::Key_Plus), [this] { Zoom_About({0, 0}, 1 / Zoom_Step); }},
        {QKeySequence(Qt::Key_Equal), [this] { Zoom_About({0, 0}, 1 / Zoom_Step); }},
        {QKeySequence(Qt::Key_Minus), [this] { Zoom_About({0, 0}, Zoom_Step); }},
        {QKeySequence(Qt::Key_Left), [this] { Translate_By({-Pan_Step, 0}); }},
        {QKeySequence(Qt::Key_Right), [this] { Translate_By({Pan_Step, 0}); }},
        {QKeySequence(Qt::Key_Up), [this] { Translate_By({0, Axis_Up ? Pan_Step : -Pan_Step}); }},
        {QKeySequence(Qt::Key_Down), [this] { Translate_By({0, Axis_Up ? -Pan_Step : Pan_Step}); }},
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

// Where a point of the viewport lies in the view: fractions of the width and height from the centre,
// the imaginary one growing downwards on screen unless the axis points up.
QPointF MainWindow::Plane_Fraction(QPointF At) const
{
    const QPointF Pixel = View->mapToScene(At.toPoint()) * Pixel_Ratio;
    const double X = Image_Width > 1 ? (Pixel.x() - (Image_Width - 1) / 2.0) / (Image_Width - 1) : 0.0;
    const double Y = Image_Height > 1 ? (Pixel.y() - (Image_Height - 1) / 2.0) / (Image_Height - 1) : 0.0;
    return {X, Axis_Up ? -Y : Y};
}

// The centre moved by Move (fractions of the view, the imaginary one as the plane counts it), then
// both extents scaled by Factor; nothing changes when the zoom is refused.
void MainWindow::Go_To(QPointF Move, double Factor)
{
    Plane_View Moved = Place;
    Moved.Move_By(Move.x(), Move.y());
    if (!Moved.Zoom(Factor))
        return;
    Place = Moved;
    Take_Place();
    Show_Centre();
    Request_Render();
}

// Zoomed by Factor about the point at Fraction of the view from its centre, which stays where it is.
void MainWindow::Zoom_About(QPointF Fraction, double Factor)
{
    Go_To(Fraction * (1 - Factor), Factor);
}

void MainWindow::Translate_By(QPointF Fraction)
{
    Go_To(Fraction, 1);
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
        if (Drawn.width() >= Smallest_Box && Drawn.height() >= Smallest_Box)
            Zoom_To_Box(Drawn);
        return true;
    }
    case QEvent::Wheel: {
        auto* Wheel = static_cast<QWheelEvent*>(Event);
        if (!(Wheel->modifiers() & Qt::ControlModifier))
            return false;
        Zoom_About(Plane_Fraction(Wheel->position()), Wheel->angleDelta().y() >= 0 ? Zoom_Step : 1 / Zoom_Step);
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

// The box's part of the plane fills the view, the view keeping its shape: the box's longer side, in
// proportion, decides the zoom.
void MainWindow::Zoom_To_Box(QRect Drawn)
{
    if (Image_Width < 1 || Image_Height < 1)
        return;
    const QPointF Centre = Plane_Fraction(QRectF(Drawn).center());
    // In the picture's pixels: the viewport is smaller than the picture by the view's frame.
    const double Factor = std::max(Drawn.width() * Pixel_Ratio / Image_Width, Drawn.height() * Pixel_Ratio / Image_Height);
    Go_To(Centre, Factor);
}
