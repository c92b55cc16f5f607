#include "StatusLine.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>
#include <QStringList>
#include <QTimer>


namespace {

QString Tr(const char* Text)
{
    return QCoreApplication::translate("MainWindow", Text);
}

} // namespace

QString Readout_Text(const View_Facts& Facts)
{
    QStringList Parts{Facts.Device, Tr("%1 ms").arg(Facts.Milliseconds, 0, 'f', 1), Tr("width %1").arg(Facts.Width),
                      Facts.Number_Type,
                      (Facts.Automatic ? Tr("%1 iterations (following the depth)") : Tr("%1 iterations"))
                          .arg(Facts.Iterations)};
    if (!Facts.Pointer_X.isEmpty())
        Parts << Tr("x = %1, y = %2").arg(Facts.Pointer_X, Facts.Pointer_Y);
    return Parts.join(QStringLiteral("  |  "));
}

Status_Line::Status_Line(QStatusBar* Bar)
    : Readout(new QLabel(Bar)), Progress(new QProgressBar(Bar)), Notice(new QLabel(Bar)), Expiry(new QTimer(Notice))
{
    Progress->setObjectName(QStringLiteral("Status_Progress"));
    Progress->setRange(0, 100);
    Progress->setMaximumWidth(160);
    Progress->hide();
    Readout->setObjectName(QStringLiteral("Status_Readout"));
    Notice->setObjectName(QStringLiteral("Status_Notice"));
    // Neither text may widen the window: the read-out takes the room that is left, a long message
    // is cut rather than pushing the window past the screen.
    Readout->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    Notice->setMinimumWidth(1);
    Bar->addWidget(Readout, 1);
    Bar->addPermanentWidget(Progress);
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

void Status_Line::Show_Progress(int Percent, bool Reference)
{
    Progress->setFormat(Reference ? Tr("reference %p%") : QStringLiteral("%p%"));
    Progress->setValue(Percent);
    Progress->show();
}

void Status_Line::Hide_Progress()
{
    Progress->hide();
}
