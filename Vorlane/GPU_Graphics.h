// The view of the fractal: shows the scene and turns the mouse into pan and zoom requests.
//
// It never moves or scales its own contents. A left-button drag becomes Translate steps in scene
// units, each wheel turn one Scale step; the main window answers both with a new picture.
#pragma once

#include <QGraphicsView>
#include <QPointF>

class GPU_Graphics : public QGraphicsView {
    Q_OBJECT

public:
    explicit GPU_Graphics(QWidget* parent = nullptr);

signals:
    void Translate(QPointF Delta);
    void Scale(float Scale);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    QPointF Pan_Last_Point;
    bool Pan_Active;
};
