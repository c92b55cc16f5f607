// The main window and the controller of the whole program.
//
// It owns the engine, the view and its scene, keeps every parameter of the picture, and answers
// each control, each pan step and each zoom step with a complete new render.
#pragma once

#include <QImage>
#include <QMainWindow>
#include <QPointF>

#include <Pellarion.h>

#include <memory>
#include <optional>

class GPU_Graphics;
class QDoubleValidator;
class QGraphicsPixmapItem;
class QGraphicsScene;
class QLineEdit;
class QPixmap;
class QSlider;
class Status_Line;
class Ui_MainWindow;

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

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

    void Render_Fractal();
    void Set_Defaults();
    void Take_View_Size();
    void Fit_To_Screen();
    void Report_Device();
    void Julia_Manual(float& Julia_Value, QLineEdit* Edit, QSlider* Slider);
    bool Set_Window(double New_X_Min, double New_X_Max, double New_Y_Min, double New_Y_Max);
    void Set_Up_Number_Fields();
    bool Number_Field_Event(QLineEdit* Edit, QEvent* Event);
    float Value_In_Use(const QLineEdit* Edit) const;
    QString Text_In_Use(const QLineEdit* Edit) const;
    QString Field_Name(const QLineEdit* Edit) const;
    void Check_Field(QLineEdit* Edit);
    void Show_Values_In_Use(QLineEdit* Edit);
    bool Show_Centre();
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
};
