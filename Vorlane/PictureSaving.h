// Saving the picture as rendered.
#pragma once

#include <QImage>
#include <QString>

class QWidget;

// Asks where to save, suggesting a name after the set in the user's pictures folder; empty if the
// user cancels.
QString Ask_Picture_Path(QWidget* Parent, bool Mandelbrot);

struct Saved_Picture {
    QString Path;          // where it was written, with the extension added when the name had none
    QString Problem;       // empty when it was written
    bool With_Place = false; // whether the file carries the position
};

// Writes Picture at full resolution in the format its extension names (PNG without one). A PNG
// carries Position_Text in a text chunk; other formats carry no position (a JPEG's comment keeps no
// line breaks, BMP has no room for one).
Saved_Picture Write_Picture(const QImage& Picture, const QString& Path, const QString& Position_Text);

// The status line's word on a picture of Size written.
QString Saved_Notice(const Saved_Picture& Saved, QSize Size);

// Whether Path names a picture format that carries no position (Open Position says so).
bool Picture_Without_Place(const QString& Path);
