#include "ComSetup.h"
#include "FindControl.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

class TestComSetup : public QObject {
    Q_OBJECT
private slots:
    void listsFoundPortsInOrderWithNothingChosen() {
        QAction connectAction;
        connectAction.setEnabled(false);
        QStringList messages;
        TFormCom dlg(
            &connectAction, nullptr,
            [](const std::function<void(const QString&)>& probeError) {
                probeError("COM4");
                return QStringList{"COM1", "COM7"};
            },
            [&](const QString& text) { messages << text; });
        auto* combo = FindControl<QComboBox>(&dlg, "ComboBox1");
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->itemText(0), QString("COM1"));
        QCOMPARE(combo->itemText(1), QString("COM7"));
        QCOMPARE(combo->currentText(), QString());
        QVERIFY(dlg.COM.isEmpty());
        QVERIFY(!connectAction.isEnabled());
        QCOMPARE(messages, QStringList{"Unable to open port COM4"});
        QCOMPARE(FindControl<QLabel>(&dlg, "Label1")->text(), QString("90 mS"));
        QCOMPARE(dlg.windowTitle(), QString("Com Setup"));
        QVERIFY(dlg.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!dlg.isModal());
    }

    void choosingAPortEnablesConnectAndTakesTheTimeOut() {
        QAction connectAction;
        connectAction.setEnabled(false);
        TFormCom dlg(&connectAction, nullptr, [](auto&) { return QStringList{"COM1", "COM7"}; });
        auto* combo = FindControl<QComboBox>(&dlg, "ComboBox1");
        auto* bar = FindControl<QScrollBar>(&dlg, "ScrollBar1");
        combo->setCurrentIndex(1);
        QCOMPARE(dlg.COM, QString("COM7"));
        QCOMPARE(dlg.TimeOut, 90);
        QVERIFY(connectAction.isEnabled());
        // Moving the bar afterwards changes the live receive time-out only.
        bar->setValue(200);
        QCOMPARE(dlg.TimeOut, 90);
        QCOMPARE(dlg.ReceiveTimeout(), 200);
        QCOMPARE(FindControl<QLabel>(&dlg, "Label1")->text(), QString("200 mS"));
    }

    void typedNamesUpdateTheChoiceAndEmptyKeepsConnect() {
        QAction connectAction;
        connectAction.setEnabled(false);
        TFormCom dlg(&connectAction, nullptr, [](auto&) { return QStringList{}; });
        auto* combo = FindControl<QComboBox>(&dlg, "ComboBox1");
        combo->setFocus();
        QTest::keyClicks(combo, "/dev/ttyUSB0");
        QCOMPARE(dlg.COM, QString("/dev/ttyUSB0"));
        QVERIFY(connectAction.isEnabled());
        combo->clearEditText();
        QCOMPARE(dlg.COM, QString());
        QVERIFY(connectAction.isEnabled()); // an empty text leaves Connect as it was
    }

    void scrollBarEndsAndLabel() {
        TFormCom dlg(nullptr, nullptr, [](auto&) { return QStringList{}; });
        auto* bar = FindControl<QScrollBar>(&dlg, "ScrollBar1");
        QCOMPARE(bar->minimum(), 50);
        QCOMPARE(bar->maximum(), 500);
        bar->setValue(500);
        QCOMPARE(FindControl<QLabel>(&dlg, "Label1")->text(), QString("500 mS"));
        bar->setValue(50);
        QCOMPARE(FindControl<QLabel>(&dlg, "Label1")->text(), QString("50 mS"));
    }

    void okOnlyHides() {
        QAction connectAction;
        TFormCom dlg(&connectAction, nullptr, [](auto&) { return QStringList{"COM2"}; });
        dlg.show();
        FindControl<QComboBox>(&dlg, "ComboBox1")->setCurrentIndex(0);
        QTest::mouseClick(FindControl<QPushButton>(&dlg, "Button_OK"), Qt::LeftButton);
        QVERIFY(!dlg.isVisible());
        dlg.show(); // state kept between showings
        QCOMPARE(FindControl<QComboBox>(&dlg, "ComboBox1")->currentText(), QString("COM2"));
        QCOMPARE(dlg.COM, QString("COM2"));
    }
};

QTEST_MAIN(TestComSetup)
#include "test_comsetup.moc"
