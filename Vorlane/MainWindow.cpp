#include "MainWindow.h"

#include <QDebug>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QMessageBox>
#include <QPixmap>
#include <QShortcut>
#include <QStatusBar>
#include <QStatusTipEvent>

#include <cmath>
#include <utility>

#include "DeviceReport.h"
#include "Diagnostics.h"
#include "GPU_Graphics.h"
#include "Maker.h"
#include "NumberFields.h"
#include "PictureNavigation.h"
#include "RenderScheduler.h"
#include "StatusLine.h"
#include "WindowPlacement.h"
#include "ui_MainWindow.h"

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), Ui(new Ui_MainWindow)
{
    Ui->setupUi(this);
    // The count in use in full: the form's 60 pixels hold seven digits, counts have up to ten (the
    // widget's maximum grows with its minimum).
    Ui->Lab_Val_Iter->setMinimumWidth(Ui->Lab_Val_Iter->fontMetrics().horizontalAdvance(QStringLiteral("2147483647")));
    QPixmap Black(1200, 800);
    Black.fill(Qt::black);
    Pixmap_Item = new QGraphicsPixmapItem(Black);
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
    // Return reaches the slots only for text the validator accepts; for any other text the fields
    // report it, and the window says "Invalid Number!".
    Fields = new Number_Fields(this);
    Fields->Add(Ui->LineEdit_X, tr("Center-X"), Ui->LineEdit_Y);
    Fields->Add(Ui->LineEdit_Y, tr("Center-Y"), Ui->LineEdit_X);
    Fields->Add(Ui->LineEdit_Julia_I, tr("Julia Imag"));
    Fields->Add(Ui->LineEdit_Julia_R, tr("Julia_Real"));
    connect(Fields, &Number_Fields::Tell, this, [this](const QString& Text) { Status->Tell(Text); });
    connect(Fields, &Number_Fields::Invalid, this, [this] { Message(Box::Critical, QStringLiteral("Invalid Number!")); });
    Set_Up_Scheduler();
    Set_Up_Deep_Controls();
    Set_Up_Menus();
    Set_Up_Navigation();

    connect(Ui->LineEdit_X, &QLineEdit::returnPressed, this, &MainWindow::Coordinates);
    connect(Ui->LineEdit_Y, &QLineEdit::returnPressed, this, &MainWindow::Coordinates);
    connect(Ui->LineEdit_Julia_I, &QLineEdit::returnPressed, this, &MainWindow::Julia_Manual_I);
    connect(Ui->LineEdit_Julia_R, &QLineEdit::returnPressed, this, &MainWindow::Julia_Manual_R);
    resize(First_Window_Size(*this, QSize(1600, 1200)));
}

MainWindow::~MainWindow()
{
    // No deep result may arrive while the window is taken apart, and the scheduler reads the explorer;
    // nor may the view's end, as its pointer leaves, ask for a status line.
    delete Scheduler;
    delete Navigation;
    delete Scene;
    delete View;
    delete Ui;
}

void MainWindow::Set_Up_Scheduler()
{
    Scheduler = new Render_Scheduler(Explore, this);
    connect(Scheduler, &Render_Scheduler::Picture_Ready, this, [this](const QImage& Image) { Show_Picture(Image); });
    connect(Scheduler, &Render_Scheduler::Waiting, this, &MainWindow::Show_Moved_Picture);
    connect(Scheduler, &Render_Scheduler::Progress, this,
            [this](int Per_Cent, bool Reference) { Status->Show_Progress(Per_Cent, Reference); });
    connect(Scheduler, &Render_Scheduler::Progress_Over, this, [this] { Status->Hide_Progress(); });
    connect(Scheduler, &Render_Scheduler::Failed, this, [this](const QString& Text) { Status->Tell(Text); });
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, [this] {
        if (Scheduler->Cancel())
            Status->Tell(tr("Rendering cancelled: the picture is the last one; any change renders again"));
    });
}

bool MainWindow::event(QEvent* e)
{
    // The window manager's frame is known from the first move after the window is mapped.
    if (Placing && (e->type() == QEvent::Move || e->type() == QEvent::Resize))
        Placing = !Fit_To_Screen(*this);
    if (e->type() == QEvent::Resize) {
        Take_View_Size();
        Scheduler->Request();
    }
    // The generic handler below leaves status tips to the main window's own, which never runs.
    if (e->type() == QEvent::StatusTip && Status) {
        if (const QString Tip = static_cast<QStatusTipEvent*>(e)->tip(); !Tip.isEmpty())
            Status->Tell(Tip);
        return true;
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

    Explore.Reset_Defaults();
    const Picture_Settings& S = Explore.Settings;
    // Each slider that moves runs its slot, and so one more render.
    Ui->Slide_Julia_Imag->setValue(Explorer::Slider_Position(S.Julia_Im, Explorer::Julia_Slider_Scale));
    Ui->Slide_Julia_Real->setValue(Explorer::Slider_Position(S.Julia_Re, Explorer::Julia_Slider_Scale));
    Ui->Slide_NumIter->setValue(S.Iterations);
    Ui->Slide_Thresh->setValue(Explorer::Slider_Position(S.Threshold, Explorer::Threshold_Slider_Scale));
    Show_Settings(false);
    Take_View_Size();
    Place_Changed();
    Report_Device();
    Placing = !Fit_To_Screen(*this);
    // After the defaults, so that a file that cannot be read leaves the default view.
    if (!Start_File.isEmpty())
        Open_Position_File(std::exchange(Start_File, QString()));
}

// The image is as large as the view widget, frame included, in device pixels: on a high-DPI screen
// every device pixel gets a pixel of its own.
void MainWindow::Take_View_Size()
{
    Pixel_Ratio = View->devicePixelRatioF();
    Explore.Set_Image_Size(qRound(View->width() * Pixel_Ratio), qRound(View->height() * Pixel_Ratio));
}

void MainWindow::Show_Picture(const QImage& Image)
{
    QImage Shown = Image;
    Shown.setDevicePixelRatio(Pixel_Ratio);
    Pixmap_Item->setPixmap(QPixmap::fromImage(Shown));
    Pixmap_Item->setTransform(QTransform());
    // The scene is the picture: a moved picture then never moves the view's own mapping.
    Scene->setSceneRect(QRectF(QPointF(0, 0), Shown.deviceIndependentSize()));
    View->update();
    Show_Status();
}

// The picture on screen scaled and moved to where its part of the plane lies in the view now.
void MainWindow::Show_Moved_Picture()
{
    const int Columns = Explore.Columns(), Rows = Explore.Rows();
    if (!Pixmap_Item || Columns < 2 || Rows < 2)
        return;
    const Picture_Offset Moved = Explore.Picture_Moved();
    const QSizeF Size = Pixmap_Item->pixmap().deviceIndependentSize();
    const QPointF Middle(Size.width() / 2, Size.height() / 2);
    const QPointF Offset(Moved.Right * (Columns - 1) / Pixel_Ratio, Moved.Down * (Rows - 1) / Pixel_Ratio);
    if (!std::isfinite(Moved.Scale) || !std::isfinite(Offset.x()) || !std::isfinite(Offset.y()))
        return;
    Pixmap_Item->setTransform(QTransform()
                                  .translate(Middle.x() + Offset.x(), Middle.y() + Offset.y())
                                  .scale(Moved.Scale, Moved.Scale)
                                  .translate(-Middle.x(), -Middle.y()));
    View->viewport()->update();
    qCDebug(Vorlane_Render) << "Picture moved";
}

void MainWindow::Show_Status()
{
    if (!Scheduler || !View || !Status)
        return;
    const Pellarion& Engine = Scheduler->Engine();
    View_Facts Facts;
    Facts.Device = Device_Word(Engine);
    Facts.Milliseconds = Scheduler->Frame_Milliseconds();
    Facts.Width = QString::fromStdString(Explore.Place().Extent_Text(Axis::Real, 1.0, 3));
    Facts.Number_Type = Scheduler->Number_Type();
    Facts.Iterations = Explore.Iterations_In_Use();
    Facts.Automatic = Explore.Settings.Follow_Depth;
    const int Columns = Explore.Columns(), Rows = Explore.Rows();
    if (Cursor && Columns > 1 && Rows > 1) {
        QPointF Fraction = Picture_Fraction(*Cursor);
        if (Explore.Settings.Axis_Up)
            Fraction.ry() = -Fraction.y();
        Facts.Pointer_X = QString::fromStdString(Explore.Place().Point_Text(Axis::Real, Fraction.x(), Columns));
        Facts.Pointer_Y = QString::fromStdString(Explore.Place().Point_Text(Axis::Imaginary, Fraction.y(), Rows));
    }
    Status->Show_Readout(Readout_Text(Facts));
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
