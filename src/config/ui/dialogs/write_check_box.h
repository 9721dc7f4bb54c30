// "Sprawdzenie pliku": asked before a write of a file saved from a module with another
// firmware (the fields this module's version sends differently) or holding values the
// settings dialogs would refuse. "Wyślij" sends, "Anuluj" (the default) does not.
#pragma once

#include <QMessageBox>

#include "config/protocol/write_check.h"

namespace kavrel::config::ui {

class CsprawdzeniePliku : public QMessageBox {
    Q_OBJECT
public:
    explicit CsprawdzeniePliku(const WriteCheck& check, QWidget* parent = nullptr);

    // After exec(): "Wyślij" was pressed.
    bool sendChosen() const { return clickedButton() == send_; }

private:
    QAbstractButton* send_;
};

} // namespace kavrel::config::ui
