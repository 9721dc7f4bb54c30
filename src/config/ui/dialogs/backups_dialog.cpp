#include "config/ui/dialogs/backups_dialog.h"

#include <QDialogButtonBox>
#include <algorithm>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kavrel::config::ui {

Ckopie::Ckopie(std::vector<BackupEntry> entries, const QString& folder, QWidget* parent)
    : QDialog(parent), entries_(std::move(entries)) {
    setWindowTitle(QStringLiteral("Kopie zapasowe"));
    auto* heading = new QLabel(entries_.empty()
                                   ? QStringLiteral("Brak kopii zapasowych w folderze:\n%1").arg(folder)
                                   : QStringLiteral("Ustawienia modułów zapisane przed wysłaniem nowych, w folderze:\n%1")
                                         .arg(folder),
                               this);
    heading->setTextInteractionFlags(Qt::TextSelectableByMouse);

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("backups"));
    list_->setRootIsDecorated(false);
    list_->setHeaderLabels({QStringLiteral("Data i godzina"), QStringLiteral("Wersja modułu"), QStringLiteral("Port"),
                            QStringLiteral("Plik")});
    for (const BackupEntry& entry : entries_) {
        auto* row = new QTreeWidgetItem(list_);
        row->setText(0, QString::fromStdString(backupTimeText(entry.time)));
        row->setText(1, QString::fromStdString(entry.version));
        row->setText(2, QString::fromStdString(entry.connection));
        row->setText(3, QString::fromStdString(entry.fileName));
    }
    int width = 0;
    for (int column = 0; column < 4; ++column) {
        list_->resizeColumnToContents(column);
        width += list_->columnWidth(column);
    }
    // The whole file name in view, up to a width that still fits a laptop's screen.
    list_->setMinimumWidth(std::clamp(width + 24, 640, 1100));
    if (!entries_.empty()) list_->setCurrentItem(list_->topLevelItem(0));

    auto* buttons = new QDialogButtonBox(this);
    open_ = buttons->addButton(QStringLiteral("Otwórz"), QDialogButtonBox::AcceptRole);
    open_->setEnabled(!entries_.empty());
    open_->setDefault(true);
    buttons->addButton(QStringLiteral("Zamknij"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(list_, 1);
    layout->addWidget(buttons);
}

QString Ckopie::chosenPath() const {
    const int row = list_->indexOfTopLevelItem(list_->currentItem());
    if (row < 0 || row >= static_cast<int>(entries_.size())) return {};
    return QString::fromStdString(entries_[static_cast<std::size_t>(row)].path);
}

} // namespace kavrel::config::ui
