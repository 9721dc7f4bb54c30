// Edit fields with the checks every settings dialog applies when "Wprowadź" is pressed:
// whole numbers within a range, and texts of at most N characters. The messages are the
// dialog framework's own: "Please enter an integer.", "Please enter an integer between
// %1 and %2.", "Please enter no more than %1 characters."
#pragma once

#include <QLineEdit>
#include <QString>
#include <optional>

namespace kavrel::ui {

// A line edit that can refuse its text: the message that refuses it, or "" when it is
// acceptable. The checks of field_checks.h go through this.
class CheckedEdit : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;
    virtual QString problem() const = 0;
};

class NumberEdit : public CheckedEdit {
    Q_OBJECT
public:
    NumberEdit(int minimum, int maximum, QWidget* parent = nullptr);

    void setNumber(long long value) { setText(QString::number(value)); }
    // The number typed, or nullopt when it is no number or out of range.
    std::optional<int> number() const;
    QString problem() const override;

    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }

private:
    int minimum_;
    int maximum_;
};

class TextEdit : public CheckedEdit {
    Q_OBJECT
public:
    explicit TextEdit(int maxCharacters, QWidget* parent = nullptr);
    QString problem() const override;
};

// The texts of the checks, for the dialogs and their tests.
QString integerMessage();
QString integerRangeMessage(int minimum, int maximum);
QString textLengthMessage(int maxCharacters);

} // namespace kavrel::ui
