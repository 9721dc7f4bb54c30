// What one start of a program saves, the next start reads: the settings file gives every
// value back as text, so a number saved by the last run comes back as digits.
#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "common/qt/qsettings_store.h"
#include "common/registry_key.h"
#include "link/trace/trace_choice.h"

using namespace kavrel;

namespace {

// Set in the child: the run before the restart, which saves and ends.
constexpr const char* kSavingRun = "KAVREL_TEST_SAVING_RUN";
const std::string kTraceFile = "/tmp/przebieg-\xB9\xE6.txt";   // "ąć" in Windows-1250

int saveAndEnd() {
    QSettingsStore store;
    RegistryKey key(store);
    const bool saved = link::saveTraceChoice(store, {true, kTraceFile}) &&
                       key.create("Software\\Ostrevan\\Kavrel") == RegistryResult::Ok &&
                       key.open("Software\\Ostrevan\\Kavrel") == RegistryResult::Ok &&
                       key.writeNumber("Port_COM", 7) == RegistryResult::Ok;
    return saved ? 0 : 1;
}

} // namespace

class SettingsRestartTest : public QObject {
    Q_OBJECT
private slots:
    void aChoiceSavedByOneRunIsReadByTheNext() {
        QTemporaryDir config;
        QVERIFY(config.isValid());
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        QProcess before;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(kSavingRun), QStringLiteral("1"));
        before.setProcessEnvironment(environment);
        before.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(before.waitForFinished(20000));
        QCOMPARE(before.exitCode(), 0);

        QSettingsStore store;
        const link::TraceChoice choice = link::loadTraceChoice(store);
        QVERIFY(choice.enabled);
        QCOMPARE(choice.file, kTraceFile);
        RegistryKey key(store);
        QCOMPARE(key.open("Software\\Ostrevan\\Kavrel"), RegistryResult::Ok);
        std::uint32_t port = 0;
        QCOMPARE(key.readNumber("Port_COM", port), RegistryResult::Ok);
        QCOMPARE(port, 7u);
    }
};

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (qEnvironmentVariableIsSet(kSavingRun)) return saveAndEnd();
    SettingsRestartTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "settings_restart_test.moc"
