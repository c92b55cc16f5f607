// Places in and out of the window: positions opened from files, saved pictures and the clipboard,
// positions and pictures saved, and the first show's word on the device.
#include "MainWindow.h"

#include <QDebug>
#include <QFile>
#include <QSaveFile>

#include "DeviceReport.h"
#include "FileDialogs.h"
#include "PictureSaving.h"
#include "PictureText.h"
#include "RenderScheduler.h"
#include "StatusLine.h"

// The position a text holds, or the one a saved picture carries; the view changes only when it reads.
// Every control follows the position without rendering on its own; one render follows.
bool MainWindow::Open_Position_Text(const QString& Text, const QString& From)
{
    Position There;
    std::string Problem;
    if (!Read_Position(Text.toStdString(), There, Problem)) {
        Message(Box::Warning, tr("No position could be read from %1: %2.").arg(From, QString::fromStdString(Problem)));
        return false;
    }
    if (Explore.Apply_Position(There)) {
        Show_Settings();
        Place_Changed();
    }
    Status->Tell(tr("Position from %1").arg(From));
    return true;
}

void MainWindow::Open_Position_File(const QString& Path)
{
    if (Path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) {
        std::string Text, Problem;
        if (!Picture_Position_Text(QFile::encodeName(Path).toStdString(), Text, Problem)) {
            Message(Box::Warning, tr("%1: %2.").arg(Path, QString::fromStdString(Problem)));
            return;
        }
        Open_Position_Text(QString::fromStdString(Text), Path);
        return;
    }
    if (Picture_Without_Place(Path)) {
        Message(Box::Warning, tr("%1 carries no position: only PNG pictures carry one.").arg(Path));
        return;
    }
    QFile File(Path);
    if (!File.open(QIODevice::ReadOnly)) {
        Message(Box::Warning, tr("%1 could not be opened: %2.").arg(Path, File.errorString()));
        return;
    }
    // A position file is a few hundred bytes; anything much larger is not one.
    Open_Position_Text(QString::fromUtf8(File.read(Longest_Position_Text)), Path);
}

void MainWindow::Save_Position()
{
    const QString Path = Ask_Save_Path(this, "save-position", tr("Save Position"), QStringLiteral("place.vorlane"),
                                       tr("Positions (*.vorlane);;All files (*)"), QStringLiteral("vorlane"));
    if (Path.isEmpty())
        return;
    QSaveFile File(Path);
    const QByteArray Text = QByteArray::fromStdString(Position_Text(Explore.Current_Position()));
    if (!File.open(QIODevice::WriteOnly) || File.write(Text) != Text.size() || !File.commit())
        Message(Box::Warning, tr("The position could not be saved to %1: %2.").arg(Path, File.errorString()));
    else
        Status->Tell(tr("Saved the position to %1").arg(Path));
}

void MainWindow::Save_Picture()
{
    const QString Path = Ask_Picture_Path(this, Explore.Settings.Mandelbrot);
    if (Path.isEmpty())
        return;
    // A PNG carries its place: opening it returns there.
    const QImage& Picture = Scheduler->Picture();
    const Saved_Picture Saved =
        Write_Picture(Picture, Path, QString::fromStdString(Position_Text(Explore.Current_Position())));
    if (!Saved.Problem.isEmpty())
        Message(Box::Warning, tr("The picture could not be saved to %1: %2.").arg(Saved.Path, Saved.Problem));
    else
        Status->Tell(Saved_Notice(Saved, Picture.size()));
}

void MainWindow::Report_Device()
{
    const Device_Report Report = Report_On_Device(Scheduler->Engine());
    qInfo().noquote() << "Device:" << Report.Log;
    Message(Report.Usable ? Box::Information : Box::Critical, Report.Text);
}
