#include "NumberText.h"

#include <QLineEdit>
#include <QLocale>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include <mpfr.h>

namespace {

QLocale Number_Locale()
{
    QLocale C = QLocale::c();
    C.setNumberOptions(QLocale::RejectGroupSeparator | QLocale::OmitGroupSeparator);
    return C;
}

} // namespace

std::optional<float> Read_Number(const QString& Text)
{
    bool Read = false;
    const float Value = static_cast<float>(Number_Locale().toDouble(Text.trimmed(), &Read));
    if (!Read || !std::isfinite(Value))
        return std::nullopt;
    return Value;
}

QString Shortest_Text(float Value)
{
    char Text[32];
    const std::to_chars_result End = std::to_chars(Text, Text + sizeof(Text), Value);
    return QString::fromLatin1(Text, int(End.ptr - Text));
}

QString Fixed_Six(float Value)
{
    return QString::number(double(Value), 'f', 6);
}

QString Six_Or_Exact(float Value)
{
    const QString Six = Fixed_Six(Value);
    return Read_Number(Six) == Value ? Six : Shortest_Text(Value);
}

bool Same_Decimal(const QString& A, const QString& B)
{
    if (A == B)
        return true;
    // Enough bits for every digit of the longer text: then equal values are equal decimals.
    const mpfr_prec_t Bits = mpfr_prec_t(std::max(A.size(), B.size()) * 4 + 64);
    mpfr_t First, Second;
    mpfr_inits2(Bits, First, Second, static_cast<mpfr_ptr>(nullptr));
    char* End = nullptr;
    const QByteArray A_Text = A.trimmed().toLatin1(), B_Text = B.trimmed().toLatin1();
    bool Same = !A_Text.isEmpty() && !B_Text.isEmpty();
    Same = Same && (mpfr_strtofr(First, A_Text.constData(), &End, 10, MPFR_RNDN), *End == '\0');
    Same = Same && (mpfr_strtofr(Second, B_Text.constData(), &End, 10, MPFR_RNDN), *End == '\0');
    Same = Same && mpfr_number_p(First) && mpfr_equal_p(First, Second);
    mpfr_clears(First, Second, static_cast<mpfr_ptr>(nullptr));
    return Same;
}

Number_Validator::Number_Validator(QObject* Parent) : QDoubleValidator(Parent)
{
    setLocale(Number_Locale());
}

QValidator::State Number_Validator::validate(QString& Input, int& Position) const
{
    Input.replace(QLatin1Char(','), QLatin1Char('.'));
    return QDoubleValidator::validate(Input, Position);
}

void Number_Validator::fixup(QString&) const {}

void Fit_Width_To_Numbers(QLineEdit* Edit)
{
    // A float shown in full: nine significant digits, a sign and a leading zero.
    static const QString Widest = QStringLiteral("-0.123456789");
    // A line edit's own margin on each side of its text, and room for the cursor after the last digit.
    constexpr int Edit_Margin = 2, Cursor_Room = 2;
    QStyleOptionFrame Option;
    Option.initFrom(Edit);
    Option.lineWidth = Edit->hasFrame() ? Edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &Option, Edit) : 0;
    Option.midLineWidth = 0;
    Option.state |= QStyle::State_Sunken;
    const QMargins Text = Edit->textMargins();
    const int Inner = Edit->fontMetrics().horizontalAdvance(Widest) + 2 * Edit_Margin + Cursor_Room + Text.left() +
                      Text.right();
    const QSize Outer = Edit->style()->sizeFromContents(QStyle::CT_LineEdit, &Option, QSize(Inner, 0), Edit);
    Edit->setFixedWidth(std::max(Edit->minimumWidth(), Outer.width()));
}
