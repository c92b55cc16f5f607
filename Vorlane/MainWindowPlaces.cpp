// Places: the position of the view as a text (to save, copy and open again, also from a saved
// picture), the way back and forward through the views that were settled on, and home.
#include "MainWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QSaveFile>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <cmath>

#include "FileDialogs.h"
#include "PictureText.h"
#include "NumberText.h"
#include "StatusLine.h"
#include "ui_MainWindow.h"

namespace {

constexpr std::size_t Most_History = 1000;

} // namespace

Position MainWindow::Current_Position() const
{
    Position Here;
    Here.Mandelbrot = Fractal_Set == 0;
    Here.Centre_Re = Place.Exact_Centre(Axis::Real);
    Here.Centre_Im = Place.Exact_Centre(Axis::Imaginary);
    Here.Width = Place.Exact_Extent(Axis::Real);
    Here.Height = Place.Exact_Extent(Axis::Imaginary);
    Here.Iterations = Iterations_In_Use();
    Here.Threshold = Exact_Text(Threshold);
    Here.Julia_Re = Julia_R_Text;
    Here.Julia_Im = Julia_I_Text;
    Here.Colormap = Colormap_Name(Colormap);
    Here.Colouring = Kestrine_Deep::Colouring_Name(Colouring_Mode);
    Here.Density = Density;
    return Here;
}

// Every control follows the position without rendering on its own; one render follows.
void MainWindow::Apply_Position(const Position& There)
{
    Plane_View New_Place = Place;
    if (!New_Place.Set(There.Centre_Re, There.Centre_Im, There.Width, There.Height))
        return;
    Place = New_Place;
    Fractal_Set = There.Mandelbrot ? 0 : 1;
    Threshold = std::strtof(There.Threshold.c_str(), nullptr);
    Julia_R_Text = There.Julia_Re, Julia_I_Text = There.Julia_Im;
    Julia_R = std::strtof(Julia_R_Text.c_str(), nullptr), Julia_I = std::strtof(Julia_I_Text.c_str(), nullptr);
    Colormap = Colormap_t(Colormap_Value(There.Colormap));
    Colouring_Mode = Kestrine_Deep::Colouring::Table;
    Kestrine_Deep::Colouring_Named(There.Colouring, Colouring_Mode);
    Density = There.Density;
    {
        const QSignalBlocker A(Ui->Combo_Set), B(Ui->Combo_Cmap), C(Ui->Slide_Thresh), D(Ui->Slide_Julia_Real),
            E(Ui->Slide_Julia_Imag);
        Ui->Combo_Set->setCurrentIndex(There.Mandelbrot ? 1 : 0);
        Ui->Combo_Cmap->setCurrentIndex(Combo_Item_Of(Colormap));
        Ui->Slide_Thresh->setValue(Slider_Position(Threshold, 1000.0));
        Ui->Lab_Val_Thresh->setText(Fixed_Six(Threshold));
        Ui->Slide_Julia_Real->setValue(Slider_Position(Julia_R, Julia_Slider_Scale));
        Ui->Slide_Julia_Imag->setValue(Slider_Position(Julia_I, Julia_Slider_Scale));
    }
    Set_Field(Ui->LineEdit_Julia_R, QString::fromStdString(Julia_R_Text));
    Set_Field(Ui->LineEdit_Julia_I, QString::fromStdString(Julia_I_Text));
    auto* Colouring = findChild<QComboBox*>(QStringLiteral("Combo_Colouring"));
    auto* Density_Box = findChild<QDoubleSpinBox*>(QStringLiteral("Spin_Density"));
    {
        const QSignalBlocker A(Colouring), B(Density_Box);
        Colouring->setCurrentIndex(int(Colouring_Mode == Kestrine_Deep::Colouring::Cycle) +
                                   2 * int(Colouring_Mode == Kestrine_Deep::Colouring::Smooth));
        Density_Box->setValue(Density);
        Density_Box->setEnabled(Colouring_Mode == Kestrine_Deep::Colouring::Smooth);
    }
    // A saved count is the one in use: the counts no longer follow the depth on their own.
    {
        auto* Automatic = findChild<QCheckBox*>(QStringLiteral("Check_Auto_Iterations"));
        const QSignalBlocker Quiet(Automatic);
        Automatic->setChecked(false);
        Auto_Iterations = false;
    }
    Set_Iterations(int(There.Iterations));
    Show_Julia_Controls();
    Take_Place();
    Show_Centre();
    Request_Render();
}

// The position a text holds, or the one a saved picture carries; the view changes only when it reads.
bool MainWindow::Open_Position_Text(const QString& Text, const QString& From)
{
    Position There;
    std::string Problem;
    if (!Read_Position(Text.toStdString(), There, Problem)) {
        Message(Box::Warning, tr("No position could be read from %1: %2.").arg(From, QString::fromStdString(Problem)));
        return false;
    }
    Apply_Position(There);
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
    QFile File(Path);
    if (!File.open(QIODevice::ReadOnly)) {
        Message(Box::Warning, tr("%1 could not be opened: %2.").arg(Path, File.errorString()));
        return;
    }
    // A position file is a few hundred bytes; anything much larger is not one.
    Open_Position_Text(QString::fromUtf8(File.read(Longest_Position_Text)), Path);
}

void MainWindow::Open_Position()
{
    const QString Path = Ask_Open_Path(this, "open-position", tr("Open Position"),
                                       tr("Positions and pictures (*.vorlane *.png);;All files (*)"));
    if (!Path.isEmpty())
        Open_Position_File(Path);
}

void MainWindow::Save_Position()
{
    const QString Path = Ask_Save_Path(this, "save-position", tr("Save Position"), QStringLiteral("place.vorlane"),
                                       tr("Positions (*.vorlane);;All files (*)"), QStringLiteral("vorlane"));
    if (Path.isEmpty())
        return;
    QSaveFile File(Path);
    const QByteArray Text = QByteArray::fromStdString(Position_Text(Current_Position()));
    if (!File.open(QIODevice::WriteOnly) || File.write(Text) != Text.size() || !File.commit())
        Message(Box::Warning, tr("The position could not be saved to %1: %2.").arg(Path, File.errorString()));
    else
        Status->Tell(tr("Saved the position to %1").arg(Path));
}

void MainWindow::Copy_Position()
{
    QApplication::clipboard()->setText(QString::fromStdString(Position_Text(Current_Position())));
    Status->Tell(tr("The position is on the clipboard"));
}

void MainWindow::Paste_Position()
{
    Open_Position_Text(QApplication::clipboard()->text(), tr("the clipboard"));
}

// Called with each render: a view settled on, unlike the one history stands at, becomes its newest
// entry (a burst of input renders once, and so is one entry).
void MainWindow::Remember_View()
{
    const std::string Here = Position_Text(Current_Position());
    // A restored entry reads back with its digits written anew: the same view, kept as it now reads.
    if (Restoring && !History.empty()) {
        Restoring = false;
        History[History_At] = Here;
        return;
    }
    if (!History.empty() && History[History_At] == Here)
        return;
    if (!History.empty())
        History.resize(History_At + 1);
    History.push_back(Here);
    if (History.size() > Most_History)
        History.erase(History.begin());
    History_At = History.size() - 1;
}

void MainWindow::Step_History(int Steps)
{
    if (History.empty())
        return;
    const long long To = std::clamp<long long>(static_cast<long long>(History_At) + Steps, 0,
                                               static_cast<long long>(History.size()) - 1);
    if (std::size_t(To) == History_At)
        return;
    History_At = std::size_t(To);
    Position There;
    std::string Problem;
    if (Read_Position(History[History_At], There, Problem)) {
        Restoring = true;
        Apply_Position(There);
    }
}

void MainWindow::Reset_View()
{
    Place = Plane_View();
    Take_Place();
    Show_Centre();
    Request_Render();
}
