// The number fields of the main window: the centre and the Julia constant as typed. A field shows
// the value in use, and a text that is not in use never stays in it unremarked.
#include "MainWindow.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>

#include <cmath>

#include "NumberText.h"
#include "StatusLine.h"
#include "ui_MainWindow.h"

namespace {

constexpr float Julia_Limit = 2.0f;
constexpr float Centre_Limit = 10.0f;

} // namespace

// Return reaches the slots only for text the validator accepts; for any other text the filter says
// "Invalid Number!" itself. A refused keystroke says on the status line what the field takes.
void MainWindow::Set_Up_Number_Fields()
{
    Validator = new Number_Validator();
    for (QLineEdit* Edit : {Ui->LineEdit_X, Ui->LineEdit_Y, Ui->LineEdit_Julia_I, Ui->LineEdit_Julia_R}) {
        Edit->setValidator(Validator);
        Edit->installEventFilter(this);
        Fit_Width_To_Numbers(Edit);
        connect(Edit, &QLineEdit::inputRejected, this, [this, Edit] {
            Status->Tell(tr("%1 takes a number such as -0.75 or 1.5e-3; a comma counts as the decimal point.")
                             .arg(Field_Name(Edit)));
        });
    }
}

void MainWindow::Julia_Manual_R()
{
    Julia_Manual(Julia_R, Ui->LineEdit_Julia_R, Ui->Slide_Julia_Real);
}

void MainWindow::Julia_Manual_I()
{
    Julia_Manual(Julia_I, Ui->LineEdit_Julia_I, Ui->Slide_Julia_Imag);
}

// A typed value is the one used and shown: the slider follows as near as its steps allow, without
// rendering its own rounded value first, and the picture is rendered once.
void MainWindow::Julia_Manual(float& Julia_Value, QLineEdit* Edit, QSlider* Slider)
{
    const std::optional<float> Typed = Read_Number(Edit->text());
    if (!Typed) {
        Message(Box::Critical, QStringLiteral("Invalid Number!"));
        Show_Values_In_Use(Edit);
    } else if (std::fabs(*Typed) <= Julia_Limit) {
        {
            const QSignalBlocker Quiet(Slider);
            Slider->setValue(Slider_Position(*Typed, Julia_Slider_Scale));
        }
        Julia_Value = *Typed;
        Render_Fractal();
    } else {
        Message(Box::Warning, QStringLiteral("Julia Values are limited to (-2.0 --> +2.0)"));
        Show_Values_In_Use(Edit);
    }
}

void MainWindow::Coordinates()
{
    const std::optional<float> X = Read_Number(Ui->LineEdit_X->text());
    const std::optional<float> Y = Read_Number(Ui->LineEdit_Y->text());
    if (!X || !Y) {
        Message(Box::Critical, QStringLiteral("Invalid Number!"));
        Show_Centre();
    } else if (std::fabs(*X) <= Centre_Limit && std::fabs(*Y) <= Centre_Limit) {
        const float Width = X_Max - X_Min;
        const float Height = Y_Max - Y_Min;
        if (!Set_Window(*X - Width * 0.5, *X + Width * 0.5, *Y - Height * 0.5, *Y + Height * 0.5))
            return;
        // The edges are floats, and the centre between them may be a neighbour of the one typed.
        if (Show_Centre())
            Status->Tell(tr("The centre in use is (%1, %2), the nearest that single precision allows.")
                             .arg(Ui->LineEdit_X->text(), Ui->LineEdit_Y->text()));
        Render_Fractal();
    } else {
        Message(Box::Warning, QStringLiteral("Coordinates are limited to (-10.0 --> +10.0)"));
        Show_Centre();
    }
}

// Return on a text that is no number yet, and focus leaving a field whose text is not the value in
// use: the field shows the value in use again, and the user is told.
bool MainWindow::Number_Field_Event(QLineEdit* Edit, QEvent* Event)
{
    if (Event->type() == QEvent::KeyPress) {
        const int Key = static_cast<QKeyEvent*>(Event)->key();
        if ((Key == Qt::Key_Return || Key == Qt::Key_Enter) && !Edit->hasAcceptableInput()) {
            Message(Box::Critical, QStringLiteral("Invalid Number!"));
            Show_Values_In_Use(Edit);
            return true;
        }
    } else if (Event->type() == QEvent::FocusOut) {
        // Focus lent to a menu or another window comes back to the field: the edit is not over.
        const Qt::FocusReason Why = static_cast<QFocusEvent*>(Event)->reason();
        if (Why != Qt::PopupFocusReason && Why != Qt::ActiveWindowFocusReason)
            Check_Field(Edit);
    }
    return false;
}

// What a number field stands for, as the picture uses it.
float MainWindow::Value_In_Use(const QLineEdit* Edit) const
{
    if (Edit == Ui->LineEdit_Julia_R)
        return Julia_R;
    if (Edit == Ui->LineEdit_Julia_I)
        return Julia_I;
    return Edit == Ui->LineEdit_X ? Centre_Of(X_Min, X_Max) : Centre_Of(Y_Min, Y_Max);
}

// The value in use as its field shows it: every digit that tells it from its float neighbours.
QString MainWindow::Text_In_Use(const QLineEdit* Edit) const
{
    const float Value = Value_In_Use(Edit);
    return Edit == Ui->LineEdit_X || Edit == Ui->LineEdit_Y ? Shortest_Text(Value) : Six_Or_Exact(Value);
}

QString MainWindow::Field_Name(const QLineEdit* Edit) const
{
    if (Edit == Ui->LineEdit_Julia_R)
        return tr("Julia_Real");
    if (Edit == Ui->LineEdit_Julia_I)
        return tr("Julia Imag");
    return Edit == Ui->LineEdit_X ? tr("Center-X") : tr("Center-Y");
}

// A text left in a field without Return is not in use, and must not look as if it were.
void MainWindow::Check_Field(QLineEdit* Edit)
{
    const QString Typed = Edit->text();
    if (Read_Number(Typed) == Value_In_Use(Edit))
        return;
    Edit->setText(Text_In_Use(Edit));
    Status->Tell(tr("%1: \"%2\" was not used (Return uses a typed value); the field shows the value in use, %3.")
                     .arg(Field_Name(Edit), Typed, Edit->text()));
}

// After a refused value a field shows the value in use again.
void MainWindow::Show_Values_In_Use(QLineEdit* Edit)
{
    if (Edit == Ui->LineEdit_Julia_R || Edit == Ui->LineEdit_Julia_I)
        Edit->setText(Text_In_Use(Edit));
    else
        Show_Centre();
}

// Each centre field shows the centre in use, unless its text already reads as it; true if one was
// rewritten. Pan, zoom and reset call it.
bool MainWindow::Show_Centre()
{
    bool Rewritten = false;
    for (QLineEdit* Edit : {Ui->LineEdit_X, Ui->LineEdit_Y}) {
        if (Read_Number(Edit->text()) != Value_In_Use(Edit)) {
            Edit->setText(Text_In_Use(Edit));
            Rewritten = true;
        }
    }
    return Rewritten;
}

