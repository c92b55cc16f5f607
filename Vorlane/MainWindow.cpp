#include "MainWindow.h"

#include <QAction>
#include <QDebug>
#include <QElapsedTimer>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <utility>

#include "DeepWorker.h"
#include "Diagnostics.h"
#include "GPU_Graphics.h"
#include "Maker.h"
#include "NumberText.h"
#include "PictureHandoff.h"
#include "PictureSaving.h"
#include "RenderEvents.h"
#include "StatusLine.h"
#include "ui_MainWindow.h"

namespace {

constexpr double Threshold_Slider_Scale = 1000.0;

// Combo box order is not the enumeration's: "HSV" is listed before "JET".
constexpr std::array<Colormap_t, 7> Colormap_Of_Item = {HOT, HSV, JET, BONE, MORGENSTEMNING, SKY, ABYSS};

} // namespace

// The middle of [Min, Max]: the difference in single precision, the rest in double, rounded to float.
float MainWindow::Centre_Of(float Min, float Max)
{
    return static_cast<float>((Max - Min) * 0.5 + Min);
}

int MainWindow::Slider_Position(float Value, double Scale)
{
    return static_cast<int>(std::floor(double(Value) * Scale));
}

int MainWindow::Combo_Item_Of(Colormap_t Value)
{
    const auto Item = std::find(Colormap_Of_Item.begin(), Colormap_Of_Item.end(), Value);
    return Item == Colormap_Of_Item.end() ? -1 : int(Item - Colormap_Of_Item.begin());
}

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), Ui(new Ui_MainWindow), Engine(nullptr), Scene(nullptr), Pixmap(nullptr),
      Pixmap_Item(nullptr), View(nullptr), Validator(nullptr), Image_Width(0), Image_Height(0), Shown_Before(false), Placing(false),
      Pixel_Ratio(1.0), Frame_Milliseconds(0.0), Colouring_Mode(Kestrine_Deep::Colouring::Table), Density(0.05),
      Auto_Iterations(false), Render_Timer(nullptr), Generation(0), Deep_Generation(0), Progress_Timer(nullptr),
      Events(nullptr), History_At(0), Restoring(false), Square_Pixels(false), Axis_Up(false), Box_Band(nullptr)
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
    // What a moved or shrunk picture uncovers, until the next one arrives.
    Scene->setBackgroundBrush(Qt::black);
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

    Status = std::make_unique<Status_Line>(statusBar());
    Set_Up_Number_Fields();
    Set_Up_Rendering();
    Set_Up_Deep_Controls();
    Set_Up_Menus();
    Set_Up_Navigation();

    connect(Ui->LineEdit_X, &QLineEdit::returnPressed, this, &MainWindow::Coordinates);
    connect(Ui->LineEdit_Y, &QLineEdit::returnPressed, this, &MainWindow::Coordinates);
    connect(Ui->LineEdit_Julia_I, &QLineEdit::returnPressed, this, &MainWindow::Julia_Manual_I);
    connect(Ui->LineEdit_Julia_R, &QLineEdit::returnPressed, this, &MainWindow::Julia_Manual_R);

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
    // No deep result may arrive while the window is taken apart.
    Deep.reset();
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
    // The window manager's frame is known from the first move after the window is mapped.
    if (Placing && (e->type() == QEvent::Move || e->type() == QEvent::Resize))
        Fit_To_Screen();
    if (e->type() == QEvent::Resize) {
        Take_View_Size();
        Request_Render();
    }
    if ((e->type() == QEvent::DragEnter || e->type() == QEvent::Drop) && File_Drop_Event(e))
        return true;
    // The generic handler below leaves status tips to the main window's own, which never runs.
    if (e->type() == QEvent::StatusTip && Status) {
        if (const QString Tip = static_cast<QStatusTipEvent*>(e)->tip(); !Tip.isEmpty())
            Status->Tell(Tip);
        return true;
    }
    return QWidget::event(e);
}

bool MainWindow::eventFilter(QObject* Watched, QEvent* Event)
{
    if (View && Watched == View->viewport()) {
        if (Navigation_Event(Event))
            return true;
        if (Event->type() == QEvent::Paint)
            qCDebug(Vorlane_Render) << "Viewport painted";
        if (Event->type() == QEvent::MouseMove) {
            Cursor = static_cast<QMouseEvent*>(Event)->position();
            Show_Status();
        } else if (Event->type() == QEvent::Leave) {
            Cursor.reset();
            Show_Status();
        }
        return false;
    }
    if (auto* Edit = qobject_cast<QLineEdit*>(Watched); Edit && Number_Field_Event(Edit, Event))
        return true;
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
    Set_Iterations(Iterations);
    Set_Field(Ui->LineEdit_Julia_I, Fixed_Six(Julia_I));
    Set_Field(Ui->LineEdit_Julia_R, Fixed_Six(Julia_R));
    Ui->Lab_Val_Thresh->setText(Fixed_Six(Threshold));
    Show_Centre();
    Show_Julia_Controls();
    Take_View_Size();
    Request_Render();
    Report_Device();
    Placing = true;
    Fit_To_Screen();
    // After the defaults, so that a file that cannot be read leaves the default view.
    if (!Start_File.isEmpty())
        Open_Position_File(std::exchange(Start_File, QString()));
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
    Place = Plane_View();
    // The first show moves the sliders to the defaults, which then give the constant's decimals.
    static_assert(Julia_Slider_Scale == 10000.0, "slider positions are ten-thousandths");
    Julia_R_Text = Ten_Thousandths(Slider_Position(Julia_R, Julia_Slider_Scale));
    Julia_I_Text = Ten_Thousandths(Slider_Position(Julia_I, Julia_Slider_Scale));
}

// The image is as large as the view widget, frame included, in device pixels: on a high-DPI screen
// every device pixel gets a pixel of its own.
void MainWindow::Take_View_Size()
{
    Pixel_Ratio = View->devicePixelRatioF();
    Image_Width = qRound(View->width() * Pixel_Ratio);
    Image_Height = qRound(View->height() * Pixel_Ratio);
}

// The window, frame included, inside the screen's free area, as far as its minimum size allows. A
// window manager frames the window only after it is mapped, so this runs until a frame is seen;
// after that, where the user puts the window is the user's choice.
void MainWindow::Fit_To_Screen()
{
    const QScreen* On = screen();
    if (!On)
        return;
    const QRect Room = On->availableGeometry();
    const QRect Inner = geometry(), Outer = frameGeometry();
    const QMargins Frame(Inner.left() - Outer.left(), Inner.top() - Outer.top(), Outer.right() - Inner.right(),
                         Outer.bottom() - Inner.bottom());
    if (!Frame.isNull())
        Placing = false;
    const QSize Fitting = size().boundedTo(Room.size().shrunkBy(Frame));
    if (Fitting != size())
        resize(Fitting);
    const QSize Framed = Fitting.grownBy(Frame);
    const QPoint Corner(std::clamp(Outer.left(), Room.left(), std::max(Room.left(), Room.right() + 1 - Framed.width())),
                        std::clamp(Outer.top(), Room.top(), std::max(Room.top(), Room.bottom() + 1 - Framed.height())));
    if (Corner != Outer.topLeft())
        move(Corner);
}

void MainWindow::Report_Device()
{
    if (Engine->GPU_Available && Engine->CC_Major == 0) {
        // Compute capability 0.0: the software device, which no GPU has.
        const QString Report = QStringLiteral("No NVIDIA GPU was found: pictures are computed on the CPU by the ") +
                               QString::fromUtf8(Engine->GPU_Name) + QLatin1Char('.');
        qInfo().noquote() << "Device:" << Report;
        Message(Box::Information, Report);
    } else if (Engine->GPU_Available) {
        const QString Report = QStringLiteral("GPU Found: ") + QString::fromUtf8(Engine->GPU_Name) +
                               QStringLiteral(" | CC: ") + QString::number(Engine->CC_Major) + QLatin1Char('.') +
                               QString::number(Engine->CC_Minor);
        qInfo().noquote() << "Device:" << Report;
        Message(Box::Information, Report);
    } else if (Engine->Runtime_Version > Engine->Driver_Version) {
        qInfo().noquote() << "Device: none, the driver is older than the CUDA runtime";
        Message(Box::Critical, QStringLiteral("Please Update your Graphics drivers!"));
    } else {
        qInfo().noquote() << "Device: none";
        Message(Box::Critical, QStringLiteral("No supported GPU Device found! This demo requires an nVidia GPU 900 "
                                              "series or newer!"));
    }
}

void MainWindow::Slide_Change()
{
    Threshold = static_cast<float>(Ui->Slide_Thresh->value()) / static_cast<float>(Threshold_Slider_Scale);
    // The slider stands at its end for any count past it: a threshold move must not cut the count.
    const int Slider = Ui->Slide_NumIter->value();
    if (Slider < Ui->Slide_NumIter->maximum() || Iterations <= Slider)
        Set_Iterations(Slider);
    Ui->Lab_Val_Thresh->setText(Fixed_Six(Threshold));
    Request_Render();
}

void MainWindow::Combo_Cmap()
{
    const int Item = Ui->Combo_Cmap->currentIndex();
    if (Item >= 0 && Item < int(Colormap_Of_Item.size()))
        Colormap = Colormap_Of_Item[Item];
    Recolour_Or_Render();
}

void MainWindow::Combo_Set()
{
    const int Item = Ui->Combo_Set->currentIndex();
    if (Item == 0)
        Fractal_Set = 1;
    else if (Item == 1)
        Fractal_Set = 0;
    Show_Julia_Controls();
    Request_Render();
}

void MainWindow::Julia_Slide_R()
{
    // Position k stands for exactly k / 10000: the deep renderer and positions take that decimal, the
    // float engine its nearest float.
    Julia_R = static_cast<float>(Ui->Slide_Julia_Real->value()) / static_cast<float>(Julia_Slider_Scale);
    Julia_R_Text = Ten_Thousandths(Ui->Slide_Julia_Real->value());
    Set_Field(Ui->LineEdit_Julia_R, Fixed_Six(Julia_R));
    Request_Render();
}

void MainWindow::Julia_Slide_I()
{
    // Position k stands for exactly k / 10000: the deep renderer and positions take that decimal, the
    // float engine its nearest float.
    Julia_I = static_cast<float>(Ui->Slide_Julia_Imag->value()) / static_cast<float>(Julia_Slider_Scale);
    Julia_I_Text = Ten_Thousandths(Ui->Slide_Julia_Imag->value());
    Set_Field(Ui->LineEdit_Julia_I, Fixed_Six(Julia_I));
    Request_Render();
}

void MainWindow::Translate(QPointF Delta)
{
    // Delta is in the view's logical pixels; the image has Pixel_Ratio device pixels for each.
    const double Fraction_X = Image_Width > 0 ? Delta.x() / (Image_Width / Pixel_Ratio) : 0.0;
    const double Fraction_Y = Image_Height > 0 ? Delta.y() / (Image_Height / Pixel_Ratio) : 0.0;
    qCDebug(Vorlane_View) << "Panning move by: [ " << float(Fraction_X * (X_Max - X_Min)) << " | "
                          << float(Fraction_Y * (Y_Max - Y_Min)) << " ]";
    Place.Move_By(-Fraction_X, Axis_Up ? Fraction_Y : -Fraction_Y);
    Take_Place();
    Show_Centre();
    Request_Render();
}

// About the centre; the way out ends where no renderer has anything more to show, the way in where
// the deep renderer's range does.
void MainWindow::Scale(float Scale)
{
    const float Old_X_Min = X_Min, Old_X_Max = X_Max, Old_Y_Min = Y_Min, Old_Y_Max = Y_Max;
    Plane_View Scaled = Place;
    if (!Scaled.Zoom(Scale)) {
        qCDebug(Vorlane_View) << "Zoom refused: by" << Scale << "from a width of 2^" << Place.Width_Exponent();
        return;
    }
    Place = Scaled;
    Take_Place();
    qCDebug(Vorlane_View) << "Scale X From:: [ " << Old_X_Min << " | " << Old_X_Max << " ] to: [ " << X_Min << " | " << X_Max << " ]";
    qCDebug(Vorlane_View) << "Scale Y From:: [ " << Old_Y_Min << " | " << Old_Y_Max << " ] to: [ " << Y_Min << " | " << Y_Max << " ]";
    Show_Centre();
    Request_Render();
}

// The Julia constant has no part in the Mandelbrot set.
void MainWindow::Show_Julia_Controls()
{
    for (QWidget* Control : std::initializer_list<QWidget*>{Ui->Lab_Julia_R, Ui->Lab_Julia_I, Ui->Slide_Julia_Real,
                                                            Ui->Slide_Julia_Imag, Ui->LineEdit_Julia_R,
                                                            Ui->LineEdit_Julia_I})
        Control->setEnabled(Fractal_Set != 0);
}

void MainWindow::Save_Picture()
{
    const QString Path = Ask_Picture_Path(this, Fractal_Set == 0);
    if (Path.isEmpty())
        return;
    // The picture carries its place: opening it returns there.
    QImage Tagged = Picture;
    Tagged.setText(QString::fromLatin1(Position_Picture_Key), QString::fromStdString(Position_Text(Current_Position())));
    const Saved_Picture Saved = Write_Picture(Tagged, Path);
    if (!Saved.Problem.isEmpty())
        Message(Box::Warning, tr("The picture could not be saved to %1: %2.").arg(Saved.Path, Saved.Problem));
    else
        Status->Tell(tr("Saved %1 (%2 x %3)").arg(Saved.Path).arg(Picture.width()).arg(Picture.height()));
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
