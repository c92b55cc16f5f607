// The status line: a read-out of the view that follows the pointer, and beside it the messages that
// report an action (saved, a refused keystroke, a corrected field), which the read-out never covers.
#pragma once

#include <QPointF>
#include <QString>

#include <optional>

class QLabel;
class QProgressBar;
class QStatusBar;
class QTimer;

struct View_Facts {
    QString Device;
    double Milliseconds = 0.0;
    QString Width;        // of the view, in the plane
    QString Number_Type;  // of the last picture: single, double or extended
    qint64 Iterations = 0;
    bool Automatic = false; // the iterations follow the depth
    QString Pointer_X, Pointer_Y; // the point under the pointer; empty while it is elsewhere
};

// The device, how long the last picture took, the depth, the arithmetic and the iterations, and the
// point under the pointer to the precision the view resolves.
QString Readout_Text(const View_Facts& Facts);

class Status_Line {
public:
    // Shown for at least this long, unless the next action's message replaces it.
    static constexpr int Message_Milliseconds = 6000;

    explicit Status_Line(QStatusBar* Bar);

    void Show_Readout(const QString& Text);
    void Tell(const QString& Message);
    // A bar while a long render runs, hidden otherwise.
    // Reference: the per cent is of the reference orbit's steps, and the bar says so.
    void Show_Progress(int Percent, bool Reference);
    void Hide_Progress();

private:
    QLabel* Readout;
    QProgressBar* Progress;
    QLabel* Notice;
    QTimer* Expiry;
};
