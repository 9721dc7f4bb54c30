// The programs' application: a filesystem error thrown in an event handler or while the
// window is built shows a message box naming the path, and the program goes on (or, for the
// window, ends with exit code 1) instead of ending in std::terminate.
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <system_error>

#include "common/file_names.h"
#include "common/qt/guarded_application.h"

using namespace kavrel;

namespace {

std::filesystem::filesystem_error refusedFolder() {
    return std::filesystem::filesystem_error("create_directories", pathFromUtf8("C:\\Użytkownicy\\Michał\\kopie"),
                                             std::make_error_code(std::errc::permission_denied));
}

// Closes the next message box and keeps its text.
void closeNextBox(QString& text) {
    QTimer::singleShot(0, [&text] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            text = box->text();
            box->accept();
        }
    });
}

} // namespace

class GuardedApplicationTest : public QObject {
    Q_OBJECT

private slots:
    void anEventHandlersFileSystemErrorIsShownAndTheProgramGoesOn() {
        QString shown;
        bool after = false;
        QTimer::singleShot(0, [] { throw refusedFolder(); });
        QTimer::singleShot(0, [&] { closeNextBox(shown); });
        QTimer::singleShot(50, [&] { after = true; });
        QTRY_VERIFY(after);
        QVERIFY2(shown.startsWith(QString("Błąd dostępu do pliku „C:\\Użytkownicy\\Michał\\kopie”")), qPrintable(shown));
    }

    void aWindowThatCannotBeBuiltEndsWithExitCodeOne() {
        auto* app = static_cast<GuardedApplication*>(QCoreApplication::instance());
        QString shown;
        closeNextBox(shown);
        QCOMPARE(app->runGuarded([]() -> int { throw refusedFolder(); }), 1);
        QVERIFY(shown.contains(QString("Michał")));
        QCOMPARE(app->runGuarded([] { return 7; }), 7);
    }
};

int main(int argc, char** argv) {
    GuardedApplication app(argc, argv);
    GuardedApplicationTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "guarded_application_test.moc"
