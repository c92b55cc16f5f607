// The fractal view: mouse and wheel events in, Translate and Scale out.
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QtTest>

#include "GPU_Graphics.h"

namespace {

// The window around the view, recording whatever mouse or wheel event reaches it.
class Parent_Widget : public QWidget {
public:
    int Events_Received = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++Events_Received; }
    void mouseReleaseEvent(QMouseEvent*) override { ++Events_Received; }
    void mouseMoveEvent(QMouseEvent*) override { ++Events_Received; }
    void wheelEvent(QWheelEvent*) override { ++Events_Received; }
};

QStringList Debug_Lines;

void Collect_Debug_Lines(QtMsgType Type, const QMessageLogContext&, const QString& Message)
{
    if (Type == QtDebugMsg)
        Debug_Lines.append(Message);
}

// A view laid out like the program's: below a row of controls, showing a scene with one pixmap.
struct View_In_Window {
    Parent_Widget Window;
    GPU_Graphics* View;
    QGraphicsScene Scene;
    QGraphicsPixmapItem* Item;

    View_In_Window()
    {
        auto* Layout = new QVBoxLayout(&Window);
        auto* Controls = new QWidget;
        Controls->setFixedHeight(150);
        Layout->addWidget(Controls);
        View = new GPU_Graphics;
        View->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        View->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        Layout->addWidget(View);
        Item = Scene.addPixmap(QPixmap(400, 300));
        View->setScene(&Scene);
        Window.resize(420, 480);
        Window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&Window));
    }

    void Mouse(QEvent::Type Type, Qt::MouseButton Button, QPoint At, Qt::MouseButtons Held)
    {
        QWidget* Viewport = View->viewport();
        QMouseEvent Event(Type, QPointF(At), QPointF(Viewport->mapToGlobal(At)), Button, Held, Qt::NoModifier);
        QApplication::sendEvent(Viewport, &Event);
    }
    void Press(Qt::MouseButton Button, QPoint At) { Mouse(QEvent::MouseButtonPress, Button, At, Button); }
    void Release(Qt::MouseButton Button, QPoint At) { Mouse(QEvent::MouseButtonRelease, Button, At, Qt::NoButton); }
    void Move(QPoint At, Qt::MouseButtons Held = Qt::LeftButton) { Mouse(QEvent::MouseMove, Qt::NoButton, At, Held); }

    void Wheel(QPointF At, QPoint Angle_Delta)
    {
        QWidget* Viewport = View->viewport();
        QWheelEvent Event(At, Viewport->mapToGlobal(At), QPoint(), Angle_Delta, Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(Viewport, &Event);
    }
};

QPointF Delta_Of(const QList<QVariant>& Emitted)
{
    return Emitted.at(0).value<QPointF>();
}

} // namespace

class View_Test : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        Debug_Lines.clear();
        qInstallMessageHandler(Collect_Debug_Lines);
    }
    void cleanup() { qInstallMessageHandler(nullptr); }

    void A_Left_Drag_Pans_By_The_Pointer_Movement()
    {
        View_In_Window W;
        QSignalSpy Translate(W.View, &GPU_Graphics::Translate);
        W.Press(Qt::LeftButton, {100, 100});
        W.Move({103, 100});
        W.Move({100, 100});
        W.Move({90, 125});
        W.Release(Qt::LeftButton, {90, 125});
        W.Move({50, 50}, Qt::NoButton);
        QCOMPARE(Translate.count(), 3);
        QCOMPARE(Delta_Of(Translate[0]), QPointF(3.0, 0.0));
        QCOMPARE(Delta_Of(Translate[1]), QPointF(-3.0, 0.0));
        QCOMPARE(Delta_Of(Translate[2]), QPointF(-10.0, 25.0));
        QCOMPARE(W.Window.Events_Received, 0);
        QCOMPARE(Debug_Lines.first(), QStringLiteral("Startin Panning"));
        QCOMPARE(Debug_Lines.last(), QStringLiteral("Stopped Panning"));
    }

    void Other_Buttons_Clicks_And_Idle_Moves_Emit_Nothing()
    {
        View_In_Window W;
        QSignalSpy Translate(W.View, &GPU_Graphics::Translate);
        W.Move({10, 10}, Qt::NoButton); // before any press
        for (const Qt::MouseButton Button : {Qt::RightButton, Qt::MiddleButton}) {
            W.Press(Button, {100, 100});
            W.Move({140, 120}, Button);
            W.Release(Button, {140, 120});
        }
        QVERIFY(Debug_Lines.isEmpty());
        W.Press(Qt::LeftButton, {60, 60});
        W.Release(Qt::LeftButton, {60, 60});
        QCOMPARE(Translate.count(), 0);
        QCOMPARE(Debug_Lines, (QStringList{"Startin Panning", "Stopped Panning"}));
        QCOMPARE(W.Window.Events_Received, 0);
    }

    void The_Next_Step_Is_Measured_Under_The_Receivers_New_Mapping()
    {
        View_In_Window W;
        W.Item->setPixmap(QPixmap(2000, 2000));
        W.View->setSceneRect(0, 0, 2000, 2000);
        // The receiver moves the view over the scene, as a new picture of another size would.
        int Steps = 0;
        QObject::connect(W.View, &GPU_Graphics::Translate, [&W, &Steps](QPointF) {
            ++Steps;
            W.View->centerOn(1000 + 10 * Steps, 1000 - 7 * Steps);
        });
        QSignalSpy Translate(W.View, &GPU_Graphics::Translate);
        W.Press(Qt::LeftButton, {100, 100});
        W.Move({103, 100});
        W.Move({106, 100});
        W.Move({106, 104});
        QCOMPARE(Translate.count(), 3);
        QCOMPARE(Delta_Of(Translate[0]), QPointF(3.0, 0.0));
        QCOMPARE(Delta_Of(Translate[1]), QPointF(3.0, 0.0));
        QCOMPARE(Delta_Of(Translate[2]), QPointF(0.0, 4.0));
    }

    void One_Zoom_Step_Per_Wheel_Event_From_The_Sign_Alone()
    {
        View_In_Window W;
        QSignalSpy Scale(W.View, &GPU_Graphics::Scale);
        const QPointF Centre(W.View->viewport()->width() / 2.0, W.View->viewport()->height() / 2.0);
        for (const QPoint Delta : {QPoint(0, 120), QPoint(0, 1), QPoint(120, 0), QPoint(0, -120), QPoint(0, -720)})
            W.Wheel(Centre, Delta);
        QCOMPARE(Scale.count(), 5);
        const QList<float> Expected = {1.15f, 1.15f, 1.15f, 0.8695652f, 0.8695652f};
        for (int i = 0; i < Scale.count(); ++i)
            QCOMPARE(Scale[i].at(0).toFloat(), Expected[i]);
        QCOMPARE(Scale[3].at(0).toFloat(), float(1.0 / 1.15));
        QVERIFY(Debug_Lines.first().startsWith("Wheel event: delta="));
        QCOMPARE(W.Window.Events_Received, 0);
    }

    void Every_Wheel_Turn_Inside_The_Picture_Zooms()
    {
        View_In_Window W;
        QSignalSpy Scale(W.View, &GPU_Graphics::Scale);
        const int Right = W.View->viewport()->width() - 1, Bottom = W.View->viewport()->height() - 1;
        // The view sits 150 pixels down in its window; its top-left corner still counts.
        QVERIFY(W.View->geometry().top() >= 150);
        for (const QPointF At : {QPointF(0, 0), QPointF(Right, 0), QPointF(0, Bottom), QPointF(Right, Bottom),
                                 QPointF(5.4, 3.2), QPointF(-0.4, 10)})
            W.Wheel(At, {0, 120});
        QCOMPARE(Scale.count(), 6);
        // Outside the viewport (rounded half away from zero): nothing, and the event still stops here.
        W.Wheel(QPointF(-0.5, 10), {0, 120});
        W.Wheel(QPointF(Right + 1, 10), {0, 120});
        QCOMPARE(Scale.count(), 6);
        QCOMPARE(W.Window.Events_Received, 0);
    }
};

QTEST_MAIN(View_Test)
#include "ViewTest.moc"
