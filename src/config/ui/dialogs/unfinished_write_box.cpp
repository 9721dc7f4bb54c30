#include "config/ui/dialogs/unfinished_write_box.h"

#include <QPushButton>

#include "common/qt/qt_text.h"

namespace kavrel::config::ui {

CniedokonczonyZapis::CniedokonczonyZapis(const UnfinishedWrite& unfinished, QWidget* parent) : QMessageBox(parent) {
    setWindowTitle(QStringLiteral("Niedokończony zapis"));
    setIcon(QMessageBox::Warning);
    setText(QString(toQString(unfinishedWriteText(unfinished))).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    const bool readable = unfinished.state == JournalLoad::Ok;
    if (readable) {
        setInformativeText(QStringLiteral("Moduł może mieć część ustawień nowych, a część dawnych."));
        resume_ = addButton(QStringLiteral("Dokończ zapis"), QMessageBox::AcceptRole);
        if (!unfinished.journal.backupPath.empty())
            restore_ = addButton(QStringLiteral("Przywróć kopię"), QMessageBox::AcceptRole);
    }
    // Wide enough for the connection and the backup's path on a line each.
    setStyleSheet(QStringLiteral("QLabel#qt_msgbox_label { min-width: 36em; }"));
    QPushButton* leave = addButton(QStringLiteral("Pozostaw"), QMessageBox::RejectRole);
    setEscapeButton(leave);
    setDefaultButton(readable ? qobject_cast<QPushButton*>(resume_) : leave);
}

UnfinishedWriteChoice CniedokonczonyZapis::choice() const {
    if (resume_ && clickedButton() == resume_) return UnfinishedWriteChoice::Resume;
    if (restore_ && clickedButton() == restore_) return UnfinishedWriteChoice::Restore;
    return UnfinishedWriteChoice::Leave;
}

} // namespace kavrel::config::ui
