// "Zmiany w ustawieniach modułu": the fields in which two settings records differ, one
// row each with the caption of the settings window, the protocol KEY and both values.
// Before a write it asks "Wyślij" or "Anuluj"; comparing the window with a file it only
// shows the list.
#pragma once

#include <QDialog>
#include <vector>

#include "config/model/settings_compare.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace kavrel::config::ui {

class Czmiany : public QDialog {
    Q_OBJECT
public:
    enum class Purpose {
        BeforeWrite,   // columns "W module" and "Nowa wartość"; "Wyślij" and "Anuluj"
        CompareFile,   // columns "W oknie" and "W pliku"; "Zamknij"
    };

    Czmiany(const std::vector<FieldChange>& changes, Purpose purpose, QWidget* parent = nullptr,
            const QString& fileName = {});

    static QString title();

private:
    QTreeWidget* list_;
    QLabel* summary_;
    QPushButton* send_ = nullptr;
};

} // namespace kavrel::config::ui
