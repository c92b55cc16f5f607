// The controls that deep views need beside the form's: any iteration count, counts that follow the
// depth, the colouring and the smooth colouring's density, in a column of their own.
#pragma once

#include <QString>

#include <functional>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGridLayout;
class QSpinBox;
class QWidget;

struct Deep_Controls {
    QSpinBox* Count = nullptr;
    QCheckBox* Automatic = nullptr;
    QComboBox* Colouring = nullptr;
    QDoubleSpinBox* Density = nullptr;
};

// Built on Form in column 5 of Grid, rows 2 to 5. A keystroke a box cannot take (a digit past its
// largest value, a letter) is refused, and Tell gets what the box takes, rather than a cut number
// being left to look like the one typed.
Deep_Controls Add_Deep_Controls(QWidget* Form, QGridLayout* Grid, int Iterations, double Density,
                                const std::function<void(const QString&)>& Tell);
