#include "MainWindow.h"

#include <QAction>
#include <QDebug>
#include <QDir>
#include <QDoubleValidator>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QImageWriter>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPixmap>
#include <QSaveFile>
#include <QScreen>
#include <QStandardPaths>
#include <QStatusBar>

#include <algorithm>
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

// Numbers are written and read in one convention whatever the user's locale: the C locale, a decimal
// point and no group separators, so that every number the program writes reads back as itself and a
// comma is never taken for a separator of thousands.
QLocale Number_Locale()
{
    QLocale C = QLocale::c();
    C.setNumberOptions(QLocale::RejectGroupSeparator | QLocale::OmitGroupSeparator);
    return C;
}

QString Fixed_Six(float Value)
{
    return QString::number(double(Value), 'f', 6);
}

QString Significant_Seven(float Value)
{
    return QString::number(double(Value), 'G', 7);
}

// The middle of [Min, Max]: the difference in single precision, the rest in double, rounded to float.
float Centre_Of(float Min, float Max)
{
    return static_cast<float>((Max - Min) * 0.5 + Min);
}

// The distance from |Value| to the next float up: the resolution of single precision there.
double Float_Step(float Value)
{
    const float Magnitude = std::fabs(Value);
    return double(std::nextafter(Magnitude, INFINITY)) - double(Magnitude);
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
      Pixmap_Item(nullptr), View(nullptr), Validator(nullptr), Image_Width(0), Image_Height(0), Shown_Before(false),
      Pixel_Ratio(1.0), Frame_Milliseconds(0.0)
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

    // Return reaches the slots only for text the validator accepts; for any other text the filter
    // says "Invalid Number!" itself, before the line edit could "fix" the text into another number.
    Validator = new QDoubleValidator();
    Validator->setLocale(Number_Locale());
    for (QLineEdit* Edit : {Ui->LineEdit_X, Ui->LineEdit_Y, Ui->LineEdit_Julia_I, Ui->LineEdit_Julia_R}) {
        Edit->setValidator(Validator);
        Edit->installEventFilter(this);
    }

    connect(Ui->LineEdit_X, &QLineEdit::returnPressed, this, &MainWindow::Coordinates);
    connect(Ui->LineEdit_Y, &QLineEdit::returnPressed, this, &MainWindow::Coordinates);
    connect(Ui->LineEdit_Julia_I, &QLineEdit::returnPressed, this, &MainWindow::Julia_Manual_I);
    connect(Ui->LineEdit_Julia_R, &QLineEdit::returnPressed, this, &MainWindow::Julia_Manual_R);

    // The platform's Save key keeps the picture.
    auto* Save = new QAction(tr("Save Picture..."), this);
    Save->setShortcut(QKeySequence::Save);
    connect(Save, &QAction::triggered, this, &MainWindow::Save_Picture);
    addAction(Save);

    // The status line follows the pointer over the picture.
    View->viewport()->setMouseTracking(true);
    View->viewport()->installEventFilter(this);

    // The size asked for, but never larger than the screen has room for.
    QSize First_Size(1600, 1200);
    if (const QScreen* On = screen())
        First_Size = First_Size.boundedTo(On->availableGeometry().size());
    resize(First_Size);
}

MainWindow::~MainWindow()
{
    // The view goes before the window: its viewport must not ask the window's filter about its end.
    View->viewport()->removeEventFilter(this);
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

bool MainWindow::eventFilter(QObject* Watched, QEvent* Event)
{
    if (View && Watched == View->viewport()) {
        if (Event->type() == QEvent::MouseMove) {
            Cursor = static_cast<QMouseEvent*>(Event)->position();
            Show_Status();
        } else if (Event->type() == QEvent::Leave) {
            Cursor.reset();
            Show_Status();
        }
        return false;
    }
    auto* Edit = qobject_cast<QLineEdit*>(Watched);
    if (Edit && Event->type() == QEvent::KeyPress) {
        const int Key = static_cast<QKeyEvent*>(Event)->key();
        if ((Key == Qt::Key_Return || Key == Qt::Key_Enter) && !Edit->hasAcceptableInput()) {
            Message(Box::Critical, QStringLiteral("Invalid Number!"));
            Show_Values_In_Use(Edit);
            return true;
        }
    }
    return QMainWindow::eventFilter(Watched, Event);
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

// The image is as large as the view widget, frame included, in device pixels: on a high-DPI screen
// every device pixel gets a pixel of its own.
void MainWindow::Take_View_Size()
{
    Pixel_Ratio = View->devicePixelRatioF();
    Image_Width = qRound(View->width() * Pixel_Ratio);
    Image_Height = qRound(View->height() * Pixel_Ratio);
}

void MainWindow::Report_Device()
{
    if (Engine->GPU_Available && Engine->CC_Major == 0) {
        // Compute capability 0.0: the software device, which no GPU has.
        const QString Report = QStringLiteral("No NVIDIA GPU was found: pictures are computed on the CPU by the ") +
                               QString::fromUtf8(Engine->GPU_Name) + QLatin1Char('.');
        qDebug().noquote() << "Device:" << Report;
        Message(Box::Information, Report);
    } else if (Engine->GPU_Available) {
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
    QElapsedTimer Frame;
    Frame.start();
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
    Picture = Picture_From_Engine(Rgba, Image_Width, Image_Height);
    Picture.setDevicePixelRatio(Pixel_Ratio);
    Pixmap_Item->setPixmap(QPixmap::fromImage(Picture));
    View->update();
    Frame_Milliseconds = Frame.nsecsElapsed() / 1e6;
    Show_Status();
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

// A typed value is the one used and shown: the slider follows as near as its steps allow, without
// rendering its own rounded value first, and the picture is rendered once.
void MainWindow::Julia_Manual(float& Julia_Value, QLineEdit* Edit, QSlider* Slider)
{
    const std::optional<float> Typed = Read_Number(Edit);
    if (!Typed) {
        Message(Box::Critical, QStringLiteral("Invalid Number!"));
        Show_Values_In_Use(Edit);
    } else if (std::fabs(*Typed) <= Julia_Limit) {
        {
            const QSignalBlocker Quiet(Slider);
            Slider->setValue(Slider_Position(*Typed, Julia_Slider_Scale));
        }
        Julia_Value = *Typed;
        Render_Fractal();
    } else {
        Message(Box::Warning, QStringLiteral("Julia Values are limited to (-2.0 --> +2.0)"));
        Show_Values_In_Use(Edit);
    }
}

void MainWindow::Coordinates()
{
    const std::optional<float> X = Read_Number(Ui->LineEdit_X);
    const std::optional<float> Y = Read_Number(Ui->LineEdit_Y);
    if (!X || !Y) {
        Message(Box::Critical, QStringLiteral("Invalid Number!"));
        Show_Centre();
    } else if (std::fabs(*X) <= Centre_Limit && std::fabs(*Y) <= Centre_Limit) {
        const float Width = X_Max - X_Min;
        const float Height = Y_Max - Y_Min;
        if (Set_Window(*X - Width * 0.5, *X + Width * 0.5, *Y - Height * 0.5, *Y + Height * 0.5))
            Render_Fractal();
    } else {
        Message(Box::Warning, QStringLiteral("Coordinates are limited to (-10.0 --> +10.0)"));
        Show_Centre();
    }
}

void MainWindow::Translate(QPointF Delta)
{
    // Delta is in the view's logical pixels; the image has Pixel_Ratio device pixels for each.
    const float Width = X_Max - X_Min;
    const float Height = Y_Max - Y_Min;
    const double Dx = Delta.x() / (Image_Width / Pixel_Ratio) * Width;
    const double Dy = Delta.y() / (Image_Height / Pixel_Ratio) * Height;
    qDebug() << "Panning move by: [ " << float(Dx) << " | " << float(Dy) << " ]";
    if (!Set_Window(X_Min - Dx, X_Max - Dx, Y_Min - Dy, Y_Max - Dy))
        return;
    Show_Centre();
    Render_Fractal();
}

void MainWindow::Scale(float Scale)
{
    const float Width = X_Max - X_Min;
    const float Height = Y_Max - Y_Min;
    const float Centre_X = Centre_Of(X_Min, X_Max);
    const float Centre_Y = Centre_Of(Y_Min, Y_Max);
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

// Reads a typed number in the program's one convention; nothing if it cannot be read or does not fit
// a float.
std::optional<float> MainWindow::Read_Number(const QLineEdit* Edit) const
{
    bool Read = false;
    const double Value = Number_Locale().toDouble(Edit->text().trimmed(), &Read);
    const float Single = static_cast<float>(Value);
    if (!Read || !std::isfinite(Single))
        return std::nullopt;
    return Single;
}

// After a refused value a field shows the value in use again.
void MainWindow::Show_Values_In_Use(QLineEdit* Edit)
{
    if (Edit == Ui->LineEdit_Julia_R)
        Edit->setText(Fixed_Six(Julia_R));
    else if (Edit == Ui->LineEdit_Julia_I)
        Edit->setText(Fixed_Six(Julia_I));
    else
        Show_Centre();
}

// The centre of the window in both centre fields.
void MainWindow::Show_Centre()
{
    Ui->LineEdit_X->setText(Significant_Seven(Centre_Of(X_Min, X_Max)));
    Ui->LineEdit_Y->setText(Significant_Seven(Centre_Of(Y_Min, Y_Max)));
}

void MainWindow::Save_Picture()
{
    const QString Folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    const QString Suggested =
        QDir(Folder.isEmpty() ? QDir::homePath() : Folder).filePath(Fractal_Set == 0 ? "mandelbrot.png" : "julia.png");
    const QString Path = QFileDialog::getSaveFileName(this, tr("Save Picture"), Suggested,
                                                      tr("PNG image (*.png);;JPEG image (*.jpg *.jpeg);;"
                                                         "BMP image (*.bmp);;TIFF image (*.tif *.tiff);;All files (*)"));
    if (!Path.isEmpty())
        Write_Picture(Path);
}

// Writes the picture exactly as rendered, in the format its extension names (PNG without one). The
// file is written aside and put in place only when complete, so a failure leaves any file of that
// name as it was; the user is told why.
void MainWindow::Write_Picture(const QString& Path)
{
    QString Target = Path;
    if (QFileInfo(Target).suffix().isEmpty())
        Target += QStringLiteral(".png");
    const QByteArray Format = QFileInfo(Target).suffix().toLower().toLatin1();
    QString Problem;
    if (Picture.isNull()) {
        Problem = tr("there is no picture yet");
    } else if (!QImageWriter::supportedImageFormats().contains(Format)) {
        Problem = tr("the format \"%1\" cannot be written").arg(QString::fromLatin1(Format));
    } else {
        QSaveFile File(Target);
        QImageWriter Writer(&File, Format);
        QImage Full_Size = Picture;
        Full_Size.setDevicePixelRatio(1.0);
        if (!File.open(QIODevice::WriteOnly))
            Problem = File.errorString();
        else if (!Writer.write(Full_Size))
            Problem = Writer.errorString();
        else if (!File.commit())
            Problem = File.errorString();
    }
    if (!Problem.isEmpty())
        Message(Box::Warning, tr("The picture could not be saved to %1: %2.").arg(Target, Problem));
    else
        statusBar()->showMessage(tr("Saved %1 (%2 x %3)").arg(Target).arg(Picture.width()).arg(Picture.height()), 5000);
}

// The status line: the device, how long the last picture took, the point under the pointer to the
// precision the view resolves, and a notice when pixels are about as fine as single precision goes.
void MainWindow::Show_Status()
{
    if (!Engine || !View)
        return;
    QStringList Parts;
    if (!Engine->GPU_Available)
        Parts << tr("no device");
    else if (Engine->CC_Major == 0)
        Parts << tr("CPU");
    else
        Parts << QString::fromUtf8(Engine->GPU_Name);
    Parts << tr("%1 ms").arg(Frame_Milliseconds, 0, 'f', 1);
    const double Step_X = Image_Width > 1 ? double(X_Max - X_Min) / (Image_Width - 1) : 0.0;
    const double Step_Y = Image_Height > 1 ? double(Y_Max - Y_Min) / (Image_Height - 1) : 0.0;
    if (Cursor && Image_Width > 1 && Image_Height > 1) {
        const QPointF At = View->mapToScene(Cursor->toPoint()) * Pixel_Ratio;
        const auto Decimals = [](double Step) {
            return Step > 0.0 ? std::clamp(int(-std::floor(std::log10(Step))), 0, 15) : 6;
        };
        Parts << tr("x = %1, y = %2")
                     .arg(X_Min + Step_X * At.x(), 0, 'f', Decimals(Step_X))
                     .arg(Y_Min + Step_Y * At.y(), 0, 'f', Decimals(Step_Y));
    }
    const float Centre_X = Centre_Of(X_Min, X_Max);
    const float Centre_Y = Centre_Of(Y_Min, Y_Max);
    if (Step_X < 8 * Float_Step(Centre_X) || Step_Y < 8 * Float_Step(Centre_Y))
        Parts << tr("single precision limit: zooming further only enlarges the pixels");
    statusBar()->showMessage(Parts.join(QStringLiteral("  |  ")));
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
