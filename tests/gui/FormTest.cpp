// The main window's form, built on a plain QMainWindow.
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QSlider>
#include <QStatusBar>
#include <QTranslator>
#include <QtTest>

#include "Maker.h"
#include "ui_MainWindow.h"

namespace {

constexpr int Unlimited = QWIDGETSIZE_MAX;
const QString Center_X = R"(<html><head/><body><p><span style=" color:#55ff00;">Center-X</span></p></body></html>)";
const QString Center_Y = R"(<html><head/><body><p><span style=" color:#55ff00;">Center-Y</span></p></body></html>)";

struct Control {
    const char* Name;
    const char* Class;
    int Row, Column, Column_Span;
    QSize Minimum, Maximum;
    bool Fills_Background;
    QString Text; // labels and line edits
};

// In creation order, which is also the keyboard focus order.
const Control Controls[] = {
    {"Lab_Julia_I", "QLabel", 1, 0, 1, {60, 20}, {60, 20}, true, "Julia Imag"},
    {"LabSet", "QLabel", 5, 0, 1, {0, 0}, {60, 20}, false, "Set"},
    {"Lab_Thresh", "QLabel", 3, 0, 1, {60, 20}, {60, 20}, true, "Threshold"},
    {"Lab_Iter", "QLabel", 2, 0, 1, {60, 20}, {60, 20}, true, "Iterations"},
    {"Combo_Set", "QComboBox", 5, 1, 2, {0, 0}, {Unlimited, Unlimited}, false, {}},
    {"Lab_Julia_R", "QLabel", 0, 0, 1, {60, 20}, {60, 20}, true, "Julia_Real"},
    {"Lab_Center_Y", "QLabel", 5, 3, 1, {60, 20}, {60, 20}, false, Center_Y},
    {"Lab_Colormap", "QLabel", 4, 0, 1, {0, 0}, {60, 20}, false, "Colormap"},
    {"Lab_Center_X", "QLabel", 4, 3, 1, {60, 20}, {60, 20}, false, Center_X},
    {"Combo_Cmap", "QComboBox", 4, 1, 2, {0, 0}, {Unlimited, Unlimited}, false, {}},
    {"LineEdit_X", "QLineEdit", 4, 4, 1, {80, 0}, {80, Unlimited}, false, "0.0"},
    {"Lab_Val_Thresh", "QLabel", 3, 4, 1, {60, 20}, {60, 20}, false, "0"},
    {"Lab_Val_Iter", "QLabel", 2, 4, 1, {60, 20}, {60, 20}, false, "0"},
    {"LineEdit_Y", "QLineEdit", 5, 4, 1, {80, 20}, {80, 20}, false, "0.0"},
    {"Slide_Julia_Real", "QSlider", 0, 1, 3, {0, 0}, {Unlimited, Unlimited}, false, {}},
    {"Slide_Julia_Imag", "QSlider", 1, 1, 3, {0, 0}, {Unlimited, Unlimited}, false, {}},
    {"Slide_NumIter", "QSlider", 2, 1, 3, {0, 0}, {Unlimited, Unlimited}, false, {}},
    {"Slide_Thresh", "QSlider", 3, 1, 3, {0, 0}, {Unlimited, Unlimited}, false, {}},
    {"LineEdit_Julia_R", "QLineEdit", 0, 4, 1, {80, 20}, {80, 20}, false, "0"},
    {"LineEdit_Julia_I", "QLineEdit", 1, 4, 1, {80, 20}, {80, 20}, false, "0"},
};

// Marks every text it is asked for in context "MainWindow", so a text that skips translation shows up unmarked.
class Marking_Translator : public QTranslator {
public:
    QString translate(const char* Context, const char* Source, const char*, int) const override
    {
        return QLatin1String(Context) == QLatin1String("MainWindow") ? "~" + QString::fromUtf8(Source) : QString();
    }
    bool isEmpty() const override { return false; }
};

} // namespace

class Form_Test : public QObject {
    Q_OBJECT

private slots:
    void Window_Layout_And_Controls()
    {
        QMainWindow Window;
        Ui_MainWindow Ui;
        Ui.setupUi(&Window);
        QCOMPARE(Window.objectName(), QStringLiteral("MainWindow"));
        QCOMPARE(Window.size(), QSize(1220, 1135));
        QVERIFY(Window.autoFillBackground());
        QCOMPARE(Window.windowTitle(), "Vorlane by " + QString::fromUtf8(Maker_Domain));
        QCOMPARE(Ui.centralwidget->layout(), Ui.gridLayout_2);
        QCOMPARE(Ui.gridLayout_2->itemAt(0)->layout(), Ui.gridLayout);
        QVERIFY(Window.menuBar()->actions().isEmpty());
        QVERIFY(Ui.statusbar->currentMessage().isEmpty());

        const QList<QWidget*> Created = Ui.centralwidget->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        QCOMPARE(Created.size(), int(std::size(Controls)));
        for (int i = 0; i < Created.size(); ++i) {
            const Control& C = Controls[i];
            QWidget* W = Created[i];
            QCOMPARE(W->objectName(), QLatin1String(C.Name));
            QCOMPARE(W->metaObject()->className(), C.Class);
            QCOMPARE(Ui.gridLayout->itemAt(i)->widget(), W);
            int Row, Column, Row_Span, Column_Span;
            Ui.gridLayout->getItemPosition(i, &Row, &Column, &Row_Span, &Column_Span);
            QCOMPARE(QList<int>({Row, Column, Row_Span, Column_Span}), QList<int>({C.Row, C.Column, 1, C.Column_Span}));
            QCOMPARE(W->minimumSize(), C.Minimum);
            QCOMPARE(W->maximumSize(), C.Maximum);
            QCOMPARE(W->autoFillBackground(), C.Fills_Background);
            if (!C.Text.isNull())
                QCOMPARE(W->property("text").toString(), C.Text);
        }
        QCOMPARE(Ui.Lab_Val_Thresh->sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
        QCOMPARE(Ui.Lab_Val_Thresh->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
    }

    void Ranges_And_Items()
    {
        QMainWindow Window;
        Ui_MainWindow Ui;
        Ui.setupUi(&Window);
        const QList<QSlider*> Sliders = {Ui.Slide_Julia_Real, Ui.Slide_Julia_Imag, Ui.Slide_NumIter, Ui.Slide_Thresh};
        const QList<QList<int>> Ranges = {{-20000, 20000, 0}, {-20000, 20000, 0}, {0, 1000, 100}, {0, 5000, 2000}};
        for (int i = 0; i < Sliders.size(); ++i) {
            QCOMPARE(Sliders[i]->orientation(), Qt::Horizontal);
            QCOMPARE(QList<int>({Sliders[i]->minimum(), Sliders[i]->maximum(), Sliders[i]->value()}), Ranges[i]);
        }
        auto Items = [](QComboBox* Combo) {
            QStringList Texts;
            for (int i = 0; i < Combo->count(); ++i)
                Texts << Combo->itemText(i);
            return Texts;
        };
        QCOMPARE(Items(Ui.Combo_Set), QStringList({"JULIA", "MANDELBROT"}));
        QCOMPARE(Items(Ui.Combo_Cmap), QStringList({"HOT", "HSV", "JET", "BONE", "MORGENSTEMNING", "SKY", "ABYSS"}));
        QCOMPARE(Ui.Combo_Set->currentIndex(), 0);
        QCOMPARE(Ui.Combo_Cmap->currentIndex(), 4);
    }

    void Icon_From_The_Resource_Collection()
    {
        QMainWindow Window;
        Ui_MainWindow().setupUi(&Window);
        QList<int> Sizes;
        for (const QSize& S : Window.windowIcon().availableSizes())
            Sizes.append(S.width());
        std::sort(Sizes.begin(), Sizes.end());
        QCOMPARE(Sizes, QList<int>({16, 32, 48, 64, 128, 256}));
        // The collection's other images, present but never used by the program.
        QVERIFY(QImage(":/Images/tamsel.png").hasAlphaChannel());
        QCOMPARE(QImage(":/Images/tamsel.png").size(), QSize(256, 256));
        QCOMPARE(QImage(":/Images/paporotnik-listia-makro.jpg").size(), QSize(1800, 1200));
        QCOMPARE(QImage(":/Images/blossom-5356482.jpg").size(), QSize(1200, 938));
    }

    void Every_Text_Is_Translated_In_Context_MainWindow()
    {
        Marking_Translator Translator;
        QCoreApplication::installTranslator(&Translator);
        QMainWindow Window;
        Window.setObjectName("Explorer"); // a named window keeps its name
        Ui_MainWindow Ui;
        Ui.setupUi(&Window);
        QCoreApplication::removeTranslator(&Translator);
        QCOMPARE(Window.objectName(), QStringLiteral("Explorer"));
        QVERIFY(Window.windowTitle().startsWith('~'));
        for (QWidget* W : Ui.centralwidget->findChildren<QWidget*>())
            if (W->property("text").isValid())
                QVERIFY2(W->property("text").toString().startsWith('~'), qPrintable(W->objectName()));
        for (QComboBox* Combo : {Ui.Combo_Set, Ui.Combo_Cmap})
            for (int i = 0; i < Combo->count(); ++i)
                QVERIFY(Combo->itemText(i).startsWith('~'));
    }
};

QTEST_MAIN(Form_Test)
#include "FormTest.moc"
