// The controls that deep views need, beside the form's own: any iteration count, counts that follow
// the depth, and the colourings the deep renderer offers.
#include "MainWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>

#include <limits>

#include "StatusLine.h"
#include "ui_MainWindow.h"

void MainWindow::Set_Up_Deep_Controls()
{
    QWidget* Form = Ui->centralwidget;
    auto* Count = new QSpinBox(Form);
    Count->setObjectName(QStringLiteral("Spin_NumIter"));
    Count->setRange(0, std::numeric_limits<int>::max());
    Count->setValue(Iterations);
    // A typed count takes effect with Return or on leaving the field, not at each digit.
    Count->setKeyboardTracking(false);
    Count->setToolTip(tr("Iterations: any count; the slider stops at 1000"));
    auto* Automatic = new QCheckBox(tr("Follow depth"), Form);
    Automatic->setObjectName(QStringLiteral("Check_Auto_Iterations"));
    Automatic->setToolTip(tr("Raise the iterations as the view gets deeper"));
    auto* Colouring = new QComboBox(Form);
    Colouring->setObjectName(QStringLiteral("Combo_Colouring"));
    Colouring->addItems({tr("Table"), tr("Cycle"), tr("Smooth")});
    auto* Density_Box = new QDoubleSpinBox(Form);
    Density_Box->setObjectName(QStringLiteral("Spin_Density"));
    Density_Box->setRange(0.001, 100.0);
    Density_Box->setDecimals(3);
    Density_Box->setSingleStep(0.05);
    Density_Box->setValue(Default_Density);
    Density_Box->setPrefix(tr("density "));
    Density_Box->setKeyboardTracking(false);
    Density_Box->setEnabled(false);
    Density = Default_Density;
    // A column of its own beside the form's, no wider than its longest content needs.
    for (QWidget* Control : std::initializer_list<QWidget*>{Count, Automatic, Colouring, Density_Box})
        Control->setMaximumWidth(Count->fontMetrics().horizontalAdvance(QStringLiteral("density 100.000")) * 2);
    Ui->gridLayout->addWidget(Count, 2, 5);
    Ui->gridLayout->addWidget(Automatic, 3, 5);
    Ui->gridLayout->addWidget(Colouring, 4, 5);
    Ui->gridLayout->addWidget(Density_Box, 5, 5);

    // A keystroke a box cannot take (a digit past its largest value, a letter) is refused, and the
    // status line says what the box takes rather than leaving a cut number to look like the one typed.
    const auto Tell_Refusals = [this](QAbstractSpinBox* Box, const QString& Takes) {
        if (auto* Field = Box->findChild<QLineEdit*>())
            connect(Field, &QLineEdit::inputRejected, this, [this, Takes] { Status->Tell(Takes); });
    };
    Tell_Refusals(Count, tr("Iterations take a whole number from 0 to %1.").arg(std::numeric_limits<int>::max()));
    Tell_Refusals(Density_Box, tr("The density takes a number from 0.001 to 100."));
    connect(Count, &QSpinBox::valueChanged, this, [this](int Value) {
        Set_Iterations(Value);
        Request_Render();
    });
    connect(Automatic, &QCheckBox::toggled, this, [this](bool On) {
        Auto_Iterations = On;
        Request_Render();
    });
    connect(Colouring, &QComboBox::currentIndexChanged, this, [this, Density_Box](int Item) {
        Colouring_Mode = Item == 1   ? Kestrine_Deep::Colouring::Cycle
                         : Item == 2 ? Kestrine_Deep::Colouring::Smooth
                                     : Kestrine_Deep::Colouring::Table;
        Density_Box->setEnabled(Colouring_Mode == Kestrine_Deep::Colouring::Smooth);
        Recolour_Or_Render();
    });
    connect(Density_Box, &QDoubleSpinBox::valueChanged, this, [this](double Value) {
        Density = Value;
        Recolour_Or_Render();
    });
}

// The count in use, shown by the label, the spin box and the slider (at its end past 1000), none of
// which renders on its own for it.
void MainWindow::Set_Iterations(int Count)
{
    Iterations = Count;
    Ui->Lab_Val_Iter->setText(QString::number(Iterations));
    auto* Spin = findChild<QSpinBox*>(QStringLiteral("Spin_NumIter"));
    if (Spin && Spin->value() != Count) {
        const QSignalBlocker Quiet(Spin);
        Spin->setValue(Count);
    }
    if (Ui->Slide_NumIter->value() != std::min(Count, Ui->Slide_NumIter->maximum())) {
        const QSignalBlocker Quiet(Ui->Slide_NumIter);
        Ui->Slide_NumIter->setValue(Count);
    }
}
