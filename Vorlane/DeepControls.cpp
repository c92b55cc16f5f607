#include "DeepControls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QSpinBox>

#include <initializer_list>
#include <limits>

namespace {

void Tell_Refusals(QAbstractSpinBox* Box, const QString& Takes, const std::function<void(const QString&)>& Tell)
{
    if (auto* Field = Box->findChild<QLineEdit*>())
        QObject::connect(Field, &QLineEdit::inputRejected, Box, [Takes, Tell] { Tell(Takes); });
}

} // namespace

Deep_Controls Add_Deep_Controls(QWidget* Form, QGridLayout* Grid, int Iterations, double Density,
                                const std::function<void(const QString&)>& Tell)
{
    Deep_Controls Made;
    Made.Count = new QSpinBox(Form);
    Made.Count->setObjectName(QStringLiteral("Spin_NumIter"));
    Made.Count->setRange(0, std::numeric_limits<int>::max());
    Made.Count->setValue(Iterations);
    // A typed count takes effect with Return or on leaving the field, not at each digit.
    Made.Count->setKeyboardTracking(false);
    Made.Count->setToolTip(QObject::tr("Iterations: any count; the slider stops at 1000"));
    Made.Automatic = new QCheckBox(QObject::tr("Follow depth"), Form);
    Made.Automatic->setObjectName(QStringLiteral("Check_Auto_Iterations"));
    Made.Automatic->setToolTip(QObject::tr("Raise the iterations as the view gets deeper"));
    Made.Colouring = new QComboBox(Form);
    Made.Colouring->setObjectName(QStringLiteral("Combo_Colouring"));
    Made.Colouring->addItems({QObject::tr("Table"), QObject::tr("Cycle"), QObject::tr("Smooth")});
    Made.Density = new QDoubleSpinBox(Form);
    Made.Density->setObjectName(QStringLiteral("Spin_Density"));
    Made.Density->setRange(0.001, 100.0);
    Made.Density->setDecimals(3);
    Made.Density->setSingleStep(0.05);
    Made.Density->setValue(Density);
    Made.Density->setPrefix(QObject::tr("density "));
    Made.Density->setKeyboardTracking(false);
    Made.Density->setEnabled(false);
    // No wider than the longest content needs.
    const int Widest = Made.Count->fontMetrics().horizontalAdvance(QStringLiteral("density 100.000")) * 2;
    int Row = 2;
    for (QWidget* Control : std::initializer_list<QWidget*>{Made.Count, Made.Automatic, Made.Colouring, Made.Density}) {
        Control->setMaximumWidth(Widest);
        Grid->addWidget(Control, Row++, 5);
    }
    Tell_Refusals(Made.Count, QObject::tr("Iterations take a whole number from 0 to %1.").arg(std::numeric_limits<int>::max()), Tell);
    Tell_Refusals(Made.Density, QObject::tr("The density takes a number from 0.001 to 100."), Tell);
    return Made;
}
