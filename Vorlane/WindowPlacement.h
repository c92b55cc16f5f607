// Where the main window goes on the screen.
#pragma once

#include <QSize>

class QWidget;

// The size asked for, but never larger than Window's screen has room for.
QSize First_Window_Size(const QWidget& Window, QSize Wanted);

// The window, frame included, inside the screen's free area, as far as its minimum size allows. A
// window manager frames a window only after it is mapped: true once the frame is known, after which
// where the user puts the window is the user's choice.
bool Fit_To_Screen(QWidget& Window);
