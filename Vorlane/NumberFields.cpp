#include "NumberFields.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>

namespace {

// A number field's dynamic property: the text of the value in use.
constexpr char In_Use_Property[] = "Vorlane_In_Use";

QString Text_In_Use(const QLineEdit* Edit)
{
    return Edit->property(In_Use_Property).toString();
}

} // namespace

Number_Fields::Number_Fields(QObject* Parent) : QObject(Parent) {}

// Return reaches the field's own handlers only for text the validator accepts; for any other text
// the filter reports it. A refused keystroke says on the status line what the field takes.
void Number_Fields::Add(QLineEdit* Edit, const QString& Name, QLineEdit* Partner)
{
    Names.insert(Edit, Name);
    if (Partner)
        Partners.insert(Edit, Partner);
    Edit->setValidator(&Validator);
    Edit->installEventFilter(this);
    Fit_Width_To_Numbers(Edit);
    connect(Edit, &QLineEdit::inputRejected, this, [this, Name] {
        emit Tell(tr("%1 takes a number such as -0.75 or 1.5e-3; a comma counts as the decimal point.").arg(Name));
    });
}

void Number_Fields::Set(QLineEdit* Edit, const QString& Text)
{
    Edit->setText(Text);
    Edit->setProperty(In_Use_Property, Text);
}

bool Number_Fields::Edited(const QLineEdit* Edit)
{
    return Edit->text() != Text_In_Use(Edit);
}

void Number_Fields::Show_In_Use(QLineEdit* Edit)
{
    Edit->setText(Text_In_Use(Edit));
    if (QLineEdit* Partner = Partners.value(Edit))
        Partner->setText(Text_In_Use(Partner));
}

// Return on a text that is no number yet, and focus leaving a field whose text is not the value in
// use: the field shows the value in use again, and the user is told.
bool Number_Fields::eventFilter(QObject* Watched, QEvent* Event)
{
    auto* Edit = qobject_cast<QLineEdit*>(Watched);
    if (!Edit || !Names.contains(Edit))
        return false;
    if (Event->type() == QEvent::KeyPress) {
        const int Key = static_cast<QKeyEvent*>(Event)->key();
        if ((Key == Qt::Key_Return || Key == Qt::Key_Enter) && !Edit->hasAcceptableInput()) {
            emit Invalid(Edit);
            Show_In_Use(Edit);
            return true;
        }
    } else if (Event->type() == QEvent::FocusOut) {
        // Focus lent to a menu or another window comes back to the field: the edit is not over.
        const Qt::FocusReason Why = static_cast<QFocusEvent*>(Event)->reason();
        if (Why != Qt::PopupFocusReason && Why != Qt::ActiveWindowFocusReason)
            Check(Edit);
    }
    return false;
}

// A text left in a field without Return is not in use, and must not look as if it were.
void Number_Fields::Check(QLineEdit* Edit)
{
    const QString Typed = Edit->text();
    if (Same_Decimal(Typed, Text_In_Use(Edit)))
        return;
    Edit->setText(Text_In_Use(Edit));
    emit Tell(tr("%1: \"%2\" was not used (Return uses a typed value); the field shows the value in use, %3.")
                  .arg(Names.value(Edit), Typed, Edit->text()));
}
