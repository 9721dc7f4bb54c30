#include "common/qt/clipped_text.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace kavrel {
namespace {

// Rounding of fractional scale factors may take a pixel from a widget laid out to its hint.
constexpr int kTolerancePx = 1;

QString describe(const QWidget& widget, const QString& text, int has, int needs) {
    return QStringLiteral("%1 %2 \"%3\": %4 px z %5")
        .arg(QString::fromLatin1(widget.metaObject()->className()), widget.objectName(), text.left(40))
        .arg(has)
        .arg(needs);
}

void checkLabel(const QLabel& label, QStringList& found) {
    if (label.text().isEmpty() || label.textFormat() == Qt::RichText) return;
    if (label.wordWrap()) {
        const int needs = label.heightForWidth(label.width());
        if (needs > label.height() + kTolerancePx) found << describe(label, label.text(), label.height(), needs) + QStringLiteral(" (wys.)");
        return;
    }
    const int needs = label.sizeHint().width();
    if (needs > label.width() + kTolerancePx) found << describe(label, label.text(), label.width(), needs);
}

// A push button's size hint keeps a minimum width that has nothing to do with its text: what
// the text needs is its width, the icon and the style's margins and frame.
int pushButtonNeeds(const QPushButton& button) {
    const QStyle* style = button.style();
    int needs = button.fontMetrics().horizontalAdvance(QString(button.text()).remove(QLatin1Char('&'))) +
                style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, &button) +
                2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &button);
    if (!button.icon().isNull()) needs += button.iconSize().width() + 4;
    return needs;
}

void checkButton(const QAbstractButton& button, QStringList& found) {
    if (button.text().isEmpty()) return;
    const auto* push = qobject_cast<const QPushButton*>(&button);
    const int needs = push ? pushButtonNeeds(*push) : button.sizeHint().width();
    if (needs > button.width() + kTolerancePx) found << describe(button, button.text(), button.width(), needs);
}

void checkGroupBox(const QGroupBox& box, QStringList& found) {
    if (box.title().isEmpty()) return;
    const int needs = box.fontMetrics().horizontalAdvance(box.title()) + 2 * box.fontMetrics().averageCharWidth();
    if (needs > box.width() + kTolerancePx) found << describe(box, box.title(), box.width(), needs);
}

void checkHeader(const QHeaderView& header, QStringList& found) {
    if (!header.model()) return;
    for (int section = 0; section < header.count(); ++section) {
        if (header.isSectionHidden(section)) continue;
        const int needs = header.sectionSizeHint(section);
        const int has = header.sectionSize(section);
        const QString caption = header.model()->headerData(section, header.orientation()).toString();
        if (header.orientation() == Qt::Horizontal && !caption.isEmpty() && needs > has + kTolerancePx)
            found << describe(header, caption, has, needs);
    }
}

} // namespace

QStringList clippedTexts(const QWidget& window) {
    QStringList found;
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(&window) || widget->width() <= 0) continue;
        if (const auto* label = qobject_cast<const QLabel*>(widget)) checkLabel(*label, found);
        else if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) checkButton(*button, found);
        else if (const auto* box = qobject_cast<const QGroupBox*>(widget)) checkGroupBox(*box, found);
        else if (const auto* header = qobject_cast<const QHeaderView*>(widget)) checkHeader(*header, found);
    }
    return found;
}

} // namespace kavrel
