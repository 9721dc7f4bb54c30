// "Niedokończony zapis": what the configurator asks at start when a write to its
// connection did not finish: "Dokończ zapis" (send the rest and verify), "Przywróć kopię"
// (write the backup and verify; only when the write made one) or "Pozostaw".
#pragma once

#include <QMessageBox>

#include "config/protocol/journaled_write.h"

namespace kavrel::config::ui {

enum class UnfinishedWriteChoice { Resume, Restore, Leave };

class CniedokonczonyZapis : public QMessageBox {
    Q_OBJECT
public:
    explicit CniedokonczonyZapis(const UnfinishedWrite& unfinished, QWidget* parent = nullptr);

    // After exec(): the button pressed (Leave for the close box).
    UnfinishedWriteChoice choice() const;

private:
    QAbstractButton* resume_ = nullptr;
    QAbstractButton* restore_ = nullptr;
};

} // namespace kavrel::config::ui
