// The program's number fields and their one convention: a field shows the value in use, Return takes
// an edited text, and a text that is not in use never stays in a field unremarked. The fields keep the
// text they were last given as the value in use; only a text the user changed is read.
#pragma once

#include <QHash>
#include <QObject>
#include <QString>

#include "NumberText.h"

class QLineEdit;

class Number_Fields : public QObject {
    Q_OBJECT

public:
    explicit Number_Fields(QObject* Parent = nullptr);

    // Edit becomes a number field called Name (for the status line); a field with a Partner is one
    // value with it (the centre's two parts), so that both go back together.
    void Add(QLineEdit* Edit, const QString& Name, QLineEdit* Partner = nullptr);

    // The field shows Text, and Text is the value in use.
    static void Set(QLineEdit* Edit, const QString& Text);
    // Whether the field's text is another than the one written for the value in use.
    static bool Edited(const QLineEdit* Edit);
    // After a refused value the field (and its partner) shows the value in use again.
    void Show_In_Use(QLineEdit* Edit);

signals:
    // Return on a text that is no number: the field goes back to the value in use right after.
    void Invalid(QLineEdit* Edit);
    // A remark for the status line.
    void Tell(const QString& Text);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void Check(QLineEdit* Edit);

    Number_Validator Validator;
    QHash<const QLineEdit*, QString> Names;
    QHash<const QLineEdit*, QLineEdit*> Partners;
};
