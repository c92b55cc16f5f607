// What the window's renders do, as signals: for the status of a long render and for whoever watches
// the program (its tests among them), without adding to the window's own interface.
#pragma once

#include <QObject>

class Render_Events : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

signals:
    // A render began: with the float engine on the GUI thread, or the deep renderer on its worker.
    void Started(bool Deep);
    // A picture replaced the one on screen: a preview (Final false) or the finished picture.
    void Shown(bool Final);
};
