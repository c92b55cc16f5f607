// The program on the software device: the form, the view's mouse handling, and every control, drag
// step and wheel turn of the controller, checked against the library rendering the same parameters
// and converted pixel by pixel here.
#ifndef VORLANE_TESTS_ON_GPU
#include <SoftControl.h>
#endif

#include "Maker.h"

#include "TestWindow.h"

class Main_Window_Test : public QObject {
    Q_OBJECT

private slots:
#ifndef VORLANE_TESTS_ON_GPU
    void init() { Soft_Control::Reset_Faults(); }
#endif

    // The form, built by the window's constructor: its first size, its controls in creation (and so
    // focus) order, their ranges and items, and the icon.
    void The_Form()
    {
        MainWindow Window;
        QCOMPARE(Window.objectName(), QStringLiteral("MainWindow"));
        QCOMPARE(Window.windowTitle(), "Vorlane by " + QString::fromUtf8(Maker_Domain));
        QVERIFY(Window.autoFillBackground());
        QStringList Menus;
        for (QAction* Menu : Window.menuBar()->actions())
            Menus << Menu->text();
        QCOMPARE(Menus, QStringList({"&File", "&View", "&Help"}));
        QVERIFY(Window.findChild<QLabel*>("Status_Notice")->text().isEmpty() && !Window.windowIcon().isNull());
        QCOMPARE(Window.centralWidget()->layout(), Window.findChild<QGridLayout*>("gridLayout_2"));
        // The first size is the one asked for, within the screen (offscreen: a small one).
        QCOMPARE(Window.size(), QSize(1600, 1200).boundedTo(Window.screen()->availableGeometry().size()));
        QStringList Names;
        for (QWidget* W : Window.centralWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            Names << W->objectName();
        QCOMPARE(Names, QStringList({"Lab_Julia_I", "LabSet", "Lab_Thresh", "Lab_Iter", "Combo_Set", "Lab_Julia_R",
                                     "Lab_Center_Y", "Lab_Colormap", "Lab_Center_X", "Combo_Cmap", "LineEdit_X",
                                     "Lab_Val_Thresh", "Lab_Val_Iter", "LineEdit_Y", "Slide_Julia_Real", "Slide_Julia_Imag",
                                     "Slide_NumIter", "Slide_Thresh", "LineEdit_Julia_R", "LineEdit_Julia_I",
                                     Window.findChild<GPU_Graphics*>()->objectName(), "Spin_NumIter",
                                     "Check_Auto_Iterations", "Combo_Colouring", "Spin_Density"}));
        for (const auto& [Name, Range] : std::initializer_list<std::pair<const char*, QList<int>>>{
                 {"Slide_Julia_Real", {-20000, 20000, 0}}, {"Slide_Julia_Imag", {-20000, 20000, 0}},
                 {"Slide_NumIter", {0, 1000, 100}}, {"Slide_Thresh", {0, 5000, 2000}}}) {
            const QSlider* Slider = Window.findChild<QSlider*>(Name);
            QCOMPARE(QList<int>({Slider->minimum(), Slider->maximum(), Slider->value(), Slider->orientation()}),
                     Range + QList<int>{Qt::Horizontal});
        }
        for (const auto& [Name, Items, Current] : std::initializer_list<std::tuple<const char*, QStringList, int>>{
                 {"Combo_Set", {"JULIA", "MANDELBROT"}, 0},
                 {"Combo_Cmap", {"HOT", "HSV", "JET", "BONE", "MORGENSTEMNING", "SKY", "ABYSS"}, 4}}) {
            const QComboBox* Combo = Window.findChild<QComboBox*>(Name);
            QStringList Texts;
            for (int i = 0; i < Combo->count(); ++i)
                Texts << Combo->itemText(i);
            QVERIFY(Texts == Items && Combo->currentIndex() == Current);
        }

        // Shown, the window and its frame lie inside the screen's free area, even when it was made
        // larger than the screen and placed past its corner.
        Box_Answerer Boxes;
        Window.resize(4000, 3000);
        Window.move(300, 200);
        Window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&Window));
        QTRY_VERIFY(Window.screen()->availableGeometry().contains(Window.frameGeometry()));
    }

    // The view turns a left drag into Translate steps of the pointer's movement and each wheel event
    // inside it into one Scale step from the sign alone.
    void The_View_Turns_The_Mouse_Into_Pan_And_Zoom_Steps()
    {
        Shown_Window E;
        QSignalSpy Translate(E.View(), &GPU_Graphics::Translate), Scale(E.View(), &GPU_Graphics::Scale);
        E.Mouse(QEvent::MouseMove, Qt::NoButton, {10, 10}, Qt::NoButton); // before any press
        for (const Qt::MouseButton Button : {Qt::RightButton, Qt::MiddleButton})
            E.Drag({100, 100}, {{140, 120}}, Button);
        // The drag's diagnostics are written only once their category is turned on.
        QCOMPARE(View_Lines_During([&] { E.Drag({100, 100}, {{103, 100}, {100, 100}}); }), 0);
        QLoggingCategory::setFilterRules(QStringLiteral("vorlane.view.debug=true"));
        QVERIFY(View_Lines_During([&] { E.Drag({100, 100}, {{90, 125}}); }) >= 4);
        QLoggingCategory::setFilterRules(QString());
        E.Mouse(QEvent::MouseMove, Qt::NoButton, {50, 50}, Qt::NoButton);
        QCOMPARE(First_Arguments<QPointF>(Translate), (QList<QPointF>{{3, 0}, {-3, 0}, {-10, 25}}));
        Translate.clear();

        // A receiver that moves the view over the scene, as a picture of another size would: the next
        // step is measured under the new mapping, so the move never looks like pointer movement.
        E.View()->setSceneRect(0, 0, 2000, 2000);
        int Moved = 0;
        QObject::connect(E.View(), &GPU_Graphics::Translate, &E.Window,
                         [&](QPointF) { ++Moved, E.View()->centerOn(1000 + 10 * Moved, 1000 - 7 * Moved); });
        E.Drag({100, 100}, {{103, 100}, {106, 100}, {106, 104}});
        QCOMPARE(First_Arguments<QPointF>(Translate), (QList<QPointF>{{3, 0}, {3, 0}, {0, 4}}));

        // Wheel: the sign of the vertical turn alone; every point of the viewport, its corners too,
        // rounded half away from zero; nothing outside it.
        QWidget* Viewport = E.View()->viewport();
        for (const QPoint Delta : {QPoint(0, 120), QPoint(0, 1), QPoint(120, 0), QPoint(0, -120), QPoint(0, -720)})
            E.Wheel(Viewport, Delta);
        const int Right = Viewport->width() - 1, Bottom = Viewport->height() - 1;
        for (const QPointF At : {QPointF(0, 0), QPointF(Right, 0), QPointF(0, Bottom), QPointF(Right, Bottom),
                                 QPointF(5.4, 3.2), QPointF(-0.4, 10), QPointF(-0.5, 10), QPointF(Right + 1, 10)})
            E.Wheel(Viewport, {0, 120}, At);
        QCOMPARE(First_Arguments<float>(Scale), (QList<float>{1.15f, 1.15f, 1.15f, float(1 / 1.15), float(1 / 1.15), 1.15f,
                                                              1.15f, 1.15f, 1.15f, 1.15f, 1.15f}));
    }

    // The first show resets the controls, renders and says which device renders; then each change
    // renders once, with the values the controls stand for and the texts they show.
    void The_First_Show_And_Every_Control()
    {
        Test_Window E;
        // The pending resize, the two Julia sliders that move, the threshold slider and the show itself
        // ask for a picture each, and get one.
        QCOMPARE(Renders_During([&] { E.Show(); }), 1);
        QStringList Shown;
        for (const char* Name : {"Slide_Julia_Imag", "Slide_Julia_Real", "Slide_NumIter", "Slide_Thresh"})
            Shown << QString::number(E.Get<QSlider>(Name)->value());
        for (const char* Name : {"Lab_Val_Iter", "LineEdit_Julia_I", "LineEdit_Julia_R", "Lab_Val_Thresh"})
            Shown << E.Get<QWidget>(Name)->property("text").toString();
        QCOMPARE(Shown, (QStringList{"6000", "-4001", "100", "4000", "100", "0.600000", "-0.400100", "4.000000"}));
        COMPARE_PICTURE(E, Picture{});
        QCOMPARE(E.Boxes.Seen.size(), 1);
        const Box_Seen& Box = E.Boxes.Seen.first();
        QVERIFY(Box.Icon == QMessageBox::Information && Box.Buttons == QMessageBox::Ok);
        QCOMPARE(Box.Title, QString::fromUtf8(Maker_Domain));
        QCOMPARE(Box.Text, Device_Named().Box);

        // Each number field shows a float in full at the default font: nothing scrolls out of sight.
        for (const char* Name : {"LineEdit_X", "LineEdit_Y", "LineEdit_Julia_R", "LineEdit_Julia_I"}) {
            QLineEdit* Edit = E.Get<QLineEdit>(Name);
            const auto Cursor_At = [Edit](bool End) { // painting scrolls the text to the cursor
                End ? Edit->end(false) : Edit->home(false);
                Edit->repaint();
                return Edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().left();
            };
            Edit->setText(QStringLiteral("-0.123456789"));
            QCOMPARE(Cursor_At(true) - Cursor_At(false), Edit->fontMetrics().horizontalAdvance(Edit->text()));
        }

        Picture P;
        auto Step = [&](auto Change, auto Apply, const char* Label = "", const char* Text = "") {
            QCOMPARE(Renders_During(Change), 1);
            Apply(P);
            if (*Label)
                QCOMPARE(E.Get<QWidget>(Label)->property("text").toString(), QString::fromLatin1(Text));
            COMPARE_PICTURE(E, P);
        };
        auto Slider = [&](const char* Name, int Value) { return [&E, Name, Value] { E.Get<QSlider>(Name)->setValue(Value); }; };
        auto Combo = [&](const char* Name, int Item) { return [&E, Name, Item] { E.Get<QComboBox>(Name)->setCurrentIndex(Item); }; };
        Step(Slider("Slide_NumIter", 37), [](Picture& P) { P.Iterations = 37; }, "Lab_Val_Iter", "37");
        Step(Slider("Slide_Thresh", 2500), [](Picture& P) { P.Threshold = 2.5f; }, "Lab_Val_Thresh", "2.500000");
        Step(Slider("Slide_Julia_Real", 2850), [](Picture& P) { P.C_Real = 0.285f; }, "LineEdit_Julia_R", "0.285000");
        Step(Slider("Slide_Julia_Imag", -100), [](Picture& P) { P.C_Imag = -0.01f; }, "LineEdit_Julia_I", "-0.010000");
        // Item 1 is "HSV", the table of value 3; item 2 "JET", value 2; item -1 keeps the colormap.
        Step(Combo("Combo_Cmap", 1), [](Picture& P) { P.Colormap = HSV; });
        Step(Combo("Combo_Cmap", 2), [](Picture& P) { P.Colormap = JET; });
        Step(Combo("Combo_Cmap", -1), [](Picture&) {});
        // The Julia constant's controls are off while the Mandelbrot set is shown.
        auto Julia_Controls_On = [&] {
            QList<bool> On;
            for (const char* Name : {"Lab_Julia_R", "Lab_Julia_I", "Slide_Julia_Real", "Slide_Julia_Imag", "LineEdit_Julia_R",
                                     "LineEdit_Julia_I"})
                On << E.Get<QWidget>(Name)->isEnabled();
            return On;
        };
        QCOMPARE(Julia_Controls_On(), QList<bool>(6, true));
        Step(Combo("Combo_Set", 1), [](Picture& P) { P.Mandelbrot = true; });
        QCOMPARE(Julia_Controls_On(), QList<bool>(6, false));

        // Restoring the window keeps what the user set, renders nothing and asks nothing.
        E.Window.hide();
        QCOMPARE(Renders_During([&] { E.Show(); }), 0);
        QCOMPARE(E.Boxes.Seen.size(), 1);
        COMPARE_PICTURE(E, P);
    }

    void Pan_And_Zoom_At_Every_Pixel_Ratio()
    {
        Shown_Window E;
        QCOMPARE(E.View()->devicePixelRatioF(), qEnvironmentVariable("QT_SCALE_FACTOR", "1").toDouble());

        // Zooming in past what floats resolve goes on with the deep renderer; out, it stops at 16 wide,
        // where nothing of either set is left to see: one step more is refused and renders nothing.
        QSignalSpy Started(E.Get<Render_Scheduler>("Render_Scheduler"), &Render_Scheduler::Started);
        auto Zoom = [&](float Factor) {
            return Renders_During([&] { QMetaObject::invokeMethod(&E.Window, "Scale", Q_ARG(float, Factor)); });
        };
        // Powers of two keep every step exact: 4 * 2^-180 is past the floats; 4 * 2^60 stops at 16.
        const float In = std::ldexp(1.0f, -60), Far = std::ldexp(1.0f, 60);
        QCOMPARE((QList<int>{Zoom(In), Zoom(In), Zoom(In), Zoom(Far), Zoom(Far), Zoom(Far), Zoom(Far), Zoom(Far),
                             Zoom(0.25f)}),
                 (QList<int>{1, 1, 1, 1, 1, 1, 1, 0, 1}));
        QCOMPARE(First_Arguments<bool>(Started), (QList<bool>{false, false, true, false, false, false, false, false}));
        COMPARE_PICTURE(E, Picture{});

        // A drag step of 100 logical pixels: one render, the picture moves by 100 logical pixels, and
        // the centre fields show the new centre.
        QCOMPARE(Renders_During([&] { E.Drag({100, 100}, {{200, 100}}); }), 1);
        const long double Centre = -100.0L / E.View()->width() * 4;
        const double Pixel_X = 4.0 / (Device_Size(E.View()).width() - 1);
        COMPARE_PICTURE(E, Window_At(Centre, 0, 4, 4));
        QVERIFY(Centre_Shown(E.Get<QLineEdit>("LineEdit_X")->text(), Centre, Pixel_X));
        QCOMPARE(E.Get<QLineEdit>("LineEdit_Y")->text(), QStringLiteral("0"));

        // One wheel step out scales the window by 1.15 about its centre; one step in scales it back.
        E.Wheel(E.View()->viewport(), {0, 120});
        const long double Out = 4.0L * 1.15f, Back = Out * 0.8695652f;
        COMPARE_PICTURE(E, Window_At(Centre, 0, Out, Out));
        QVERIFY(Centre_Shown(E.Get<QLineEdit>("LineEdit_X")->text(), Centre, Pixel_X * 1.15f));
        E.Wheel(E.View()->viewport(), {0, -120});
        COMPARE_PICTURE(E, Window_At(Centre, 0, Back, Back));

        // A wheel turned over a label reaches the window, which does nothing with it.
        QCOMPARE(Renders_During([&] { E.Wheel(E.Get<QLabel>("Lab_Julia_R"), {0, 120}); }), 0);
    }

    // The picture saved, and the status line. Run at a pixel ratio of 2 as well.
    void Saving_And_The_Status_Line()
    {
        Shown_Window E;
        QCOMPARE(E.Get<QAction>("Action_Save_Picture")->shortcut(), QKeySequence(QKeySequence::Save));
        QCOMPARE(E.Get<QAction>("Action_Open_Position")->shortcut(), QKeySequence(QKeySequence::Open));
        QTemporaryDir Folder;
        const QString Kept = Folder.filePath("kept.xyz");
        QFile Existing(Kept);
        QVERIFY(Existing.open(QIODevice::WriteOnly) && Existing.write("keep") == 4);
        Existing.close();
        // Exactly as rendered, at full resolution; PNG where the name has no extension.
        for (const QString& Name : {QStringLiteral("picture.png"), QStringLiteral("picture"), QStringLiteral("picture.bmp")}) {
            E.File_Action("Action_Save_Picture", Folder.filePath(Name));
            const QImage Written(Folder.filePath(Name.contains('.') ? Name : Name + ".png"));
            QVERIFY(Same_Picture(Written, E.Shown()));
        }
        // Said beside the status read-out, which the pointer does not disturb.
        const QSize Size = Device_Size(E.View());
        const QString Saved = QString("Saved %1 (%2 x %3); only PNG pictures carry their position")
                                  .arg(Folder.filePath("picture.bmp"))
                                  .arg(Size.width())
                                  .arg(Size.height());
        QCOMPARE(E.Notice(), Saved);

        // A format that cannot be written, or a place where nothing can be written: a message, and
        // nothing lost.
        int Boxes = E.Boxes.Seen.size();
        for (const QString& Path : {Kept, QStringLiteral("/proc/vorlane-picture.png")}) {
            E.File_Action("Action_Save_Picture", Path);
            QCOMPARE(E.Boxes.Seen.size(), ++Boxes);
            QVERIFY2(E.Boxes.Seen.last().Text.startsWith("The picture could not be saved to " + Path),
                     qPrintable(E.Boxes.Seen.last().Text));
        }
        QVERIFY(Existing.open(QIODevice::ReadOnly));
        QCOMPARE(Existing.readAll(), QByteArray("keep"));

        // The status line says where the pointer is.
        auto Pointer_At = [&](QPoint At) {
            E.Mouse(QEvent::MouseMove, Qt::NoButton, At, Qt::NoButton);
            return E.Get<QLabel>("Status_Readout")->text();
        };
        const QString Line = Pointer_At({40, 30});
        QVERIFY2(Line.startsWith(Device_Named().Status + "  |  ") && Line.contains(" ms  |  "), qPrintable(Line));
        QCOMPARE(E.Notice(), Saved);
        const QRegularExpressionMatch Point = QRegularExpression("x = (-?[0-9.]+), y = (-?[0-9.]+)").match(Line);
        QVERIFY2(Point.hasMatch(), qPrintable(Line));
        // The plane point of the pixel under the pointer, to a digit finer than a pixel and no coarser.
        const double Step_X = 4.0 / (Size.width() - 1), Step_Y = 4.0 / (Size.height() - 1);
        const double Ratio = E.View()->devicePixelRatioF();
        QVERIFY(std::fabs(Point.captured(1).toDouble() - (-2.0 + Step_X * 40 * Ratio)) <= Step_X);
        QVERIFY(std::fabs(Point.captured(2).toDouble() - (-2.0 + Step_Y * 30 * Ratio)) <= Step_Y);
        const int Decimals = int(Point.captured(1).size() - Point.captured(1).indexOf('.') - 1);
        QVERIFY(std::pow(10.0, -Decimals) <= Step_X && std::pow(10.0, 1 - Decimals) > Step_X);
        QVERIFY(!Line.contains("single precision"));

        // Zoomed to a width of 1e-5 near -0.74 + 0.13i, a pixel is a few float steps wide: the deep
        // renderer takes over, in double, and the point under the pointer is still told to the pixel.
        QVERIFY2(Line.contains("  |  width 4  |  single  |  100 iterations  |  "), qPrintable(Line));
        QVERIFY(E.Centre_On("-0.74", "0.13"));
        QMetaObject::invokeMethod(&E.Window, "Scale", Q_ARG(float, 2.5e-6f));
        QVERIFY(Settle(E.Window));
        const QString Deep_Line = Pointer_At({40, 30});
        QVERIFY2(Deep_Line.contains("  |  width 1e-05  |  double  |  100 iterations  |  x = -0.74000"), qPrintable(Deep_Line));
    }

    // A picture that cannot be rendered: none for a view without area, nothing said; black without a
    // device, said by a box and by a line each render.
    void Without_Area_Or_Device_No_Picture()
    {
        {
            Shown_Window Flat;
            Flat.View()->setFixedHeight(0);
            Flat.Window.resize(530, 560);
            QTRY_COMPARE(Flat.View()->height(), 0);
            QCOMPARE(Stdout_Lines_Saying("Internal Error!\n", [&] { Flat.Window.resize(540, 560), Settle(Flat.Window); }), 0);
            QVERIFY(Flat.Shown().isNull());
        }

#ifdef VORLANE_TESTS_ON_GPU
        QSKIP("the CUDA library takes no injected faults");
#else
        // No device, an old driver, a device no kernel image serves.
        for (const int Fault : {0, 1, 2}) {
            Soft_Control::Report_No_Device(Fault == 0);
            Soft_Control::Report_Old_Driver(Fault == 1);
            Soft_Control::Report_No_Kernel_Image(Fault == 2);
            std::optional<Shown_Window> E;
            const auto Show_And_Slide = [&] {
                E.emplace();
                E->Get<QSlider>("Slide_NumIter")->setValue(10);
                Settle(E->Window);
            };
            // One line for each of the two renders: the show's, the slider's.
            QCOMPARE(Stdout_Lines_Saying("Internal Error!\n", Show_And_Slide), 2);
            QCOMPARE(E->Boxes.Seen.size(), 1);
            QCOMPARE(E->Boxes.Seen.first().Icon, QMessageBox::Critical);
            QCOMPARE(E->Boxes.Seen.first().Text,
                     Fault == 1 ? QStringLiteral("Please Update your Graphics drivers!")
                                : QStringLiteral("No supported GPU Device found! This demo requires an nVidia GPU "
                                                 "900 series or newer!"));
            QImage Black(E->View()->size(), QImage::Format_ARGB32);
            Black.fill(Qt::black);
            QVERIFY(Same_Picture(E->Shown(), Black));
        }
#endif
    }
};

QTEST_MAIN(Main_Window_Test)
#include "MainWindowTest.moc"
