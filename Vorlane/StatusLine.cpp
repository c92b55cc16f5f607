#include "StatusLine.h"

#include <QCoreApplication>
#include <QLabel>
#include <QStatusBar>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

QString Tr(const char* Text)
{
    return QCoreApplication::translate("MainWindow", Text);
}

// The distance from |Value| to the next float up: the resolution of single precision there.
double Float_Step(float Value)
{
    const float Magnitude = std::fabs(Value);
    return double(std::nextafter(Magnitude, INFINITY)) - double(Magnitude);
}

// Enough decimals to tell neighbouring pixels apart, and no more.
int Decimals_For(double Step)
{
    return Step > 0.0 ? std::clamp(int(-std::floor(std::log10(Step))), 0, 15) : 6;
}

} // namespace

QString Readout_Text(const View_Facts& Facts)
{
    QStringList Parts{Facts.Device, Tr("%1 ms").arg(Facts.Milliseconds, 0, 'f', 1)};
    const double Step_X = Facts.Width > 1 ? double(Facts.X_Max - Facts.X_Min) / (Facts.Width - 1) : 0.0;
    const double Step_Y = Facts.Height > 1 ? double(Facts.Y_Max - Facts.Y_Min) / (Facts.Height - 1) : 0.0;
    if (Facts.Pointer && Facts.Width > 1 && Facts.Height > 1)
        Parts << Tr("x = %1, y = %2")
                     .arg(Facts.X_Min + Step_X * Facts.Pointer->x(), 0, 'f', Decimals_For(Step_X))
                     .arg(Facts.Y_Min + Step_Y * Facts.Pointer->y(), 0, 'f', Decimals_For(Step_Y));
    if (Step_X < 8 * Float_Step(Facts.Centre_X) || Step_Y < 8 * Float_Step(Facts.Centre_Y))
        Parts << Tr("single precision limit: zooming further only enlarges the pixels");
    return Parts.join(QStringLiteral("  |  "));
}

Status_Line::Status_Line(QStatusBar* Bar)
    : Readout(new QLabel(Bar)), Notice(new QLabel(Bar)), Expiry(new QTimer(Notice))
{
    Readout->setObjectName(QStringLiteral("Status_Readout"));
    Notice->setObjectName(QStringLiteral("Status_Notice"));
    // Neither text may widen the window: the read-out takes the room that is left, a long message
    // is cut rather than pushing the window past the screen.
    Readout->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    Notice->setMinimumWidth(1);
    Bar->addWidget(Readout, 1);
    Bar->addPermanentWidget(Notice);
    Expiry->setSingleShot(true);
    Expiry->setInterval(Message_Milliseconds);
    QObject::connect(Expiry, &QTimer::timeout, Notice, &QLabel::clear);
}

void Status_Line::Show_Readout(const QString& Text)
{
    Readout->setText(Text);
}

void Status_Line::Tell(const QString& Message)
{
    Notice->setText(Message);
    Expiry->start();
}
