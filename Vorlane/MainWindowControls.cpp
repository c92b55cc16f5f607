// The controls of the main window: the form's sliders, combo boxes and number fields, and those that
// deep views need beside them.
#include "MainWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>

#include <algorithm>
#include <array>
#include <cmath>

#include "NumberFields.h"
#include "RenderScheduler.h"
#include "StatusLine.h"
#include "ui_MainWindow.h"

namespace {

constexpr float Julia_Limit = 2.0f;
constexpr float Centre_Limit = 10.0f;

// Combo box order is not the enumeration's: "HSV" is listed before "JET".
constexpr std::array<Colormap_t, 7> Colormap_Of_Item = {HOT, HSV, JET, BONE, MORGENSTEMNING, SKY, ABYSS};

int Combo_Item_Of(Colormap_t Value)
{
    const auto Item = std::find(Colormap_Of_Item.begin(), Colormap_Of_Item.end(), Value);
    return Item == Colormap_Of_Item.end() ? -1 : int(Item - Colormap_Of_Item.begin());
}

int Colouring_Item_Of(Kestrine_Deep::Colouring Mode)
{
    return int(Mode == Kestrine_Deep::Colouring::Cycle) + 2 * int(Mode == Kestrine_Deep::Colouring::Smooth);
}

// The Julia constant has no part in the Mandelbrot set.
void Enable_Julia_Controls(Ui_MainWindow& Ui, bool On)
{
    for (QWidget* Control : std::initializer_list<QWidget*>{Ui.Lab_Julia_R, Ui.Lab_Julia_I, Ui.Slide_Julia_Real,
                                                            Ui.Slide_Julia_Imag, Ui.LineEdit_Julia_R, Ui.LineEdit_Julia_I})
        Control->setEnabled(On);
}

} // namespace

void MainWindow::Slide_Change()
{
    Explore.Settings.Threshold = static_cast<float>(Ui->Slide_Thresh->value()) / static_cast<float>(Explorer::Threshold_Slider_Scale);
    // The slider stands at its end for any count past it: a threshold move must not cut the count.
    const int Slider = Ui->Slide_NumIter->value();
    if (Slider < Ui->Slide_NumIter->maximum() || Explore.Settings.Iterations <= Slider)
        Set_Iterations(Slider);
    Ui->Lab_Val_Thresh->setText(Fixed_Six(Explore.Settings.Threshold));
    Scheduler->Request();
}

void MainWindow::Combo_Cmap()
{
    const int Item = Ui->Combo_Cmap->currentIndex();
    if (Item >= 0 && Item < int(Colormap_Of_Item.size()))
        Explore.Settings.Colormap = Colormap_Of_Item[Item];
    Scheduler->Recolour_Or_Render();
}

void MainWindow::Combo_Set()
{
    const int Item = Ui->Combo_Set->currentIndex();
    if (Item == 0 || Item == 1)
        Explore.Settings.Mandelbrot = Item == 1;
    Enable_Julia_Controls(*Ui, !Explore.Settings.Mandelbrot);
    Scheduler->Request();
}

// Position k stands for exactly k / 10000: the deep renderer and positions take that decimal, the
// float engine its nearest float.
void MainWindow::Julia_Slide_R()
{
    Explore.Set_Julia_Slider(Axis::Real, Ui->Slide_Julia_Real->value());
    Number_Fields::Set(Ui->LineEdit_Julia_R, Fixed_Six(Explore.Settings.Julia_Re));
    Scheduler->Request();
}

void MainWindow::Julia_Slide_I()
{
    Explore.Set_Julia_Slider(Axis::Imaginary, Ui->Slide_Julia_Imag->value());
    Number_Fields::Set(Ui->LineEdit_Julia_I, Fixed_Six(Explore.Settings.Julia_Im));
    Scheduler->Request();
}

void MainWindow::Julia_Manual_R() { Julia_Manual(Axis::Real, Ui->LineEdit_Julia_R); }
void MainWindow::Julia_Manual_I() { Julia_Manual(Axis::Imaginary, Ui->LineEdit_Julia_I); }

// A typed value is the one used and shown: the slider follows as near as its steps allow, without
// rendering its own rounded value first, and the picture is rendered once. The float engine takes
// the nearest float, the deep renderer every digit typed.
void MainWindow::Julia_Manual(Axis Part, QLineEdit* Edit)
{
    if (!Number_Fields::Edited(Edit))
        return;
    const std::optional<float> Typed = Read_Number(Edit->text());
    if (!Typed) {
        Message(Box::Critical, QStringLiteral("Invalid Number!"));
        Fields->Show_In_Use(Edit);
    } else if (std::fabs(*Typed) <= Julia_Limit) {
        QSlider* Slider = Part == Axis::Real ? Ui->Slide_Julia_Real : Ui->Slide_Julia_Imag;
        {
            const QSignalBlocker Quiet(Slider);
            Slider->setValue(Explorer::Slider_Position(*Typed, Explorer::Julia_Slider_Scale));
        }
        Explore.Set_Julia_Typed(Part, *Typed, Edit->text().trimmed().toStdString());
        Number_Fields::Set(Edit, Edit->text());
        Scheduler->Request();
    } else {
        Message(Box::Warning, QStringLiteral("Julia Values are limited to (-2.0 --> +2.0)"));
        Fields->Show_In_Use(Edit);
    }
}

// Only an edited field is read: the other keeps the exact centre in use, which its text shows only
// rounded (to a tenth of a pixel). Return on both texts as the program wrote them changes nothing.
void MainWindow::Coordinates()
{
    QLineEdit* const Edits[] = {Ui->LineEdit_X, Ui->LineEdit_Y};
    if (!Number_Fields::Edited(Edits[0]) && !Number_Fields::Edited(Edits[1]))
        return;
    std::string Texts[2];
    for (int i = 0; i < 2; ++i)
        Texts[i] = Number_Fields::Edited(Edits[i]) ? Edits[i]->text().trimmed().toStdString()
                                                   : Explore.Place().Exact_Centre(i == 0 ? Axis::Real : Axis::Imaginary);
    const std::optional<float> X = Read_Number(QString::fromStdString(Texts[0]));
    const std::optional<float> Y = Read_Number(QString::fromStdString(Texts[1]));
    if (!X || !Y) {
        Message(Box::Critical, QStringLiteral("Invalid Number!"));
        Fields->Show_In_Use(Ui->LineEdit_X);
    } else if (std::fabs(*X) <= Centre_Limit && std::fabs(*Y) <= Centre_Limit && Explore.Set_Centre(Texts[0], Texts[1])) {
        // Read to every digit typed, at any depth; the fields keep the texts as typed.
        for (QLineEdit* Edit : Edits)
            if (Number_Fields::Edited(Edit))
                Number_Fields::Set(Edit, Edit->text());
        Scheduler->Request();
    } else {
        Message(Box::Warning, QStringLiteral("Coordinates are limited to (-10.0 --> +10.0)"));
        Fields->Show_In_Use(Ui->LineEdit_X);
    }
}

void MainWindow::Set_Up_Deep_Controls()
{
    Deep = Add_Deep_Controls(Ui->centralwidget, Ui->gridLayout, Explore.Settings.Iterations, Explore.Settings.Density,
                             [this](const QString& Text) { Status->Tell(Text); });
    connect(Deep.Count, &QSpinBox::valueChanged, this, [this](int Value) {
        Set_Iterations(Value);
        Scheduler->Request();
    });
    connect(Deep.Automatic, &QCheckBox::toggled, this, [this](bool On) {
        Explore.Settings.Follow_Depth = On;
        Scheduler->Request();
    });
    connect(Deep.Colouring, &QComboBox::currentIndexChanged, this, [this](int Item) {
        Explore.Settings.Colouring = Item == 1   ? Kestrine_Deep::Colouring::Cycle
                                     : Item == 2 ? Kestrine_Deep::Colouring::Smooth
                                                 : Kestrine_Deep::Colouring::Table;
        Deep.Density->setEnabled(Explore.Settings.Colouring == Kestrine_Deep::Colouring::Smooth);
        Scheduler->Recolour_Or_Render();
    });
    connect(Deep.Density, &QDoubleSpinBox::valueChanged, this, [this](double Value) {
        Explore.Settings.Density = Value;
        Scheduler->Recolour_Or_Render();
    });
}

// The count in use, shown by the label, the spin box and the slider (at its end past 1000), none of
// which renders on its own for it.
void MainWindow::Set_Iterations(int Count)
{
    Explore.Settings.Iterations = Count;
    Ui->Lab_Val_Iter->setText(QString::number(Count));
    if (Deep.Count && Deep.Count->value() != Count) {
        const QSignalBlocker Quiet(Deep.Count);
        Deep.Count->setValue(Count);
    }
    if (Ui->Slide_NumIter->value() != std::min(Count, Ui->Slide_NumIter->maximum())) {
        const QSignalBlocker Quiet(Ui->Slide_NumIter);
        Ui->Slide_NumIter->setValue(Count);
    }
}

void MainWindow::Show_Settings(bool Julia_Texts)
{
    const Picture_Settings& S = Explore.Settings;
    {
        const QSignalBlocker A(Ui->Combo_Set), B(Ui->Combo_Cmap), C(Ui->Slide_Thresh), D(Ui->Slide_Julia_Real),
            E(Ui->Slide_Julia_Imag), F(Deep.Colouring), G(Deep.Density), H(Deep.Automatic);
        Ui->Combo_Set->setCurrentIndex(S.Mandelbrot ? 1 : 0);
        Ui->Combo_Cmap->setCurrentIndex(Combo_Item_Of(S.Colormap));
        Ui->Slide_Thresh->setValue(Explorer::Slider_Position(S.Threshold, Explorer::Threshold_Slider_Scale));
        Ui->Slide_Julia_Real->setValue(Explorer::Slider_Position(S.Julia_Re, Explorer::Julia_Slider_Scale));
        Ui->Slide_Julia_Imag->setValue(Explorer::Slider_Position(S.Julia_Im, Explorer::Julia_Slider_Scale));
        Deep.Colouring->setCurrentIndex(Colouring_Item_Of(S.Colouring));
        Deep.Density->setValue(S.Density);
        Deep.Density->setEnabled(S.Colouring == Kestrine_Deep::Colouring::Smooth);
        Deep.Automatic->setChecked(S.Follow_Depth);
    }
    Ui->Lab_Val_Thresh->setText(Fixed_Six(S.Threshold));
    Number_Fields::Set(Ui->LineEdit_Julia_R, Julia_Texts ? QString::fromStdString(S.Julia_Re_Text) : Fixed_Six(S.Julia_Re));
    Number_Fields::Set(Ui->LineEdit_Julia_I, Julia_Texts ? QString::fromStdString(S.Julia_Im_Text) : Fixed_Six(S.Julia_Im));
    Set_Iterations(S.Iterations);
    Enable_Julia_Controls(*Ui, !S.Mandelbrot);
}
