#include "common/qt/operation_runner.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QWidget>
#include <chrono>
#include <filesystem>
#include <future>
#include <optional>

#include "common/file_names.h"
#include "common/qt/qt_text.h"
#include "common/win1250.h"

namespace kavrel {

// The observer the operation sees, living on the worker thread: every call is carried over
// to the window's thread. Calls that need an answer block until the window has it.
class OperationRunner::Bridge final : public OperationObserver {
public:
    Bridge(OperationRunner* runner, std::shared_ptr<std::atomic<bool>> abandoned)
        : runner_(runner), abandoned_(std::move(abandoned)) {}

    void status(const std::string& text) override { post(&OperationRunner::statusChanged, text); }
    void appendStatus(const std::string& text) override { post(&OperationRunner::statusAppended, text); }
    void version(const std::string& text) override { post(&OperationRunner::versionChanged, text); }
    void progress(int position) override {
        QMetaObject::invokeMethod(runner_, [r = runner_, position] { emit r->progressChanged(position); },
                                  Qt::QueuedConnection);
    }
    void message(const std::string& text, MessageIcon icon) override {
        const QString shown = toQString(text);
        ask<bool>([shown, icon](OperationRunner* r) {
            r->showMessage_(shown, icon);
            return true;
        });
    }
    bool askYesNo(const std::string& text) override {
        const QString shown = toQString(text);
        return ask<bool>([shown](OperationRunner* r) { return r->askQuestion_(shown); }).value_or(false);
    }

    bool askOnWindow(std::function<bool()> call) {
        return ask<bool>([call = std::move(call)](OperationRunner*) { return call(); }).value_or(false);
    }

private:
    void post(void (OperationRunner::*signal)(const QString&), const std::string& text) {
        const QString shown = toQString(text);
        QMetaObject::invokeMethod(runner_, [r = runner_, signal, shown] { emit(r->*signal)(shown); },
                                  Qt::QueuedConnection);
    }

    // Runs a call on the window's thread and waits for its result. The wait gives up when
    // the window goes away, so that a closing window never waits for its own operation.
    // A call already queued when the window went away is dropped where it would run: a box
    // of an operation cut by the close box would otherwise come up after the window has
    // gone, and hold the program open behind it.
    template <typename Result, typename Call>
    std::optional<Result> ask(Call call) {
        if (*abandoned_) return std::nullopt;
        auto promise = std::make_shared<std::promise<Result>>();
        auto future = promise->get_future();
        QMetaObject::invokeMethod(
            runner_,
            [r = runner_, call, promise, abandoned = abandoned_] {
                if (*abandoned) promise->set_value(Result{});
                else promise->set_value(call(r));
            },
            Qt::QueuedConnection);
        while (future.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
            if (*abandoned_) return std::nullopt;
        return future.get();
    }

    OperationRunner* runner_;
    std::shared_ptr<std::atomic<bool>> abandoned_;
};

QMessageBox::Icon messageBoxIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Error: return QMessageBox::Critical;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

OperationRunner::OperationRunner(QWidget* window) : QObject(window), window_(window) {
    showMessage_ = [this](const QString& text, MessageIcon icon) {
        QMessageBox box(messageBoxIcon(icon), window_ ? window_->windowTitle() : QString(), text, QMessageBox::Ok, window_);
        box.exec();
    };
    askQuestion_ = [this](const QString& text) {
        return QMessageBox::question(window_, window_ ? window_->windowTitle() : QString(), text,
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
}

OperationRunner::~OperationRunner() { abandon(); }

void OperationRunner::abandon() {
    // The operation is let run to its end (it closes its link itself); what it would still
    // show or hand back is dropped with this object's pending calls.
    *abandoned_ = true;
    if (worker_.joinable()) worker_.join();
    running_ = false;   // the thread has ended; its queued end finds nothing more to do
}

bool OperationRunner::start(Operation operation) {
    return startWithResult(OwningOperation([operation = std::move(operation)](OperationObserver& observer) {
        operation(observer);
        return Handback();
    }));
}

bool OperationRunner::startWithResult(OwningOperation operation) {
    if (*abandoned_ || running_.exchange(true)) return false;
    if (worker_.joinable()) worker_.join();
    emit started();
    worker_ = std::thread([this, operation = std::move(operation), abandoned = abandoned_] {
        Bridge bridge(this, abandoned);
        Handback handback;
        // A file or folder the system refuses ends the operation with a message, not the program.
        try {
            handback = operation(bridge);
        } catch (const std::filesystem::filesystem_error& failure) {
            bridge.message(W(fileFailureText(failure)), MessageIcon::Error);
        }
        QMetaObject::invokeMethod(this, [this, handback = std::move(handback)] { finish(handback); },
                                  Qt::QueuedConnection);
    });
    return true;
}

void OperationRunner::finish(const Handback& handback) {
    if (worker_.joinable()) worker_.join();
    running_ = false;
    if (handback && !*abandoned_) handback();
    emit finished();
}

bool OperationRunner::askOnWindow(std::function<bool()> ask) {
    Bridge bridge(this, abandoned_);
    return bridge.askOnWindow(std::move(ask));
}

void OperationRunner::waitForFinished() {
    while (running_) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

} // namespace kavrel
