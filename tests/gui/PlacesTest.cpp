// The explorer's places: positions copied, pasted, saved and opened (also from saved pictures), the
// renderer drawing a saved position to the very same picture, the way back and forward through the
// views, and the box zoom and view options. The views expected are worked out here from what the test
// did; the pictures are the library's for those views.
#include "TestWindow.h"

#include "DesktopMemory.h"

namespace {

// The command-line renderer's picture of a position at the view's size.
QImage Renderers_Picture(Test_Window& E, const QString& Position, const QString& Out)
{
    const QSize Size = Device_Size(E.View());
    const QString Command = QStringLiteral(KESTRINE_RENDER_COMMAND " --position '%1' --size %2x%3 --out '%4' > /dev/null")
                                .arg(Position).arg(Size.width()).arg(Size.height()).arg(Out);
    return std::system(Command.toLocal8Bit().constData()) == 0 ? QImage(Out) : QImage();
}

} // namespace

class Places_Test : public QObject {
    Q_OBJECT

private slots:
    // A position copied, the view moved away and the position pasted: the same picture. (A malformed
    // one is refused as a malformed file is, by the same reader and box: Saved_Positions_And_Pictures.)
    void Positions_And_History()
    {
        Shown_Window E;
        QVERIFY(E.Centre_On("-0.2", "0.1"));
        const QImage There = E.Shown();
        const QString Copied = E.Copied_Position();
        QVERIFY2(Copied.contains("\ncentre-re = -2") && Copied.contains("\nset = julia\n"), qPrintable(Copied));
        for (int Notch = 0; Notch < 10; ++Notch)
            E.Wheel(E.View()->viewport(), {0, -120});
        QVERIFY(Settle(E.Window));
        const QImage Zoomed = E.Shown();
        QVERIFY(!Same_Picture(Zoomed, There));
        QApplication::clipboard()->setText(Copied);
        QCOMPARE(Renders_During([&] { E.Get<QAction>("Action_Paste_Position")->trigger(); }), 1);
        QVERIFY(Same_Picture(E.Shown(), There));

        // Back: the zoomed view's settings in every control, and its picture.
        E.Get<QAction>("Action_Back")->trigger();
        QVERIFY(Settle(E.Window) && Same_Picture(E.Shown(), Zoomed));
        E.Get<QAction>("Action_Reset_View")->trigger();
        COMPARE_PICTURE(E, Picture{});
    }

    // A saved position, with the float engine and with the deep renderer, is the picture the
    // command-line renderer draws from it; a saved picture opens at its place; a malformed file is
    // refused and changes nothing.
    void Saved_Positions_And_Pictures()
    {
        Shown_Window E;
        QTemporaryDir Folder;
        const QString Float_Place = Folder.filePath("float.vorlane"), Picture_File = Folder.filePath("picture.png");
        QVERIFY(E.Centre_On("-0.2", "0.1"));
        const QString Deep = "set = mandelbrot\ncentre-re = -0.743643887037151\ncentre-im = 0.131825904205330\n"
                             "width = 3e-9\nheight = 2e-9\niterations = 3000\ncolouring = smooth\ndensity = 0.5\n";
        // In the table colouring with fewer iterations than entries, a pixel that never escaped takes
        // entry N in the program and the tool alike.
        const QString Deep_Table = "set = mandelbrot\ncentre-re = -0.743643887037151\ncentre-im = 0.131825904205330\n"
                                   "width = 3e-9\nheight = 2e-9\niterations = 250\ncolouring = table\n";
        QImage Float_Picture;
        for (const QString& Paste : {QString(), Deep_Table, Deep}) {
            if (!Paste.isEmpty()) {
                QApplication::clipboard()->setText(Paste);
                E.Get<QAction>("Action_Paste_Position")->trigger();
            }
            QVERIFY(Settle(E.Window));
            const QString Place = Paste.isEmpty() ? Float_Place : Folder.filePath(Paste == Deep ? "deep.vorlane" : "table.vorlane");
            E.File_Action("Action_Save_Position", Place);
            QVERIFY2(Same_Picture(Renderers_Picture(E, Place, Folder.filePath("tool.png")), E.Shown()), qPrintable(Place));
            if (Paste.isEmpty())
                Float_Picture = E.Shown();
        }
        const QImage Deep_Picture = E.Shown();
        E.File_Action("Action_Save_Picture", Picture_File);
        QVERIFY(Same_Picture(Renderers_Picture(E, Picture_File, Folder.filePath("from-picture.png")), Deep_Picture));
        E.Get<QAction>("Action_Reset_View")->trigger();
        QVERIFY(Settle(E.Window) && !Same_Picture(E.Shown(), Deep_Picture));
        E.File_Action("Action_Open_Position", Picture_File);
        QVERIFY(Settle(E.Window) && Same_Picture(E.Shown(), Deep_Picture));
        // Files dropped as a file manager drops them: on the picture, and on a control that takes no
        // drops of its own.
        const auto Drop_File = [](const QString& Path, QWidget* On) {
            QMimeData Dropped;
            Dropped.setUrls({QUrl::fromLocalFile(Path)});
            QDragEnterEvent Enter(QPoint(5, 5), Qt::CopyAction, &Dropped, Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(On, &Enter);
            QDropEvent Drop(QPointF(5, 5), Qt::CopyAction, &Dropped, Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(On, &Drop);
            return Enter.isAccepted();
        };
        QVERIFY(Drop_File(Float_Place, E.View()->viewport()));
        QVERIFY(Settle(E.Window) && Same_Picture(E.Shown(), Float_Picture));
        QVERIFY(Drop_File(Picture_File, E.Get<QComboBox>("Combo_Set")));
        QVERIFY(Settle(E.Window) && Same_Picture(E.Shown(), Deep_Picture));

        QFile Bad(Folder.filePath("bad.vorlane"));
        QVERIFY(Bad.open(QIODevice::WriteOnly));
        Bad.write("set = spiral\ncentre-re = 0\ncentre-im = 0\nwidth = 1\n");
        Bad.close();
        // A JPEG is saved without a position (its comment would lose the lines) and opened with a
        // word on why.
        const QString Jpeg = Folder.filePath("picture.jpg");
        E.File_Action("Action_Save_Picture", Jpeg);
        QVERIFY(QImageReader(Jpeg).textKeys().isEmpty());
        for (const auto& [File, Said] : {std::pair{Bad.fileName(), "line 1: set"}, {Jpeg, "only PNG"}}) {
            const int Boxes = E.Boxes.Seen.size();
            QCOMPARE(Renders_During([&] { E.File_Action("Action_Open_Position", File); }), 0);
            QCOMPARE(E.Boxes.Seen.size(), Boxes + 1);
            QVERIFY2(E.Boxes.Seen.last().Text.contains(Said), qPrintable(E.Boxes.Seen.last().Text));
            QVERIFY(Same_Picture(E.Shown(), Deep_Picture));
        }
    }

    // A file named on the command line opens once the window is first shown, as Open Position opens
    // it: a position at its place; a malformed one gets the box naming its line and the default view.
    void Files_Named_At_Start()
    {
        QTemporaryDir Folder;
        const QString Good = Folder.filePath("good.vorlane"), Bad = Folder.filePath("bad.vorlane");
        const QByteArray Place = "set = mandelbrot\ncentre-re = -0.75\ncentre-im = 0.1\nwidth = 0.5\nheight = 0.5\n";
        for (const auto& [Path, Text] : {std::pair{Good, Place}, std::pair{Bad, QByteArray("set = spiral\n")}}) {
            QFile File(Path);
            QVERIFY(File.open(QIODevice::WriteOnly) && File.write(Text) == Text.size());
        }
        {
            Test_Window E;
            E.Window.Open_At_Start(Good);
            E.Show();
            COMPARE_PICTURE(E, Window_At(-0.75L, 0.1L, 0.5L, 0.5L, Picture{true}));
        }
        Test_Window E;
        E.Window.Open_At_Start(Bad);
        E.Show();
        QVERIFY(!E.Boxes.Seen.isEmpty());
        QVERIFY2(E.Boxes.Seen.last().Text.contains("line 1: set"), qPrintable(E.Boxes.Seen.last().Text));
        COMPARE_PICTURE(E, Picture{});
    }

    // A right-drag box fills the view, which keeps its shape; square pixels fit the height to the
    // picture's shape, and with the imaginary axis up the picture is upside down.
    void Box_Zoom_And_View_Options()
    {
        Shown_Window E;
        const QSize Size = Device_Size(E.View());
        const double Columns = Size.width(), Rows = Size.height();
        // From (40, 30) to (140, 90): 101 by 61 pixels, its centre at (90.5, 60.5).
        E.Drag({40, 30}, {{100, 60}, {140, 90}}, Qt::RightButton);
        QVERIFY(Settle(E.Window));
        const QString Boxed = E.Copied_Position();
        const double Pixel = 4 / (Columns - 1);
        const double Width = 4 * std::max(101 / Columns, 61 / Rows);
        QVERIFY2(std::fabs(E.Copied("width").toDouble() - Width) < Width * 1e-9, qPrintable(Boxed));
        QVERIFY2(std::fabs(E.Copied("centre-re").toDouble() - (90.5 - (Columns - 1) / 2) * Pixel) < Pixel,
                 qPrintable(Boxed));
        QVERIFY2(std::fabs(E.Copied("centre-im").toDouble() - (60.5 - (Rows - 1) / 2) * 4 / (Rows - 1)) < Pixel,
                 qPrintable(Boxed));
        // A box of a few pixels is a click, not a zoom.
        QCOMPARE(Renders_During([&] { E.Drag({40, 30}, {{42, 31}}, Qt::RightButton); }), 0);

        E.Get<QAction>("Action_Reset_View")->trigger();
        QCOMPARE(Renders_During([&] { E.Get<QAction>("Action_Square_Pixels")->trigger(); }), 1);
        const QString Square = E.Copied_Position();
        const double Height = 4 * (Rows - 1) / (Columns - 1);
        QVERIFY2(std::fabs(E.Copied("height").toDouble() - Height) < Height * 1e-12, qPrintable(Square));
        COMPARE_PICTURE(E, Window_At(0, 0, 4, Height));
        QCOMPARE(Renders_During([&] { E.Get<QAction>("Action_Axis_Up")->trigger(); }), 1);
        // The engine asked for the top row first: the window's imaginary bounds swapped.
        Picture Way_Up = Window_At(0, 0, 4, Height);
        std::swap(Way_Up.Y_Min, Way_Up.Y_Max);
        COMPARE_PICTURE(E, Way_Up);
        QCOMPARE(E.Copied_Position(), Square);
    }

    // Between runs the program remembers each file dialog's folder and the window's size and place,
    // never the picture: the start is the default picture. Save dialogs add their extension.
    void Remembered_Between_Runs()
    {
        QTemporaryDir Settings, Folder;
        QSettings::setDefaultFormat(QSettings::IniFormat);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, Settings.path());
        Desktop_Memory::Enable();
        QSize Sized;
        {
            Shown_Window E;
            E.File_Action("Action_Save_Position", Folder.filePath("here.vorlane"));
            QVERIFY(QFileInfo::exists(E.Boxes.File_To_Choose));
            E.Wheel(E.View()->viewport(), {0, -120});
            E.Window.resize(610, 470);
            QVERIFY(Settle(E.Window));
            Desktop_Memory::Remember_Window(&E.Window);
            Sized = E.Window.size();
        }
        Test_Window E;
        Desktop_Memory::Restore_Window(&E.Window);
        E.Show();
        QCOMPARE(E.Window.size(), Sized);
        COMPARE_PICTURE(E, Picture{});
        // A name typed without the extension gets it, so that the open dialog's filter shows the file.
        E.File_Action("Action_Save_Position", Folder.filePath("again"));
        QCOMPARE(E.Boxes.Dialog_Folder, QDir(Folder.path()).absolutePath());
        QVERIFY(QFileInfo::exists(Folder.filePath("again.vorlane")) && !QFileInfo::exists(Folder.filePath("again")));
        Desktop_Memory::Enable(false);
    }
};

QTEST_MAIN(Places_Test)
#include "PlacesTest.moc"
