// Module operations on a worker thread: the window sees every step in order, answers
// questions, stays responsive, and never runs two operations at once.
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

#include "common/file_names.h"
#include "common/qt/operation_runner.h"
#include "common/win1250.h"

using namespace kavrel;

class OperationRunnerTest : public QObject {
    Q_OBJECT

private slots:
    void stepsArriveInOrderAndQuestionsAreAnswered() {
        QWidget window;
        OperationRunner runner(&window);
        QStringList seen;
        connect(&runner, &OperationRunner::statusChanged, [&](const QString& t) { seen << "status " + t; });
        connect(&runner, &OperationRunner::statusAppended, [&](const QString& t) { seen << "append " + t; });
        connect(&runner, &OperationRunner::progressChanged, [&](int p) { seen << "progress " + QString::number(p); });
        connect(&runner, &OperationRunner::versionChanged, [&](const QString& t) { seen << "version " + t; });
        runner.setMessageHandler([&](const QString& t, MessageIcon) { seen << "message " + t; });
        runner.setQuestionHandler([&](const QString& t) {
            seen << "ask " + t;
            return true;
        });
        bool answer = false;
        QVERIFY(runner.start([&](OperationObserver& o) {
            o.status(W("Błąd"));
            o.progress(10);
            o.message(W("Brak odpowiedzi"), MessageIcon::Warning);
            answer = o.askYesNo(W("Skasować?"));
            o.version("V3.6EL");
            o.appendStatus(",\r\nweryfikacja OK");
        }));
        QVERIFY(runner.isRunning());
        runner.waitForFinished();
        QVERIFY(answer);
        QCOMPARE(seen, (QStringList{"status Błąd", "progress 10", "message Brak odpowiedzi", "ask Skasować?",
                                    "version V3.6EL", "append ,\r\nweryfikacja OK"}));
    }

    void windowStaysResponsiveAndASecondStartIsRefused() {
        QWidget window;
        OperationRunner runner(&window);
        QSignalSpy finished(&runner, &OperationRunner::finished);
        std::atomic<bool> release{false};
        QVERIFY(runner.start([&](OperationObserver&) {
            while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }));
        QVERIFY(!runner.start([](OperationObserver&) {}));
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] {
            if (++ticks == 3) release = true;
        });
        timer.start(10);
        runner.waitForFinished();
        QCOMPARE(finished.count(), 1);
        QVERIFY(ticks >= 3);  // the window's timer kept running during the operation
        QVERIFY(runner.start([](OperationObserver&) {}));
        runner.waitForFinished();
    }

    // A folder the system refuses ends the operation with a message naming it, never the
    // program; its handback does not run and the next operation starts.
    void aFileSystemErrorEndsTheOperationWithAMessage() {
        QWidget window;
        OperationRunner runner(&window);
        QStringList seen;
        runner.setMessageHandler([&](const QString& t, MessageIcon icon) {
            seen << QString::number(static_cast<int>(icon)) + " " + t;
        });
        bool handedBack = false;
        QVERIFY(runner.startWithResult([&](OperationObserver&) -> OperationRunner::Handback {
            throw std::filesystem::filesystem_error("create_directories", pathFromUtf8("C:\\Użytkownicy\\Michał"),
                                                    std::make_error_code(std::errc::permission_denied));
            return [&] { handedBack = true; };
        }));
        runner.waitForFinished();
        QVERIFY(!handedBack);
        QCOMPARE(seen, (QStringList{QString::number(static_cast<int>(MessageIcon::Error)) +
                                    QString(" Błąd dostępu do pliku „C:\\Użytkownicy\\Michał” (kod %1).")
                                        .arg(static_cast<int>(std::errc::permission_denied))}));
        QVERIFY(runner.start([](OperationObserver&) {}));
        runner.waitForFinished();
    }

    void closingTheWindowDuringAnOperationAnswersNo() {
        bool answer = true;
        {
            auto* window = new QWidget;
            auto* runner = new OperationRunner(window);
            runner->setQuestionHandler([](const QString&) { return true; });
            std::atomic<bool> go{false};
            runner->start([&](OperationObserver& o) {
                while (!go) std::this_thread::sleep_for(std::chrono::milliseconds(2));
                answer = o.askYesNo("?");
            });
            go = true;
            delete window;  // deletes the runner, which waits for the operation
        }
        QVERIFY(!answer);
    }
};

QTEST_MAIN(OperationRunnerTest)
#include "operation_runner_test.moc"
