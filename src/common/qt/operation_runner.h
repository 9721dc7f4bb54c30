// Runs a module operation on a worker thread with the same visible steps as if it ran on
// the window's thread: status and progress arrive as queued updates in order, a message
// box or question is shown by the window while the operation waits for its answer, and
// a second operation cannot start while one runs. An operation owns what it works on: it
// takes copies when it starts and hands its results back in the call that ends it.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "common/observer.h"

class QWidget;

namespace kavrel {

// The message box icon that shows an operation's message icon.
QMessageBox::Icon messageBoxIcon(MessageIcon icon);

class OperationRunner : public QObject {
    Q_OBJECT
public:
    using Operation = std::function<void(OperationObserver&)>;
    // Runs on the window's thread, in the one queued call that ends the operation.
    using Handback = std::function<void()>;
    // Works on the worker thread with what it owns and returns how its results reach the
    // window (an empty Handback when there are none).
    using OwningOperation = std::function<Handback(OperationObserver&)>;
    using MessageHandler = std::function<void(const QString& text, MessageIcon icon)>;
    using QuestionHandler = std::function<bool(const QString& text)>;

    // Message boxes get the window as their parent.
    explicit OperationRunner(QWidget* window);
    ~OperationRunner() override;

    bool isRunning() const { return running_; }
    // Starts the operation; false (and nothing happens) when one is still running.
    bool start(Operation operation);
    bool startWithResult(OwningOperation operation);
    // Serves the window's events until the running operation has ended (tests, closing).
    void waitForFinished();
    // For a window that goes away: the running operation's questions are answered "no", its
    // messages and its handback are dropped, and this returns once its thread has ended.
    // Serves no events, so it is safe in a destructor.
    void abandon();
    // From the operation's thread: runs `ask` on the window's thread (a dialog of the
    // window) and waits for its answer, as questions are; false when the window goes away.
    bool askOnWindow(std::function<bool()> ask);

    // Replace how messages and questions are shown (tests record them instead).
    void setMessageHandler(MessageHandler handler) { showMessage_ = std::move(handler); }
    void setQuestionHandler(QuestionHandler handler) { askQuestion_ = std::move(handler); }

signals:
    void started();
    void statusChanged(const QString& text);
    void statusAppended(const QString& text);
    void progressChanged(int position);
    void versionChanged(const QString& text);
    void finished();

private:
    class Bridge;

    void finish(const Handback& handback);

    QWidget* window_;
    MessageHandler showMessage_;
    QuestionHandler askQuestion_;
    std::thread worker_;
    std::atomic<bool> running_{false};
    std::shared_ptr<std::atomic<bool>> abandoned_ = std::make_shared<std::atomic<bool>>(false);
};

} // namespace kavrel
