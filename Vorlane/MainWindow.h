// The main window and the controller of the whole program.
//
// It owns the engines, the view and its scene, and keeps every parameter of the picture, the part of
// the plane at full precision. Input changes the parameters at once and moves or scales the picture
// on screen to match; one render follows once the input waiting has been handled: on the GUI thread
// with the float engine while single precision resolves the view, on a worker thread with the deep
// renderer past it, cancelled by any newer view.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QMainWindow>
#include <QPointF>

#include <KestrineDeep.h>
#include <Pellarion.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "PlaneView.h"
#include "Position.h"

class GPU_Graphics;
class QDoubleValidator;
class QGraphicsPixmapItem;
class QGraphicsScene;
class QLineEdit;
class QPixmap;
class QSlider;
class QRubberBand;
class QTimer;
class Status_Line;
struct Deep_Result;
class Deep_Worker;
class Render_Events;
class Ui_MainWindow;

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // The position or picture to open once the window is first shown, as Open Position opens it.
    void Open_At_Start(const QString& Path) { Start_File = Path; }

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void wheelEvent(QWheelEvent* event) override;
    void showEvent(QShowEvent* event) override;

private slots:
    void Slide_Change();
    void Combo_Cmap();
    void Combo_Set();
    void Coordinates();
    void Julia_Slide_R();
    void Julia_Slide_I();
    void Julia_Manual_R();
    void Julia_Manual_I();
    void Translate(QPointF Delta);
    void Scale(float Scale);

private:
    enum class Box { Information, Warning, Critical };

    // Slider positions of the Julia constant are this multiple of the values they stand for.
    static constexpr double Julia_Slider_Scale = 10000.0;

    static float Centre_Of(float Min, float Max);
    static int Slider_Position(float Value, double Scale);
    static int Combo_Item_Of(Colormap_t Value);

    void Render_Fractal();
    void Request_Render();
    void Render_Float();
    void Start_Deep_Render();
    void Take_Deep_Result(const Deep_Result& Result);
    void Show_Picture(const QImage& Image, bool Final);
    void Show_Moved_Picture();
    void Recolour_Or_Render();
    Kestrine_Deep::Deep_View Deep_View_Now(int Width, int Height) const;
    bool Deep_Needed() const;
    std::int64_t Iterations_In_Use() const;
    void Take_Place();
    void Set_Up_Rendering();
    void Set_Up_Deep_Controls();
    void Set_Up_Menus();
    void Set_Up_Navigation();
    bool Navigation_Event(QEvent* Event);
    bool File_Drop_Event(QEvent* Event);
    QPointF Plane_Fraction(QPointF Viewport_Point) const;
    void Go_To(QPointF Move, double Factor);
    void Zoom_About(QPointF Fraction, double Factor);
    void Translate_By(QPointF Fraction);
    void Zoom_To_Box(QRect Drawn);
    void Flip_If_Axis_Up(QImage& Image) const;
    Position Current_Position() const;
    void Apply_Position(const Position& There);
    bool Open_Position_Text(const QString& Text, const QString& From);
    void Open_Position_File(const QString& Path);
    void Open_Position();
    void Save_Position();
    void Copy_Position();
    void Paste_Position();
    void Remember_View();
    void Step_History(int Steps);
    void Reset_View();
    void Show_About();
    void Set_Iterations(int Count);
    void Set_Defaults();
    void Take_View_Size();
    void Fit_To_Screen();
    void Report_Device();
    void Julia_Manual(float& Julia_Value, std::string& Julia_Text, QLineEdit* Edit, QSlider* Slider);
    void Set_Field(QLineEdit* Edit, const QString& Text);
    void Set_Up_Number_Fields();
    bool Number_Field_Event(QLineEdit* Edit, QEvent* Event);
    QString Text_In_Use(const QLineEdit* Edit) const;
    bool Edited(const QLineEdit* Edit) const;
    QString Field_Name(const QLineEdit* Edit) const;
    void Check_Field(QLineEdit* Edit);
    void Show_Values_In_Use(QLineEdit* Edit);
    void Show_Centre();
    void Show_Julia_Controls();
    void Message(Box Kind, const QString& Text);
    void Save_Picture();
    void Show_Status();

    Ui_MainWindow* Ui;
    Pellarion* Engine;
    QGraphicsScene* Scene;
    QPixmap* Pixmap;
    QGraphicsPixmapItem* Pixmap_Item;
    GPU_Graphics* View;
    QDoubleValidator* Validator;
    int Fractal_Set;
    Colormap_t Colormap;
    int Image_Width;
    int Image_Height;
    float Julia_I;
    float Julia_R;
    float Threshold;
    int Iterations;
    float X_Min;
    float X_Max;
    float Y_Min;
    float Y_Max;
    // Set by the first show event: a later one (a restored window) keeps what the user set.
    bool Shown_Before;
    QString Start_File;
    // From the first show until the window's frame is known: the frame is fitted to the screen.
    bool Placing;
    // Device pixels per logical pixel of the view when the image size was taken.
    double Pixel_Ratio;
    // The picture as last rendered, at full resolution: what Save writes.
    QImage Picture;
    double Frame_Milliseconds;
    // The pointer over the picture, in the view's logical pixels, while it is there.
    std::optional<QPointF> Cursor;
    std::unique_ptr<Status_Line> Status;

    // The part of the plane in use, at full precision; X_Min to Y_Max are derived from it.
    Plane_View Place;
    // The part of the plane the picture on screen shows: input moves and scales the picture until one
    // of Place arrives.
    Plane_View Picture_Place;
    // The Julia constant as the deep renderer reads it: the float's exact value after a slider move,
    // the text itself after a typed value.
    std::string Julia_R_Text, Julia_I_Text;
    // The centre fields' texts as last written or taken: a field holding another text is not in use.
    QString Centre_Text_X, Centre_Text_Y;
    Kestrine_Deep::Colouring Colouring_Mode;
    double Density;
    bool Auto_Iterations;
    // Started by the first request after a render, restarted by each further one for a short while:
    // a burst of input renders once.
    QTimer* Render_Timer;
    QElapsedTimer Waiting_Since;
    // Counts every change of what the picture shows; a deep result of another generation is dropped.
    std::uint64_t Generation;
    std::uint64_t Deep_Generation; // of the deep render in flight, 0 for none
    QTimer* Progress_Timer;
    // The counts of the last full deep picture and the view they are of, to recolour without iterating.
    Kestrine_Deep::Deep_Picture Last_Counts;
    std::optional<Kestrine_Deep::Deep_View> Counts_View;
    QString Number_Type_Name;
    Render_Events* Events;
    // The views settled on, as position texts, and the one shown.
    std::vector<std::string> History;
    std::size_t History_At;
    // The next render is of the entry history stands at, not a new view.
    bool Restoring;
    bool Square_Pixels;
    bool Axis_Up;
    // A right-button drag's box, from where it started.
    QRubberBand* Box_Band;
    QPoint Box_Start;
    std::unique_ptr<Deep_Worker> Deep;
};
