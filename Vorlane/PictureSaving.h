// Saving the picture as rendered.
#pragma once

#include <QImage>
#include <QString>

class QWidget;

// Asks where to save, suggesting a name after the set in the user's pictures folder; empty if the
// user cancels.
QString Ask_Picture_Path(QWidget* Parent, bool Mandelbrot);

struct Saved_Picture {
    QString Path;    // where it was written, with the extension added when the name had none
    QString Problem; // empty when it was written
};

// Writes Picture at full resolution in the format its extension names (PNG without one).
Saved_Picture Write_Picture(const QImage& Picture, const QString& Path);
