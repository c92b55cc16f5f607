// The main window: the form and its controls, the view of the picture, menus, message boxes and the
// status line. It turns what the user does into calls on the explorer (where the user is, what the
// picture should be) and requests to the render scheduler, and shows the pictures the scheduler emits.
#pragma once

#include <QImage>
#include <QMainWindow>
#include <QPointF>

#include <memory>
#include <optional>

#include "DeepControls.h"
#include "Explorer.h"

class GPU_Graphics;
class Number_Fields;
class Picture_Navigation;
class QGraphicsPixmapItem;
class QGraphicsScene;
class QLineEdit;
class Render_Scheduler;
class Status_Line;
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

    void Set_Up_Scheduler();
    void Set_Up_Deep_Controls();
    void Set_Up_Menus();
    void Set_Up_Navigation();
    QPointF Picture_Fraction(QPointF Viewport_Point) const;
    // After the explorer's place changed (or was refused, Moved false): the centre fields follow, and
    // one render.
    void Place_Changed(bool Moved = true);
    void Show_Picture(const QImage& Image);
    void Show_Moved_Picture();
    // Every control shows the explorer's settings, none rendering on its own for it; the Julia fields
    // the constant's texts, or its floats to six decimals.
    void Show_Settings(bool Julia_Texts = true);
    void Set_Iterations(int Count);
    void Julia_Manual(Axis Part, QLineEdit* Edit);
    bool Open_Position_Text(const QString& Text, const QString& From);
    void Open_Position_File(const QString& Path);
    void Save_Position();
    void Save_Picture();
    void Message(Box Kind, const QString& Text);
    void Show_Status();
    void Report_Device();
    void Take_View_Size();

    Ui_MainWindow* Ui;
    Explorer Explore;
    Render_Scheduler* Scheduler = nullptr;
    Number_Fields* Fields = nullptr;
    Picture_Navigation* Navigation = nullptr;
    Deep_Controls Deep;
    QGraphicsScene* Scene = nullptr;
    QGraphicsPixmapItem* Pixmap_Item = nullptr;
    GPU_Graphics* View = nullptr;
    std::unique_ptr<Status_Line> Status;
    // Device pixels per logical pixel of the view when the image size was taken.
    double Pixel_Ratio = 1.0;
    // Set by the first show event: a later one (a restored window) keeps what the user set.
    bool Shown_Before = false;
    QString Start_File;
    // From the first show until the window's frame is known: the frame is fitted to the screen.
    bool Placing = false;
    // The pointer over the picture, in the view's logical pixels, while it is there.
    std::optional<QPointF> Cursor;
};
