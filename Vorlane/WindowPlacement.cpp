#include "WindowPlacement.h"

#include <QScreen>
#include <QWidget>

#include <algorithm>

QSize First_Window_Size(const QWidget& Window, QSize Wanted)
{
    if (const QScreen* On = Window.screen())
        Wanted = Wanted.boundedTo(On->availableGeometry().size());
    return Wanted;
}

bool Fit_To_Screen(QWidget& Window)
{
    const QScreen* On = Window.screen();
    if (!On)
        return false;
    const QRect Room = On->availableGeometry();
    const QRect Inner = Window.geometry(), Outer = Window.frameGeometry();
    const QMargins Frame(Inner.left() - Outer.left(), Inner.top() - Outer.top(), Outer.right() - Inner.right(),
                         Outer.bottom() - Inner.bottom());
    const QSize Fitting = Window.size().boundedTo(Room.size().shrunkBy(Frame));
    if (Fitting != Window.size())
        Window.resize(Fitting);
    const QSize Framed = Fitting.grownBy(Frame);
    const QPoint Corner(std::clamp(Outer.left(), Room.left(), std::max(Room.left(), Room.right() + 1 - Framed.width())),
                        std::clamp(Outer.top(), Room.top(), std::max(Room.top(), Room.bottom() + 1 - Framed.height())));
    if (Corner != Outer.topLeft())
        Window.move(Corner);
    return !Frame.isNull();
}
