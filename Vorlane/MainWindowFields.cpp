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

// A number field's dynamic property: the text of the value in use.
constexpr char In_Use_Property[] = "Vorlane_In_Use";

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
    Julia_Manual(Julia_R, Julia_R_Text, Ui->LineEdit_Julia_R, Ui->Slide_Julia_Real);
}

void MainWindow::Julia_Manual_I()
{
    Julia_Manual(Julia_I, Julia_I_Text, Ui->LineEdit_Julia_I, Ui->Slide_Julia_Imag);
}

// A typed value is the one used and shown: the slider follows as near as its steps allow, without
// rendering its own rounded value first, and the picture is rendered once. The float engine takes
// the nearest float, the deep renderer every digit typed.
void MainWindow::Julia_Manual(float& Julia_Value, std::string& Julia_Text, QLineEdit* Edit, QSlider* Slider)
{
    if (!Edited(Edit))
        return;
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
        Julia_Text = Edit->text().trimmed().toStdString();
        Set_Field(Edit, Edit->text());
        Request_Render();
    } else {
        Message(Box::Warning, QStringLiteral("Julia Values are limited to (-2.0 --> +2.0)"));
        Show_Values_In_Use(Edit);
    }
}

// Only an edited field is read: the other keeps the exact centre in use, which its text shows only
// rounded (to a tenth of a pixel). Return on both texts as the program wrote them changes nothing.
void MainWindow::Coordinates()
{
    QLineEdit* const Fields[] = {Ui->LineEdit_X, Ui->LineEdit_Y};
    if (!Edited(Fields[0]) && !Edited(Fields[1]))
        return;
    std::string Texts[2];
    for (int i = 0; i < 2; ++i)
        Texts[i] = Edited(Fields[i]) ? Fields[i]->text().trimmed().toStdString()
                                     : Place.Exact_Centre(i == 0 ? Axis::Real : Axis::Imaginary);
    const std::optional<float> X = Read_Number(QString::fromStdString(Texts[0]));
    const std::optional<float> Y = Read_Number(QString::fromStdString(Texts[1]));
    if (!X || !Y) {
        Message(Box::Critical, QStringLiteral("Invalid Number!"));
        Show_Values_In_Use(Ui->LineEdit_X);
    } else if (std::fabs(*X) <= Centre_Limit && std::fabs(*Y) <= Centre_Limit && Place.Set_Centre(Texts[0], Texts[1])) {
        // Read to every digit typed, at any depth; the fields keep the texts as typed.
        for (QLineEdit* Edit : Fields)
            if (Edited(Edit))
                Set_Field(Edit, Edit->text());
        Take_Place();
        Request_Render();
    } else {
        Message(Box::Warning, QStringLiteral("Coordinates are limited to (-10.0 --> +10.0)"));
        Show_Values_In_Use(Ui->LineEdit_X);
    }
}

// Whether the field's text is another than the one the program wrote for the value in use.
bool MainWindow::Edited(const QLineEdit* Edit) const
{
    return Edit->text() != Text_In_Use(Edit);
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

// The text of the value in use, as its field showed it when the value was taken.
QString MainWindow::Text_In_Use(const QLineEdit* Edit) const
{
    return Edit->property(In_Use_Property).toString();
}

// The field shows Text, and Text is the value in use.
void MainWindow::Set_Field(QLineEdit* Edit, const QString& Text)
{
    Edit->setText(Text);
    Edit->setProperty(In_Use_Property, Text);
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
    if (Same_Decimal(Typed, Text_In_Use(Edit)))
        return;
    Edit->setText(Text_In_Use(Edit));
    Status->Tell(tr("%1: \"%2\" was not used (Return uses a typed value); the field shows the value in use, %3.")
                     .arg(Field_Name(Edit), Typed, Edit->text()));
}

// After a refused value a field shows the value in use again.
// The centre is one value: both its fields go back.
void MainWindow::Show_Values_In_Use(QLineEdit* Edit)
{
    if (Edit == Ui->LineEdit_Julia_R || Edit == Ui->LineEdit_Julia_I)
        Edit->setText(Text_In_Use(Edit));
    else
        for (QLineEdit* Centre : {Ui->LineEdit_X, Ui->LineEdit_Y})
            Centre->setText(Text_In_Use(Centre));
}

// Each centre field shows the centre in use to a tenth of a pixel, as many digits as the depth takes.
// Pan, zoom and reset call it.
void MainWindow::Show_Centre()
{
    Set_Field(Ui->LineEdit_X, QString::fromStdString(Place.Centre_Text(Axis::Real, Image_Width)));
    Set_Field(Ui->LineEdit_Y, QString::fromStdString(Place.Centre_Text(Axis::Imaginary, Image_Height)));
}

