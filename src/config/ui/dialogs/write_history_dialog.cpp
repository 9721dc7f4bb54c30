#include "config/ui/dialogs/write_history_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

#include "common/qt/color_scheme.h"
#include "common/qt/qt_text.h"
#include "config/model/backup_store.h"

namespace kavrel::config::ui {
namespace {

QString utf8(const std::string& text) { return QString::fromStdString(text); }

QString changedKeys(const HistoryRecord& record) {
    if (!record.changes) return QStringLiteral("—");
    QStringList keys;
    for (const HistoryChange& change : *record.changes) keys << utf8(change.key);
    return keys.isEmpty() ? QStringLiteral("bez zmian") : keys.join(QStringLiteral(", "));
}

QString detailText(const HistoryRecord& r) {
    QString text = QStringLiteral("Zapis %1, %2 → %3\n").arg(utf8(r.id), utf8(r.time), r.ended.empty() ? QStringLiteral("—") : utf8(r.ended));
    text += QStringLiteral("Wynik: %1%2\n").arg(utf8(r.outcome), r.detail.empty() ? QString() : QStringLiteral(" (%1)").arg(utf8(r.detail)));
    text += QStringLiteral("Rekord przed: %1, po: %2\n")
                .arg(r.hashBefore.empty() ? QStringLiteral("nieznany") : utf8(r.hashBefore), utf8(r.hashAfter));
    if (!r.journal.empty()) text += QStringLiteral("Dziennik: %1\n").arg(utf8(r.journal));
    if (!r.run.empty()) text += QStringLiteral("Wdrożenie: %1\n").arg(utf8(r.run));
    if (!r.changes) {
        text += QStringLiteral("Zmienione pola: nieznane (moduł nie był odczytany przed zapisem)\n");
    } else {
        text += QStringLiteral("Zmienione pola: %1\n").arg(r.changes->size());
        for (const HistoryChange& change : *r.changes)
            text += QStringLiteral("  %1: %2 → %3\n").arg(utf8(change.key), utf8(change.before), utf8(change.after));
    }
    return text;
}

} // namespace

WriteHistoryDialog::WriteHistoryDialog(HistoryLoad load, const QString& path, QWidget* parent)
    : QDialog(parent), records_(std::move(load.records)) {
    setWindowTitle(QStringLiteral("Historia zapisów"));
    std::reverse(records_.begin(), records_.end());
    QString headingText = records_.empty() ? QStringLiteral("Brak zapisów w historii:\n%1").arg(path)
                                           : QStringLiteral("Zapisy ustawień do modułów, od najnowszego, z pliku:\n%1").arg(path);
    if (load.damagedLines > 0) headingText += QStringLiteral("\nPominięte uszkodzone wiersze: %1").arg(load.damagedLines);
    auto* heading = new QLabel(headingText, this);
    heading->setTextInteractionFlags(Qt::TextSelectableByMouse);

    connection_ = new QComboBox(this);
    connection_->setObjectName(QStringLiteral("connection"));
    connection_->addItem(QStringLiteral("wszystkie"));
    std::set<std::string> connections;
    for (const HistoryRecord& record : records_) connections.insert(record.connection);
    for (const std::string& connection : connections) connection_->addItem(utf8(connection));
    auto* filter = new QHBoxLayout;
    filter->addWidget(new QLabel(QStringLiteral("Połączenie:"), this));
    filter->addWidget(connection_, 1);

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("history"));
    list_->setRootIsDecorated(false);
    list_->setHeaderLabels({QStringLiteral("Data i godzina"), QStringLiteral("Wynik"), QStringLiteral("Działanie"),
                            QStringLiteral("Połączenie"), QStringLiteral("Wersja modułu"), QStringLiteral("Użytkownik"),
                            QStringLiteral("Komputer"), QStringLiteral("Narzędzie"), QStringLiteral("Zmienione pola")});
    detail_ = new QPlainTextEdit(this);
    detail_->setObjectName(QStringLiteral("detail"));
    detail_->setReadOnly(true);
    detail_->setMinimumHeight(140);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("Zamknij"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(connection_, &QComboBox::currentIndexChanged, this, &WriteHistoryDialog::fill);
    connect(list_, &QTreeWidget::currentItemChanged, this, &WriteHistoryDialog::showDetail);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addLayout(filter);
    layout->addWidget(list_, 2);
    layout->addWidget(detail_, 1);
    layout->addWidget(buttons);
    fill();
    int width = 0;
    for (int column = 0; column < list_->columnCount(); ++column) {
        list_->resizeColumnToContents(column);
        width += list_->columnWidth(column);
    }
    list_->setMinimumWidth(std::clamp(width + 24, 720, 1200));
}

void WriteHistoryDialog::fill() {
    const bool all = connection_->currentIndex() <= 0;
    const std::string chosen = connection_->currentText().toStdString();
    list_->clear();
    shown_.clear();
    for (std::size_t i = 0; i < records_.size(); ++i) {
        const HistoryRecord& r = records_[i];
        if (!all && r.connection != chosen) continue;
        shown_.push_back(i);
        auto* row = new QTreeWidgetItem(list_);
        const QString cells[] = {utf8(r.time), utf8(r.outcome), utf8(r.action), utf8(r.connection), utf8(r.moduleVersion),
                                 utf8(r.user), utf8(r.computer), utf8(r.tool + " " + r.toolVersion), changedKeys(r)};
        for (int column = 0; column < 9; ++column) row->setText(column, cells[column]);
        if (r.outcome != "zapisany") row->setForeground(1, QBrush(QColor(kavrel::alarmTextColor())));
    }
    if (!shown_.empty()) list_->setCurrentItem(list_->topLevelItem(0));
    else detail_->clear();
}

void WriteHistoryDialog::showDetail() {
    const int row = list_->indexOfTopLevelItem(list_->currentItem());
    if (row < 0 || row >= static_cast<int>(shown_.size())) {
        detail_->clear();
        return;
    }
    detail_->setPlainText(detailText(records_[shown_[static_cast<std::size_t>(row)]]));
}

void showWriteHistory(QWidget* parent) {
    const std::string folder = backupFolder();
    if (folder.empty()) {
        QMessageBox::warning(parent, QStringLiteral("Historia zapisów"), toQString(noBackupFolderText()));
        return;
    }
    const std::string path = historyPath(folder);
    HistoryLoad load = loadHistory(path);
    if (!load.problem.empty()) {
        QMessageBox::warning(parent, QStringLiteral("Historia zapisów"), utf8(load.problem));
        return;
    }
    WriteHistoryDialog dialog(std::move(load), utf8(path), parent);
    dialog.exec();
}

} // namespace kavrel::config::ui
