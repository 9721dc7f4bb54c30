#include "config/ui/dialogs/changes_dialog.h"

#include <QDialogButtonBox>
#include <algorithm>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kavrel::config::ui {
namespace {

enum Column { kCaption, kKey, kBefore, kAfter };

// "1 pole", "2 pola", "5 pól": the Polish plural of the count.
QString fieldCount(int n) {
    const int lastDigit = n % 10, lastTwo = n % 100;
    const bool few = lastDigit >= 2 && lastDigit <= 4 && (lastTwo < 12 || lastTwo > 14);
    return QStringLiteral("%1 %2").arg(n).arg(n == 1 ? QStringLiteral("pole") : few ? QStringLiteral("pola") : QStringLiteral("pól"));
}

QString summaryText(int count, Czmiany::Purpose purpose, const QString& fileName) {
    if (purpose == Czmiany::Purpose::BeforeWrite)
        return count == 0 ? QStringLiteral("Ustawienia w module są takie same jak w oknie: wysłanie niczego nie zmieni.\n"
                                           "Wyślij tylko wtedy, gdy chcesz je zapisać w module ponownie.")
                          : QStringLiteral("Wysłanie zmieni w module %1:").arg(fieldCount(count));
    return count == 0 ? QStringLiteral("Ustawienia w oknie i w pliku %1 są takie same.").arg(fileName)
                      : QStringLiteral("Ustawienia w oknie i w pliku %1 różnią się w: %2").arg(fileName, fieldCount(count));
}

} // namespace

QString Czmiany::title() { return QStringLiteral("Zmiany w ustawieniach modułu"); }

Czmiany::Czmiany(const std::vector<FieldChange>& changes, Purpose purpose, QWidget* parent, const QString& fileName)
    : QDialog(parent) {
    const bool beforeWrite = purpose == Purpose::BeforeWrite;
    setWindowTitle(beforeWrite ? title() : QStringLiteral("Porównanie z plikiem"));
    summary_ = new QLabel(summaryText(static_cast<int>(changes.size()), purpose, fileName), this);
    summary_->setObjectName(QStringLiteral("summary"));

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("changes"));
    list_->setRootIsDecorated(false);
    list_->setAlternatingRowColors(true);
    list_->setHeaderLabels({QStringLiteral("Pole"), QStringLiteral("KEY"),
                            beforeWrite ? QStringLiteral("W module") : QStringLiteral("W oknie"),
                            beforeWrite ? QStringLiteral("Nowa wartość") : QStringLiteral("W pliku")});
    for (const FieldChange& change : changes) {
        auto* row = new QTreeWidgetItem(list_);
        row->setText(kCaption, QString::fromStdString(change.caption));
        row->setText(kKey, QString::fromStdString(change.key));
        row->setText(kBefore, QString::fromStdString(change.before));
        row->setText(kAfter, QString::fromStdString(change.after));
        for (int column = kCaption; column <= kAfter; ++column) row->setToolTip(column, row->text(column));
    }
    for (int column = kCaption; column <= kAfter; ++column) list_->resizeColumnToContents(column);
    // Long texts (160-character SMS) would make the window wider than the screen; the
    // tool tip shows them whole.
    for (int column = kBefore; column <= kAfter; ++column)
        list_->setColumnWidth(column, std::min(list_->columnWidth(column), 260));
    int width = 0;
    for (int column = kCaption; column <= kAfter; ++column) width += list_->columnWidth(column);
    list_->setMinimumWidth(std::clamp(width + 24, 640, 1100));
    list_->setVisible(!changes.empty());

    auto* buttons = new QDialogButtonBox(this);
    if (beforeWrite) {
        send_ = buttons->addButton(QStringLiteral("Wyślij"), QDialogButtonBox::AcceptRole);
        send_->setObjectName(QStringLiteral("send"));
        auto* cancel = buttons->addButton(QStringLiteral("Anuluj"), QDialogButtonBox::RejectRole);
        cancel->setObjectName(QStringLiteral("cancel"));
        // With nothing to change, Enter must not send: the user has to ask for it.
        (changes.empty() ? cancel : send_)->setDefault(true);
        (changes.empty() ? cancel : send_)->setFocus();
    } else {
        buttons->addButton(QStringLiteral("Zamknij"), QDialogButtonBox::RejectRole)->setDefault(true);
    }
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addWidget(list_, 1);
    layout->addWidget(buttons);
}

} // namespace kavrel::config::ui
