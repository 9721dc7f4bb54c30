// The start-up every program shares: Qt's own dialogs in Polish and an icon per program.
#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>
#include <QTest>

#include "common/qt/application_setup.h"

using namespace kavrel;

class ApplicationSetupTest : public QObject {
    Q_OBJECT
private slots:
    void standardDialogsSpeakPolishAndEveryProgramHasItsIcon() {
        QVERIFY(loadQtTranslations(*QCoreApplication::instance()));
        QMessageBox box(QMessageBox::Question, QStringLiteral("Pytanie"), QStringLiteral("Skasować?"),
                        QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box.button(QMessageBox::Yes)->text().remove(QLatin1Char('&')), QStringLiteral("Tak"));
        QCOMPARE(box.button(QMessageBox::No)->text().remove(QLatin1Char('&')), QStringLiteral("Nie"));

        QSet<QRgb> colours;  // each program has its own colour
        for (Program program : {Program::Config, Program::Monitor, Program::Logger}) {
            const QIcon icon = programIcon(program);
            QVERIFY(!icon.isNull());
            QCOMPARE(icon.availableSizes().size(), 7);
            colours.insert(icon.pixmap(16, 16).toImage().pixel(2, 2));
        }
        QCOMPARE(colours.size(), 3);
    }
};

QTEST_MAIN(ApplicationSetupTest)
#include "application_setup_test.moc"
