// The ways of moving about the picture beside the view's own drag and wheel: a box drawn with the
// right button, Ctrl and the wheel about the pointer, keys while the picture has the focus, and files
// dropped on the window. It turns the viewport's and the window's events into requests, in the
// viewport's logical pixels; the window says what they mean for the place.
#pragma once

#include <QObject>
#include <QPoint>
#include <QPointF>
#include <QRectF>
#include <QString>

class QDropEvent;
class QGraphicsView;
class QRubberBand;
class QWidget;

class Picture_Navigation : public QObject {
    Q_OBJECT

public:
    // Watches View's viewport and Window (for dropped files); keys act while View has the focus.
    Picture_Navigation(QGraphicsView* View, QWidget* Window);

signals:
    void Box_Drawn(QRectF Box);
    void Zoom_About(QPointF At, double Factor);
    void Zoom_Centre(double Factor);
    // Fractions of the view, right and down.
    void Pan(double Right, double Down);
    // Where the pointer is over the picture; Pointer_Left when it is no longer there.
    void Pointer_At(QPointF At);
    void Pointer_Left();
    void File_Dropped(QString Path);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void Add_Keys(QGraphicsView* View);
    bool Viewport_Event(QEvent* Event);
    bool Drop_Event(QDropEvent* Event);

    QWidget* Viewport;
    QWidget* Window;
    QRubberBand* Box_Band;
    QPoint Box_Start;
};
