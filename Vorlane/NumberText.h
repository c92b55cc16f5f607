// The program's one way of writing and reading numbers, whatever the user's locale: a decimal point
// (a typed comma counts as one) and no group separators, so that every number the program writes
// reads back as the same float and "1,000" is never a thousand.
#pragma once

#include <QDoubleValidator>
#include <QString>

#include <optional>
#include <string>

// The number in Text as a float; nothing if it cannot be read or lies beyond the float range. Every
// text in a number field has passed Number_Validator, so its commas are points already.
std::optional<float> Read_Number(const QString& Text);

// The shortest text that reads back as exactly Value.
QString Shortest_Text(float Value);

// Fixed notation with six decimals: 0.6 gives 0.600000.
QString Fixed_Six(float Value);

// Six decimals where they read back as Value (every slider value does), the shortest exact text
// otherwise: a typed value is never shown rounded.
QString Six_Or_Exact(float Value);

// Whether the two texts are decimals of exactly the same number ("0.5" and "0.50" are).
bool Same_Decimal(const QString& A, const QString& B);

// Accepts what Read_Number reads, turning each comma into a decimal point as it is typed. It never
// "fixes" a text into another number: what it refuses stays as typed until the user changes it.
class Number_Validator : public QDoubleValidator {
public:
    explicit Number_Validator(QObject* Parent = nullptr);

    State validate(QString& Input, int& Position) const override;
    void fixup(QString& Input) const override;
};

class QLineEdit;

// Widens Edit, if need be, to show the widest number the program writes there at its font.
void Fit_Width_To_Numbers(QLineEdit* Edit);
