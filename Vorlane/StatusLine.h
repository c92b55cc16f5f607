// The status line: a read-out of the view that follows the pointer, and beside it the messages that
// report an action (saved, a refused keystroke, a corrected field), which the read-out never covers.
#pragma once

#include <QPointF>
#include <QString>

#include <optional>

class QLabel;
class QStatusBar;
class QTimer;

struct View_Facts {
    QString Device;
    double Milliseconds = 0.0;
    float X_Min = 0.0f, X_Max = 0.0f, Y_Min = 0.0f, Y_Max = 0.0f;
    float Centre_X = 0.0f, Centre_Y = 0.0f;
    int Width = 0, Height = 0;     // of the image, in its pixels
    std::optional<QPointF> Pointer; // the image pixel under the pointer, while it is over the picture
};

// The device, how long the last picture took, the point under the pointer to the precision the view
// resolves, and a notice when pixels are about as fine as single precision goes.
QString Readout_Text(const View_Facts& Facts);

class Status_Line {
public:
    // Shown for at least this long, unless the next action's message replaces it.
    static constexpr int Message_Milliseconds = 6000;

    explicit Status_Line(QStatusBar* Bar);

    void Show_Readout(const QString& Text);
    void Tell(const QString& Message);

private:
    QLabel* Readout;
    QLabel* Notice;
    QTimer* Expiry;
};
