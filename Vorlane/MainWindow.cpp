#include "MainWindow.h"

#include <QDebug>
#include <QDoubleValidator>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QMessageBox>
#include <QPixmap>

#include <array>
#include <cmath>
#include <cstdio>

#include "GPU_Graphics.h"
#include "Maker.h"
#include "PictureHandoff.h"
#include "ui_MainWindow.h"

namespace {

// Iterations per kernel launch: long renders are cut into short launches.
constexpr int Iterations_Per_Launch = 50;

// Slider positions are these multiples of the values they stand for.
constexpr double Julia_Slider_Scale = 10000.0;
constexpr double Threshold_Slider_Scale = 1000.0;

constexpr float Julia_Limit = 2.0f;
constexpr float Centre_Limit = 10.0f;

// Combo box order is not the enumeration's: "HSV" is listed before "JET".
constexpr std::array<Colormap_t, 7> Colormap_Of_Item = {HOT, HSV, JET, BONE, MORGENSTEMNING, SKY, ABYSS};

QString Fixed_Six(float Value)
{
    return QString::number(double(Value), 'f', 6);
}

int Slider_Position(float Value, double Scale)
{
    return static_cast<int>(std::floor(double(Value) * Scale));
}

// The window is valid while it has a positive, finite size and a finite centre.
bool Valid_Window(float Min, float Max)
{
    const float Size = Max - Min;
    return std::isfinite(Min) && std::isfinite(Max) && std::isfinite(Size) && Size > 0.0f &&
           std::isfinite(double(Size) * 0.5 + Min);
}

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), Ui(new Ui_MainWindow), Engine(nullptr), Scene(nullptr), Pixmap(nullptr),
      Pixmap_Item(nullptr), View(nullptr), Validator(nullptr), Image_Width(0), Image_Height(0), Shown_Before(false)
{
    // The resize event that comes before the first show event already renders.
    Set_Defaults();
    Ui->setupUi(this);
    Engine = new Pellarion();
    Pixmap = new QPixmap(1200, 800);
    Pixmap->fill(Qt::black);
    Pixmap_Item = new QGraphicsPixmapItem(*Pixmap);
    View = new GPU_Graphics(this);
    Scene = new QGraphicsScene(this);
    View->setScene(Scene);
    Scene->addItem(Pixmap_Item);
    View->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    View->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    View->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Ui->gridLayout->addWidget(View, 6, 0, -1, -1);

    connect(View, &GPU_Graphics::Translate, this, &MainWindow::Translate);
    connect(View, &GPU_Graphics::Scale, this, &MainWindow::Scale);
    connect(Ui->Slide_Julia_Imag, &QAbstractSlider::valueChanged, this, &MainWindow::Julia_Slide_I);
    connect(Ui->Slide_Julia_Real, &QAbstractSlider::valueChanged, this, &MainWindow::Julia_Slide_R);
    connect(Ui->Slide_NumIter, &QAbstractSlider::valueChanged, this, &MainWindow::Slide_Change);
    connect(Ui->Slide_Thresh, &QAbstractSlider::valueChanged, this, &MainWindow::Slide_Change);
    connect(Ui->Combo_Cmap, &QComboBox::currentIndexChanged, this, &MainWindow::Combo_Cmap);
    connect(Ui->Combo_Set, &QComboBox::currentIndexChanged, this, &MainWindow::Combo_Set);

    // Return reaches the slots only for text the validator accepts.
    Validator = new QDoubleValidator();
    for (QLineEdit* Edit : {Ui->LineEdit_X, Ui->LineEdit_Y, Ui->LineEdit_Julia_I, Ui->LineEdit_Julia_R})
        Edit->setValidator(Validator);

    connect(Ui->LineEdit_X, &QLineEdit::returnPressed, this, &MainWindow::Coordinates);
    connect(Ui->LineEdit_Y, &QLineEdit::returnPressed, this, &MainWindow::Coordinates);
    connect(Ui->LineEdit_Julia_I, &QLineEdit::returnPressed, this, &MainWindow::Julia_Manual_I);
    connect(Ui->LineEdit_Julia_R, &QLineEdit::returnPressed, this, &MainWindow::Julia_Manual_R);

    resize(1600, 1200);
}

MainWindow::~MainWindow()
{
    delete Validator;
    delete Pixmap;
    delete Pixmap_Item;
    delete Scene;
    delete View;
    delete Engine;
    delete Ui;
}

bool MainWindow::event(QEvent* e)
{
    if (e->type() == QEvent::Resize) {
        Take_View_Size();
        Render_Fractal();
    }
    return QWidget::event(e);
}

// Wheel turns that no child took (over a label, between controls) do nothing.
void MainWindow::wheelEvent(QWheelEvent*) {}

void MainWindow::showEvent(QShowEvent*)
{
    // Only the first show starts afresh; restoring a minimised window must not undo the exploration.
    if (Shown_Before)
        return;
    Shown_Before = true;

    Set_Defaults();
    // Each slider that moves runs its slot, and so one more render.
    Ui->Slide_Julia_Imag->setValue(Slider_Position(Julia_I, Julia_Slider_Scale));
    Ui->Slide_Julia_Real->setValue(Slider_Position(Julia_R, Julia_Slider_Scale));
    Ui->Slide_NumIter->setValue(Iterations);
    Ui->Slide_Thresh->setValue(Slider_Position(Threshold, Threshold_Slider_Scale));
    Ui->Lab_Val_Iter->setText(QString::number(Iterations));
    Ui->LineEdit_Julia_I->setText(Fixed_Six(Julia_I));
    Ui->LineEdit_Julia_R->setText(Fixed_Six(Julia_R));
    Ui->Lab_Val_Thresh->setText(Fixed_Six(Threshold));
    Take_View_Size();
    Render_Fractal();
    Report_Device();
}

void MainWindow::Set_Defaults()
{
    Colormap = MORGENSTEMNING;
    Fractal_Set = 1;
    Julia_I = 0.6f;
    Julia_R = -0.4f;
    Iterations = 100;
    Threshold = 4.0f;
    X_Min = -2.0f;
    Y_Min = -2.0f;
    X_Max = 2.0f;
    Y_Max = 2.0f;
}

// The image is as large as the view widget, frame included.
void MainWindow::Take_View_Size()
{
    Image_Width = View->width();
    Image_Height = View->height();
}

void MainWindow::Report_Device()
{
    if (Engine->GPU_Available) {
        const QString Report = QStringLiteral("GPU Found: ") + QString::fromUtf8(Engine->GPU_Name) +
                               QStringLiteral(" | CC: ") + QString::number(Engine->CC_Major) + QLatin1Char('.') +
                               QString::number(Engine->CC_Minor);
        qDebug().noquote() << "Device:" << Report;
        Message(Box::Information, Report);
    } else if (Engine->Runtime_Version > Engine->Driver_Version) {
        qDebug().noquote() << "Device: none, the driver is older than the CUDA runtime";
        Message(Box::Critical, QStringLiteral("Please Update your Graphics drivers!"));
    } else {
        qDebug().noquote() << "Device: none";
        Message(Box::Critical, QStringLiteral("No supported GPU Device found! This demo requires an nVidia GPU 900 "
                                              "series or newer!"));
    }
}

void MainWindow::Render_Fractal()
{
    const std::uint8_t* Rgba = nullptr;
    if (Engine) {
        Engine->Compute_Init(Image_Width, Image_Height, X_Min, X_Max, Y_Min, Y_Max, Colormap);
        if (Fractal_Set == 0)
            Engine->Compute_MandelBrot(Threshold, Iterations, Iterations_Per_Launch);
        else if (Fractal_Set == 1)
            Engine->Compute_Julia(Threshold, Iterations, Iterations_Per_Launch, Julia_R, Julia_I);
        if (Engine->Width == Image_Width && Engine->Height == Image_Height)
            Rgba = Engine->Host_Image;
    }
    // No image to show: said once a render, and the picture is black rather than undefined.
    if (!Rgba && Image_Width > 0 && Image_Height > 0) {
        std::fputs("Internal Error!\n", stdout);
        std::fflush(stdout);
    }
    Pixmap_Item->setPixmap(QPixmap::fromImage(Picture_From_Engine(Rgba, Image_Width, Image_Height)));
    View->update();
}

void MainWindow::Slide_Change()
{
    Threshold = static_cast<float>(Ui->Slide_Thresh->value()) / static_cast<float>(Threshold_Slider_Scale);
    Iterations = Ui->Slide_NumIter->value();
    Ui->Lab_Val_Iter->setText(QString::number(Iterations));
    Ui->Lab_Val_Thresh->setText(Fixed_Six(Threshold));
    Render_Fractal();
}

void MainWindow::Combo_Cmap()
{
    const int Item = Ui->Combo_Cmap->currentIndex();
    if (Item >= 0 && Item < int(Colormap_Of_Item.size()))
        Colormap = Colormap_Of_Item[Item];
    Render_Fractal();
}

void MainWindow::Combo_Set()
{
    const int Item = Ui->Combo_Set->currentIndex();
    if (Item == 0)
        Fractal_Set = 1;
    else if (Item == 1)
        Fractal_Set = 0;
    Render_Fractal();
}

void MainWindow::Julia_Slide_R()
{
    Julia_R = static_cast<float>(Ui->Slide_Julia_Real->value()) / static_cast<float>(Julia_Slider_Scale);
    Ui->LineEdit_Julia_R->setText(Fixed_Six(Julia_R));
    Render_Fractal();
}

void MainWindow::Julia_Slide_I()
{
    Julia_I = static_cast<float>(Ui->Slide_Julia_Imag->value()) / static_cast<float>(Julia_Slider_Scale);
    Ui->LineEdit_Julia_I->setText(Fixed_Six(Julia_I));
    Render_Fractal();
}

void MainWindow::Julia_Manual_R()
{
    Julia_Manual(Julia_R, Ui->LineEdit_Julia_R, Ui->Slide_Julia_Real);
}

void MainWindow::Julia_Manual_I()
{
    Julia_Manual(Julia_I, Ui->LineEdit_Julia_I, Ui->Slide_Julia_Imag);
}

void MainWindow::Julia_Manual(float& Julia_Value, QLineEdit* Edit, QSlider* Slider)
{
    const std::optional<float> Typed = Read_Number(Edit);
    if (!Typed) {
        Message(Box::Critical, QStringLiteral("Invalid Number!"));
    } else if (std::fabs(*Typed) <= Julia_Limit) {
        // A slider that moves renders with its own quantised value first; the typed value follows.
        Slider->setValue(Slider_Position(*Typed, Julia_Slider_Scale));
        Julia_Value = *Typed;
        Render_Fractal();
    } else {
        Message(Box::Warning, QStringLiteral("Julia Values are limited to (-2.0 --> +2.0)"));
    }
}

void MainWindow::Coordinates()
{
    const std::optional<float> X = Read_Number(Ui->LineEdit_X);
    const std::optional<float> Y = Read_Number(Ui->LineEdit_Y);
    if (!X || !Y) {
        Message(Box::Critical, QStringLiteral("Invalid Number!"));
    } else if (std::fabs(*X) <= Centre_Limit && std::fabs(*Y) <= Centre_Limit) {
        const float Width = X_Max - X_Min;
        const float Height = Y_Max - Y_Min;
        if (Set_Window(*X - Width * 0.5, *X + Width * 0.5, *Y - Height * 0.5, *Y + Height * 0.5))
            Render_Fractal();
    } else {
        Message(Box::Warning, QStringLiteral("Coordinates are limited to (-10.0 --> +10.0)"));
    }
}

void MainWindow::Translate(QPointF Delta)
{
    const float Width = X_Max - X_Min;
    const float Height = Y_Max - Y_Min;
    const double Dx = Delta.x() / Image_Width * Width;
    const double Dy = Delta.y() / Image_Height * Height;
    qDebug() << "Panning move by: [ " << float(Dx) << " | " << float(Dy) << " ]";
    if (!Set_Window(X_Min - Dx, X_Max - Dx, Y_Min - Dy, Y_Max - Dy))
        return;
    const float Centre_X = static_cast<float>((X_Max - X_Min) * 0.5 + X_Min);
    const float Centre_Y = static_cast<float>((Y_Max - Y_Min) * 0.5 + Y_Min);
    Ui->LineEdit_X->setText(QString::number(double(Centre_X), 'G', 7));
    Ui->LineEdit_Y->setText(QString::number(double(Centre_Y), 'G', 7));
    Render_Fractal();
}

void MainWindow::Scale(float Scale)
{
    const float Width = X_Max - X_Min;
    const float Height = Y_Max - Y_Min;
    const float Centre_X = static_cast<float>(Width * 0.5 + X_Min);
    const float Centre_Y = static_cast<float>(Height * 0.5 + Y_Min);
    const double Half_Width = (Width * Scale) * 0.5;
    const double Half_Height = (Height * Scale) * 0.5;
    const float Old_X_Min = X_Min, Old_X_Max = X_Max, Old_Y_Min = Y_Min, Old_Y_Max = Y_Max;
    if (!Set_Window(Centre_X - Half_Width, Centre_X + Half_Width, Centre_Y - Half_Height, Centre_Y + Half_Height))
        return;
    qDebug() << "Scale X From:: [ " << Old_X_Min << " | " << Old_X_Max << " ] to: [ " << X_Min << " | " << X_Max << " ]";
    qDebug() << "Scale Y From:: [ " << Old_Y_Min << " | " << Old_Y_Max << " ] to: [ " << Y_Min << " | " << Y_Max << " ]";
    Render_Fractal();
}

// Stores the window rounded to single precision, unless that leaves no picture to draw: a width or
// height that is zero, negative, infinite or NaN, or a centre that is not finite. Zooming in past
// what single precision resolves, or out past its range, stops there; the way back stays open.
bool MainWindow::Set_Window(double New_X_Min, double New_X_Max, double New_Y_Min, double New_Y_Max)
{
    const float X_First = static_cast<float>(New_X_Min), X_Last = static_cast<float>(New_X_Max);
    const float Y_First = static_cast<float>(New_Y_Min), Y_Last = static_cast<float>(New_Y_Max);
    if (!Valid_Window(X_First, X_Last) || !Valid_Window(Y_First, Y_Last)) {
        qDebug() << "Window refused: [ " << X_First << " | " << X_Last << " ] x [ " << Y_First << " | " << Y_Last << " ]";
        return false;
    }
    X_Min = X_First;
    X_Max = X_Last;
    Y_Min = Y_First;
    Y_Max = Y_Last;
    return true;
}

// Reads a typed number with the rules of the validator that accepted it (the application's locale),
// then with the C locale; nothing if neither can read it or it does not fit a float.
std::optional<float> MainWindow::Read_Number(const QLineEdit* Edit) const
{
    bool Read = false;
    double Value = Validator->locale().toDouble(Edit->text(), &Read);
    if (!Read)
        Value = QLocale::c().toDouble(Edit->text(), &Read);
    const float Single = static_cast<float>(Value);
    if (!Read || !std::isfinite(Single))
        return std::nullopt;
    return Single;
}

void MainWindow::Message(Box Kind, const QString& Text)
{
    const QString Title = QString::fromUtf8(Maker_Domain);
    switch (Kind) {
    case Box::Information: QMessageBox::information(this, Title, Text, QMessageBox::Ok, QMessageBox::NoButton); break;
    case Box::Warning: QMessageBox::warning(this, Title, Text, QMessageBox::Ok, QMessageBox::NoButton); break;
    case Box::Critical: QMessageBox::critical(this, Title, Text, QMessageBox::Ok, QMessageBox::NoButton); break;
    }
}
