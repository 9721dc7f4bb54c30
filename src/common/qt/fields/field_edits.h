// Edit fields with the checks every settings dialog applies when "Wprowadź" is pressed:
// whole numbers within a range, and texts of at most N characters. The messages are the
// dialog framework's own: "Please enter an integer.", "Please enter an integer between
// %1 and %2.", "Please enter no more than %1 characters." A text is also refused when it
// holds a character the module's code page (Windows-1250) has no byte for: stored, it
// would silently become "?".
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

// The characters of `text` that Windows-1250 cannot hold, each once, in order of appearance.
QString charactersOutsideCodePage(const QString& text);
// The message that refuses them, or "" when there are none.
QString codePageProblem(const QString& text);

// The texts of the checks, for the dialogs and their tests.
QString integerMessage();
QString integerRangeMessage(int minimum, int maximum);
QString textLengthMessage(int maxCharacters);
QString codePageMessage(const QString& characters);

} // namespace kavrel::ui
