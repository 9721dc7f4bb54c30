// The check behind the scaling test: a text wider than its widget is named, one that fits is not.
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QHeaderView>
#include <QTest>

#include "common/qt/clipped_text.h"

class ClippedTextTest : public QObject {
    Q_OBJECT

private slots:
    void namesOnlyTheTextsTheirWidgetsCutOff() {
        QWidget window;
        auto* layout = new QHBoxLayout(&window);
        auto* fits = new QPushButton(QStringLiteral("Wyślij"), &window);
        auto* narrow = new QPushButton(QStringLiteral("Porównaj z plikiem..."), &window);
        narrow->setFixedWidth(40);
        auto* label = new QLabel(QStringLiteral("Numer telefonu centrum SMS"), &window);
        label->setObjectName(QStringLiteral("centrum"));
        label->setFixedWidth(30);
        auto* table = new QTableView(&window);
        QStandardItemModel model(1, 2);
        model.setHorizontalHeaderLabels({QStringLiteral("Urządzenie"), QStringLiteral("Opis")});
        table->setModel(&model);
        table->horizontalHeader()->resizeSection(0, 12);
        for (QWidget* widget : {static_cast<QWidget*>(fits), static_cast<QWidget*>(narrow), static_cast<QWidget*>(label),
                                static_cast<QWidget*>(table)})
            layout->addWidget(widget);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        const QStringList clipped = kavrel::clippedTexts(window);
        const QString all = clipped.join(QLatin1Char('\n'));
        QCOMPARE(clipped.size(), 3);
        QVERIFY2(all.contains(QStringLiteral("\"Porównaj z plikiem...\": 40 px")), qPrintable(all));
        QVERIFY2(all.contains(QStringLiteral("QLabel centrum")), qPrintable(all));
        QVERIFY2(all.contains(QStringLiteral("QHeaderView  \"Urządzenie\"")), qPrintable(all));
        QVERIFY2(!all.contains(QStringLiteral("Wyślij")), qPrintable(all));
    }
};

QTEST_MAIN(ClippedTextTest)
#include "clipped_text_test.moc"
