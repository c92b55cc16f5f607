#include "PictureNavigation.h"

#include <QAction>
#include <QDropEvent>
#include <QGraphicsView>
#include <QMimeData>
#include <QMouseEvent>
#include <QRubberBand>
#include <QUrl>
#include <QWheelEvent>

#include "Diagnostics.h"

namespace {

constexpr double Zoom_Step = 1.15;
constexpr double Pan_Step = 0.1; // of the view, for an arrow key
constexpr int Smallest_Box = 4;  // pixels a side; a smaller box is a click

} // namespace

Picture_Navigation::Picture_Navigation(QGraphicsView* View, QWidget* Window_)
    : QObject(Window_), Viewport(View->viewport()), Window(Window_)
{
    Box_Band = new QRubberBand(QRubberBand::Rectangle, Viewport);
    View->setFocusPolicy(Qt::StrongFocus);
    View->setAcceptDrops(true);
    Window->setAcceptDrops(true);
    // The status line follows the pointer over the picture.
    Viewport->setMouseTracking(true);
    Viewport->installEventFilter(this);
    Window->installEventFilter(this);
    Add_Keys(View);
}

void Picture_Navigation::Add_Keys(QGraphicsView* View)
{
    const struct {
        Qt::Key Key;
        double Zoom, Right, Down;
    } Keys[] = {
        {Qt::Key_Plus, 1 / Zoom_Step, 0, 0}, {Qt::Key_Equal, 1 / Zoom_Step, 0, 0}, {Qt::Key_Minus, Zoom_Step, 0, 0},
        {Qt::Key_Left, 1, -Pan_Step, 0},     {Qt::Key_Right, 1, Pan_Step, 0},      {Qt::Key_Up, 1, 0, -Pan_Step},
        {Qt::Key_Down, 1, 0, Pan_Step},
    };
    // Only while the picture has the focus: elsewhere the keys are the sliders' and the fields'.
    for (const auto& Key : Keys) {
        auto* Action = new QAction(View);
        Action->setShortcut(QKeySequence(Key.Key));
        Action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(Action, &QAction::triggered, this, [this, Key] {
            if (Key.Zoom != 1)
                emit Zoom_Centre(Key.Zoom);
            else
                emit Pan(Key.Right, Key.Down);
        });
        View->addAction(Action);
    }
}

bool Picture_Navigation::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Event->type() == QEvent::DragEnter || Event->type() == QEvent::Drop)
        return (Watched == Viewport || Watched == Window) && Drop_Event(static_cast<QDropEvent*>(Event));
    if (Watched != Viewport)
        return false;
    if (Event->type() == QEvent::Paint)
        qCDebug(Vorlane_Render) << "Viewport painted";
    return Viewport_Event(Event);
}

// True when the event was taken.
bool Picture_Navigation::Viewport_Event(QEvent* Event)
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
    case QEvent::MouseMove: {
        const QPointF At = static_cast<QMouseEvent*>(Event)->position();
        if (Box_Band->isVisible())
            Box_Band->setGeometry(QRect(Box_Start, At.toPoint()).normalized());
        emit Pointer_At(At);
        return false; // the view's own drag goes on all the same
    }
    case QEvent::Leave:
        emit Pointer_Left();
        return false;
    case QEvent::MouseButtonRelease: {
        auto* Mouse = static_cast<QMouseEvent*>(Event);
        if (Mouse->button() != Qt::RightButton || !Box_Band->isVisible())
            return false;
        Box_Band->hide();
        const QRect Drawn = QRect(Box_Start, Mouse->position().toPoint()).normalized();
        if (Drawn.width() >= Smallest_Box && Drawn.height() >= Smallest_Box)
            emit Box_Drawn(QRectF(Drawn));
        return true;
    }
    case QEvent::Wheel: {
        auto* Wheel = static_cast<QWheelEvent*>(Event);
        if (!(Wheel->modifiers() & Qt::ControlModifier))
            return false;
        emit Zoom_About(Wheel->position(), Wheel->angleDelta().y() >= 0 ? Zoom_Step : 1 / Zoom_Step);
        return true;
    }
    default:
        return false;
    }
}

// A file dragged onto the picture or anywhere else in the window: its position is opened.
bool Picture_Navigation::Drop_Event(QDropEvent* Drag)
{
    if (!Drag->mimeData()->hasUrls())
        return false;
    Drag->acceptProposedAction();
    if (Drag->type() == QEvent::Drop)
        if (const QList<QUrl> Urls = Drag->mimeData()->urls(); Urls.first().isLocalFile())
            emit File_Dropped(Urls.first().toLocalFile());
    return true;
}
