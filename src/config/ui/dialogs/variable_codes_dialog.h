// "Kody zmiennych w tekstach powiadomień SMS / e-mail": the read-only help that lists the
// "@" codes the module replaces by current values when it sends a notification text.
// Opened by "Kody..." in the notification texts dialog and in the extended lines dialog.
#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace kavrel::config::ui {

// The help text: its 88 lines, each followed by CR LF.
QString variableCodesText();

class Ckody : public QDialog {
    Q_OBJECT
public:
    explicit Ckody(QWidget* parent = nullptr);

    // The text as the dialog holds it, with its CR LF line ends.
    QString text() const { return text_; }

private:
    QString text_;
    QPlainTextEdit* view_;
};

} // namespace kavrel::config::ui
