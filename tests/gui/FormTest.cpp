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

struct Cell {
    const char* Name;
    const char* Class;
    int Row, Column, Column_Span;
};

// In creation order, which is also the keyboard focus order.
const Cell Controls[] = {
    {"Lab_Julia_I", "QLabel", 1, 0, 1},       {"LabSet", "QLabel", 5, 0, 1},
    {"Lab_Thresh", "QLabel", 3, 0, 1},        {"Lab_Iter", "QLabel", 2, 0, 1},
    {"Combo_Set", "QComboBox", 5, 1, 2},      {"Lab_Julia_R", "QLabel", 0, 0, 1},
    {"Lab_Center_Y", "QLabel", 5, 3, 1},      {"Lab_Colormap", "QLabel", 4, 0, 1},
    {"Lab_Center_X", "QLabel", 4, 3, 1},      {"Combo_Cmap", "QComboBox", 4, 1, 2},
    {"LineEdit_X", "QLineEdit", 4, 4, 1},     {"Lab_Val_Thresh", "QLabel", 3, 4, 1},
    {"Lab_Val_Iter", "QLabel", 2, 4, 1},      {"LineEdit_Y", "QLineEdit", 5, 4, 1},
    {"Slide_Julia_Real", "QSlider", 0, 1, 3}, {"Slide_Julia_Imag", "QSlider", 1, 1, 3},
    {"Slide_NumIter", "QSlider", 2, 1, 3},    {"Slide_Thresh", "QSlider", 3, 1, 3},
    {"LineEdit_Julia_R", "QLineEdit", 0, 4, 1}, {"LineEdit_Julia_I", "QLineEdit", 1, 4, 1},
};

QString Rich(const char* Word)
{
    return QStringLiteral("<html><head/><body><p><span style=\" color:#55ff00;\">%1</span></p></body></html>")
        .arg(QLatin1String(Word));
}

// Marks every text it is asked for, so that a text that skips translation shows up unmarked.
class Marking_Translator : public QTranslator {
public:
    QString translate(const char* Context, const char* Source, const char*, int) const override
    {
        return QLatin1String(Context) == QLatin1String("MainWindow") ? QStringLiteral("~") + QString::fromUtf8(Source)
                                                                    : QString();
    }
    bool isEmpty() const override { return false; }
};

} // namespace

class Form_Test : public QObject {
    Q_OBJECT

private slots:
    void Widget_Tree()
    {
        QMainWindow Window;
        Ui_MainWindow Ui;
        Ui.setupUi(&Window);
        QCOMPARE(Window.objectName(), QStringLiteral("MainWindow"));
        QCOMPARE(Window.size(), QSize(1220, 1135));
        QVERIFY(Window.autoFillBackground());
        QCOMPARE(Window.windowTitle(), QStringLiteral("Vorlane by ") + QLatin1String(Maker_Domain));
        QCOMPARE(Window.centralWidget(), Ui.centralwidget);
        QCOMPARE(Ui.centralwidget->layout(), Ui.gridLayout_2);
        QCOMPARE(Ui.gridLayout_2->count(), 1);
        QCOMPARE(Ui.gridLayout_2->itemAt(0)->layout(), Ui.gridLayout);
        QCOMPARE(Ui.gridLayout->sizeConstraint(), QLayout::SetDefaultConstraint);

        QList<QWidget*> Created;
        for (QObject* Child : Ui.centralwidget->children())
            if (QWidget* W = qobject_cast<QWidget*>(Child))
                Created.append(W);
        QCOMPARE(Created.size(), int(std::size(Controls)));
        QCOMPARE(Ui.gridLayout->count(), int(std::size(Controls)));
        for (int i = 0; i < int(std::size(Controls)); ++i) {
            const Cell& C = Controls[i];
            QCOMPARE(Created[i]->objectName(), QLatin1String(C.Name));
            QCOMPARE(Created[i]->metaObject()->className(), C.Class);
            int Row, Column, Row_Span, Column_Span;
            Ui.gridLayout->getItemPosition(i, &Row, &Column, &Row_Span, &Column_Span);
            QCOMPARE(Ui.gridLayout->itemAt(i)->widget(), Created[i]);
            QCOMPARE(Row, C.Row);
            QCOMPARE(Column, C.Column);
            QCOMPARE(Row_Span, 1);
            QCOMPARE(Column_Span, C.Column_Span);
            QCOMPARE(Ui.gridLayout->itemAt(i)->alignment(), Qt::Alignment());
        }
        QVERIFY(Window.menuBar()->actions().isEmpty());
        QCOMPARE(Window.menuBar(), Ui.menubar);
        QCOMPARE(Window.statusBar(), Ui.statusbar);
        QVERIFY(Ui.statusbar->currentMessage().isEmpty());
    }

    void Sizes_And_Policies()
    {
        QMainWindow Window;
        Ui_MainWindow Ui;
        Ui.setupUi(&Window);
        for (QWidget* Fixed : {static_cast<QWidget*>(Ui.Lab_Julia_R), static_cast<QWidget*>(Ui.Lab_Julia_I),
                               static_cast<QWidget*>(Ui.Lab_Iter), static_cast<QWidget*>(Ui.Lab_Thresh),
                               static_cast<QWidget*>(Ui.Lab_Val_Iter), static_cast<QWidget*>(Ui.Lab_Val_Thresh),
                               static_cast<QWidget*>(Ui.Lab_Center_X), static_cast<QWidget*>(Ui.Lab_Center_Y)}) {
            QCOMPARE(Fixed->minimumSize(), QSize(60, 20));
            QCOMPARE(Fixed->maximumSize(), QSize(60, 20));
        }
        for (QLineEdit* Edit : {Ui.LineEdit_Y, Ui.LineEdit_Julia_R, Ui.LineEdit_Julia_I}) {
            QCOMPARE(Edit->minimumSize(), QSize(80, 20));
            QCOMPARE(Edit->maximumSize(), QSize(80, 20));
        }
        QCOMPARE(Ui.LineEdit_X->minimumSize(), QSize(80, 0));
        QCOMPARE(Ui.LineEdit_X->maximumSize(), QSize(80, QWIDGETSIZE_MAX));
        for (QLabel* Capped : {Ui.Lab_Colormap, Ui.LabSet}) {
            QCOMPARE(Capped->minimumSize(), QSize(0, 0));
            QCOMPARE(Capped->maximumSize(), QSize(60, 20));
        }
        QCOMPARE(Ui.Lab_Val_Thresh->sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
        QCOMPARE(Ui.Lab_Val_Thresh->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
        QCOMPARE(Ui.Lab_Val_Iter->sizePolicy(), QLabel().sizePolicy());
        for (QLabel* Filled : {Ui.Lab_Julia_R, Ui.Lab_Julia_I, Ui.Lab_Iter, Ui.Lab_Thresh})
            QVERIFY(Filled->autoFillBackground());
        for (QLabel* Plain : {Ui.Lab_Val_Iter, Ui.Lab_Val_Thresh, Ui.Lab_Colormap, Ui.LabSet, Ui.Lab_Center_X})
            QVERIFY(!Plain->autoFillBackground());
    }

    void Ranges_Values_And_Texts()
    {
        QMainWindow Window;
        Ui_MainWindow Ui;
        Ui.setupUi(&Window);
        struct Range {
            QSlider* Slider;
            int Minimum, Maximum, Value;
        };
        for (const Range& R : {Range{Ui.Slide_Julia_Real, -20000, 20000, 0}, Range{Ui.Slide_Julia_Imag, -20000, 20000, 0},
                               Range{Ui.Slide_NumIter, 0, 1000, 100}, Range{Ui.Slide_Thresh, 0, 5000, 2000}}) {
            QCOMPARE(R.Slider->orientation(), Qt::Horizontal);
            QCOMPARE(R.Slider->minimum(), R.Minimum);
            QCOMPARE(R.Slider->maximum(), R.Maximum);
            QCOMPARE(R.Slider->value(), R.Value);
            QCOMPARE(R.Slider->singleStep(), 1);
            QCOMPARE(R.Slider->pageStep(), 10);
        }
        QCOMPARE(Ui.Combo_Set->count(), 2);
        QCOMPARE(Ui.Combo_Set->itemText(0), QStringLiteral("JULIA"));
        QCOMPARE(Ui.Combo_Set->itemText(1), QStringLiteral("MANDELBROT"));
        QCOMPARE(Ui.Combo_Set->currentIndex(), 0);
        const QStringList Colormaps = {"HOT", "HSV", "JET", "BONE", "MORGENSTEMNING", "SKY", "ABYSS"};
        QCOMPARE(Ui.Combo_Cmap->count(), Colormaps.size());
        for (int i = 0; i < Colormaps.size(); ++i) {
            QCOMPARE(Ui.Combo_Cmap->itemText(i), Colormaps[i]);
            QVERIFY(Ui.Combo_Cmap->itemIcon(i).isNull());
            QVERIFY(!Ui.Combo_Cmap->itemData(i).isValid());
        }
        QCOMPARE(Ui.Combo_Cmap->currentText(), QStringLiteral("MORGENSTEMNING"));

        QCOMPARE(Ui.Lab_Julia_R->text(), QStringLiteral("Julia_Real"));
        QCOMPARE(Ui.Lab_Julia_I->text(), QStringLiteral("Julia Imag"));
        QCOMPARE(Ui.Lab_Iter->text(), QStringLiteral("Iterations"));
        QCOMPARE(Ui.Lab_Thresh->text(), QStringLiteral("Threshold"));
        QCOMPARE(Ui.Lab_Colormap->text(), QStringLiteral("Colormap"));
        QCOMPARE(Ui.LabSet->text(), QStringLiteral("Set"));
        QCOMPARE(Ui.Lab_Val_Iter->text(), QStringLiteral("0"));
        QCOMPARE(Ui.Lab_Val_Thresh->text(), QStringLiteral("0"));
        QCOMPARE(Ui.Lab_Center_X->text(), Rich("Center-X"));
        QCOMPARE(Ui.Lab_Center_Y->text(), Rich("Center-Y"));
        QVERIFY(Qt::mightBeRichText(Ui.Lab_Center_X->text()));
        QCOMPARE(Ui.LineEdit_X->text(), QStringLiteral("0.0"));
        QCOMPARE(Ui.LineEdit_Y->text(), QStringLiteral("0.0"));
        QCOMPARE(Ui.LineEdit_Julia_R->text(), QStringLiteral("0"));
        QCOMPARE(Ui.LineEdit_Julia_I->text(), QStringLiteral("0"));
        for (QLineEdit* Edit : {Ui.LineEdit_X, Ui.LineEdit_Y, Ui.LineEdit_Julia_R, Ui.LineEdit_Julia_I})
            QCOMPARE(Edit->validator(), nullptr);
    }

    void Icon_From_The_Resource_Collection()
    {
        QMainWindow Window;
        Ui_MainWindow Ui;
        Ui.setupUi(&Window);
        QVERIFY(!Window.windowIcon().isNull());
        QList<int> Sizes;
        for (const QSize& S : Window.windowIcon().availableSizes())
            Sizes.append(S.width());
        std::sort(Sizes.begin(), Sizes.end());
        QCOMPARE(Sizes, (QList<int>{16, 32, 48, 64, 128, 256}));
        // The collection's other images, present but never used by the program.
        QCOMPARE(QImage(":/Images/tamsel.png").size(), QSize(256, 256));
        QVERIFY(QImage(":/Images/tamsel.png").hasAlphaChannel());
        QCOMPARE(QImage(":/Images/paporotnik-listia-makro.jpg").size(), QSize(1800, 1200));
        QCOMPARE(QImage(":/Images/blossom-5356482.jpg").size(), QSize(1200, 938));
    }

    void Every_Text_Is_Translated_In_Context_MainWindow()
    {
        Marking_Translator Translator;
        QCoreApplication::installTranslator(&Translator);
        QMainWindow Window;
        Ui_MainWindow Ui;
        Ui.setupUi(&Window);
        QCoreApplication::removeTranslator(&Translator);
        QVERIFY(Window.windowTitle().startsWith('~'));
        for (QLabel* Label : Ui.centralwidget->findChildren<QLabel*>())
            QVERIFY2(Label->text().startsWith('~'), qPrintable(Label->objectName()));
        for (QLineEdit* Edit : Ui.centralwidget->findChildren<QLineEdit*>())
            QVERIFY2(Edit->text().startsWith('~'), qPrintable(Edit->objectName()));
        for (QComboBox* Combo : {Ui.Combo_Set, Ui.Combo_Cmap})
            for (int i = 0; i < Combo->count(); ++i)
                QVERIFY(Combo->itemText(i).startsWith('~'));
    }

    void A_Named_Window_Keeps_Its_Name()
    {
        QMainWindow Window;
        Window.setObjectName("Explorer");
        Ui_MainWindow Ui;
        Ui.setupUi(&Window);
        QCOMPARE(Window.objectName(), QStringLiteral("Explorer"));
    }
};

QTEST_MAIN(Form_Test)
#include "FormTest.moc"
