#include "GPU_Graphics.h"

#include <QMouseEvent>
#include <QWheelEvent>

#include <cmath>

#include "Diagnostics.h"

namespace {

// One wheel event is one zoom step, however far the wheel turned.
constexpr double Zoom_Out_Factor = 1.15;
constexpr double Zoom_In_Factor = 1.0 / 1.15;

int Round_Half_Away_From_Zero(qreal Value)
{
    return static_cast<int>(Value >= 0 ? Value + 0.5 : Value - 0.5);
}

} // namespace

GPU_Graphics::GPU_Graphics(QWidget* parent) : QGraphicsView(parent), Pan_Last_Point(0.0, 0.0), Pan_Active(false) {}

// The handlers below never call the base class and never ignore their event: a mouse or wheel event
// that reaches the view ends here and does not travel on to the window.

void GPU_Graphics::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    Pan_Last_Point = mapToScene(event->position().toPoint());
    Pan_Active = true;
    qCDebug(Vorlane_View) << "Startin Panning";
}

void GPU_Graphics::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    Pan_Active = false;
    qCDebug(Vorlane_View) << "Stopped Panning";
}

void GPU_Graphics::mouseMoveEvent(QMouseEvent* event)
{
    if (!Pan_Active)
        return;
    const QPoint Position = event->position().toPoint();
    const QPointF Delta = mapToScene(Position) - Pan_Last_Point;
    emit Translate(Delta);
    qCDebug(Vorlane_View) << "Panning move by: [ " << Delta.x() << " | " << Delta.y() << " ]";
    // The receiver has re-rendered by now and may have changed how the viewport maps onto the scene;
    // measuring the next step from the new mapping keeps that change from looking like movement.
    Pan_Last_Point = mapToScene(Position);
}

void GPU_Graphics::wheelEvent(QWheelEvent* event)
{
    const QPoint Position(Round_Half_Away_From_Zero(event->position().x()),
                          Round_Half_Away_From_Zero(event->position().y()));
    // The position is in viewport coordinates, so it is tested against the viewport's own area: every
    // wheel turn over the picture zooms, wherever the view sits in the window.
    if (!viewport()->rect().contains(Position, false))
        return;
    const double Factor = event->angleDelta().y() >= 0 ? Zoom_Out_Factor : Zoom_In_Factor;
    qCDebug(Vorlane_View) << "Wheel event: delta=" << event->angleDelta() << ", scaleFactor=" << Factor;
    emit Scale(static_cast<float>(Factor));
}
