#include "config/ui/dialogs/write_check_box.h"

#include <QPushButton>

#include "common/qt/qt_text.h"

namespace kavrel::config::ui {

CsprawdzeniePliku::CsprawdzeniePliku(const WriteCheck& check, QWidget* parent) : QMessageBox(parent) {
    setWindowTitle(QStringLiteral("Sprawdzenie pliku"));
    setIcon(QMessageBox::Warning);
    setText(QString(toQString(writeCheckText(check))).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).trimmed());
    // Wide enough for a row of keys as the list is broken.
    setStyleSheet(QStringLiteral("QLabel#qt_msgbox_label { min-width: 40em; }"));
    setInformativeText(QStringLiteral("Wysłać ustawienia mimo to?"));
    send_ = addButton(QStringLiteral("Wyślij"), QMessageBox::AcceptRole);
    QPushButton* cancel = addButton(QStringLiteral("Anuluj"), QMessageBox::RejectRole);
    setDefaultButton(cancel);
    setEscapeButton(cancel);
}

} // namespace kavrel::config::ui
