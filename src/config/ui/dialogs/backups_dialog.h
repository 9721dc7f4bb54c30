// "Kopie zapasowe": the settings that writes replaced in modules, newest first with the
// module's version, the connection and the time; "Otwórz" loads the chosen one into the
// window as "Odczytaj z dysku" would.
#pragma once

#include <QDialog>
#include <vector>

#include "config/model/backup_store.h"

class QPushButton;
class QTreeWidget;

namespace kavrel::config::ui {

class Ckopie : public QDialog {
    Q_OBJECT
public:
    Ckopie(std::vector<BackupEntry> entries, const QString& folder, QWidget* parent = nullptr);

    // The file of the chosen backup after exec() returned Accepted (UTF-8 path).
    QString chosenPath() const;

private:
    std::vector<BackupEntry> entries_;
    QTreeWidget* list_;
    QPushButton* open_;
};

} // namespace kavrel::config::ui
