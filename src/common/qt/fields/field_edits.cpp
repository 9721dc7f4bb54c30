#include "common/qt/fields/field_edits.h"

#include "common/win1250.h"

namespace kavrel::ui {

QString integerMessage() { return QStringLiteral("Please enter an integer."); }

QString integerRangeMessage(int minimum, int maximum) {
    return QStringLiteral("Please enter an integer between %1 and %2.").arg(minimum).arg(maximum);
}

QString textLengthMessage(int maxCharacters) {
    return QStringLiteral("Please enter no more than %1 characters.").arg(maxCharacters);
}

QString codePageMessage(const QString& characters) {
    return QStringLiteral("Tekst zawiera znaki, których moduł nie zapisze: %1\n"
                          "Usuń je lub zastąp innymi (polskie litery są dozwolone).")
        .arg(characters);
}

QString charactersOutsideCodePage(const QString& text) {
    QList<char32_t> found;
    for (const char32_t codePoint : text.toUcs4()) {
        // '?' is the code page's own question mark; any other character it maps to '?' is lost.
        if (codePoint == U'?' || cp1250::fromUnicode(codePoint) != '?' || found.contains(codePoint)) continue;
        found.append(codePoint);
    }
    QStringList shown;
    for (const char32_t codePoint : found) shown << QString::fromUcs4(&codePoint, 1);
    return shown.join(QLatin1Char(' '));
}

QString codePageProblem(const QString& text) {
    const QString outside = charactersOutsideCodePage(text);
    return outside.isEmpty() ? QString() : codePageMessage(outside);
}

NumberEdit::NumberEdit(int minimum, int maximum, QWidget* parent)
    : CheckedEdit(parent), minimum_(minimum), maximum_(maximum) {
    setAlignment(Qt::AlignRight);
    // Room for the longest number the range allows, and not much more.
    const int digits = static_cast<int>(QString::number(maximum).size()) + (minimum < 0 ? 1 : 0);
    setMaximumWidth(fontMetrics().horizontalAdvance(QString(digits + 2, QLatin1Char('0'))) + 12);
}

std::optional<int> NumberEdit::number() const {
    bool ok = false;
    const long long value = text().trimmed().toLongLong(&ok);
    if (!ok || value < minimum_ || value > maximum_) return std::nullopt;
    return static_cast<int>(value);
}

QString NumberEdit::problem() const {
    bool ok = false;
    const long long value = text().trimmed().toLongLong(&ok);
    if (!ok) return integerMessage();
    if (value < minimum_ || value > maximum_) return integerRangeMessage(minimum_, maximum_);
    return {};
}

TextEdit::TextEdit(int maxCharacters, QWidget* parent) : CheckedEdit(parent) { setMaxLength(maxCharacters); }

QString TextEdit::problem() const {
    if (text().size() > maxLength()) return textLengthMessage(maxLength());
    return codePageProblem(text());
}

} // namespace kavrel::ui
