#include "common/qt/button_map.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QSaveFile>
#include <QTimer>
#include <QWidget>

namespace kavrel {
namespace {

class ButtonMapWriter : public QObject {
public:
    ButtonMapWriter(QString path, QObject* parent) : QObject(parent), path_(std::move(path)) {
        timer_.setSingleShot(true);
        timer_.setInterval(50);   // a burst of layout events makes one write
        connect(&timer_, &QTimer::timeout, this, &ButtonMapWriter::write);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::EnabledChange:
        case QEvent::WindowTitleChange:
            if (watched->isWidgetType()) timer_.start();
            break;
        default: break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void write() {
        QString text;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (!window->isVisible()) continue;
            QString title = window->windowTitle();
            title.replace(QLatin1Char('\t'), QLatin1Char(' '));
            for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
                if (!button->isVisible() || button->window() != window) continue;
                QString caption = button->text();
                caption.remove(QLatin1Char('&'));
                caption.replace(QLatin1Char('\t'), QLatin1Char(' '));
                caption.replace(QLatin1Char('\n'), QLatin1Char(' '));
                const QPoint centre = button->mapToGlobal(button->rect().center());
                text += QStringLiteral("%1\t%2\t%3\t%4\t%5\n")
                            .arg(title, caption)
                            .arg(centre.x())
                            .arg(centre.y())
                            .arg(button->isEnabled() ? 1 : 0);
            }
        }
        QSaveFile file(path_);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(text.toUtf8());
            file.commit();   // a script that cannot have its map finds out by waiting on it
        }
    }

    QString path_;
    QTimer timer_;
};

} // namespace

void watchButtonsForScripts(QApplication& application) {
    const QString path = qEnvironmentVariable(kButtonMapVariable);
    if (path.isEmpty()) return;
    application.installEventFilter(new ButtonMapWriter(path, &application));
}

} // namespace kavrel
