// "Historia zapisów": every configuration write the tools made from this computer's backup
// folder, newest first: when, by whom, from which tool, to which connection, with which
// outcome; the chosen record's changed fields (before and after) and hashes below.
#pragma once

#include <QDialog>
#include <vector>

#include "config/model/write_history.h"

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QTreeWidget;

namespace kavrel::config::ui {

class WriteHistoryDialog : public QDialog {
    Q_OBJECT
public:
    // `load` as loadHistory read it; `path` names the file in the heading.
    WriteHistoryDialog(HistoryLoad load, const QString& path, QWidget* parent = nullptr);

private:
    void fill();
    void showDetail();

    std::vector<HistoryRecord> records_;   // newest first
    std::vector<std::size_t> shown_;       // indexes of the rows in view
    QComboBox* connection_;
    QTreeWidget* list_;
    QPlainTextEdit* detail_;
};

// Opens the dialog on the history of the user's backup folder.
void showWriteHistory(QWidget* parent);

} // namespace kavrel::config::ui
