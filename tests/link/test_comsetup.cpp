#include "ComSetup.h"
#include "FindControl.h"
#include "PortScan.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include "PtyPeer.h"
#endif

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

    // Enter in the port field confirms what it shows, as OK does, even when
    // the text was typed over a port picked from the list: the field's own
    // Enter handling would put the picked port back once a showing has
    // selected the whole text.
    void enterInThePortFieldKeepsTheTypedPort() {
        QAction connectAction;
        TFormCom dlg(&connectAction, nullptr, [](auto&) {
            return QStringList{"/dev/ttyS0", "/dev/ttyS1"};
        });
        auto* combo = FindControl<QComboBox>(&dlg, "ComboBox1");
        const auto setUpCom = [&] {
            dlg.RescanPorts();
            dlg.show();
            combo->setFocus(Qt::TabFocusReason);
        };
        setUpCom();
        QTest::keyClick(combo, Qt::Key_Down);
        QCOMPARE(dlg.COM, QString("/dev/ttyS0"));
        QTest::keyClick(combo, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(combo, "/tmp/ttyVD0");
        QTest::keyClick(combo, Qt::Key_Return);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.COM, QString("/tmp/ttyVD0"));

        setUpCom();
        QTest::keyClick(combo, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(combo, Qt::Key_Return);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.COM, QString("/tmp/ttyVD0"));
        setUpCom();
        QCOMPARE(combo->currentText(), QString("/tmp/ttyVD0"));
    }

#ifdef Q_OS_UNIX
    // In a container the kernel lists ports that have no device node: they
    // cannot be opened, so they are left out without a word.
    void portWithoutDeviceNodeIsLeftOutSilently() {
        QTemporaryDir root;
        QDir dir(root.path());
        for (const char* name : {"ttyUSB0", "ttyUSB1"})
            QVERIFY(dir.mkpath(QString("sys/%1/device").arg(name)));
        QVERIFY(dir.mkpath("dev") && dir.mkpath("tmp"));
        QFile node(dir.filePath("dev/ttyUSB1"));
        QVERIFY(node.open(QIODevice::WriteOnly));
        QStringList failures;
        const QStringList ports =
            ListSerialPortsIn(dir.filePath("sys"), dir.filePath("dev"), dir.filePath("tmp"),
                              [&](const QString& name) { failures << name; });
        QCOMPARE(ports, QStringList{dir.filePath("dev/ttyUSB1")});
        QVERIFY(failures.isEmpty());
    }
#endif

#ifdef Q_OS_UNIX
    // A virtual detector started after the program: its port appears on the
    // next showing, and a port that goes away leaves the list unless it is
    // the one chosen or typed. The list must never make a choice itself.
    void rescanFollowsPortsThatComeAndGo() {
        const QString base = QString("/tmp/ttyVDrescan%1-").arg(QCoreApplication::applicationPid());
        const QString first = base + "a", second = base + "b";
        QFile::remove(first);
        QFile::remove(second);
        QAction connectAction;
        connectAction.setEnabled(false);
        QStringList messages;
        TFormCom dlg(&connectAction, nullptr, nullptr,
                     [&](const QString& text) { messages << text; });
        auto* combo = FindControl<QComboBox>(&dlg, "ComboBox1");
        auto* bar = FindControl<QScrollBar>(&dlg, "ScrollBar1");
        // Only our own ports: other virtual detectors may come and go
        // meanwhile on a shared machine.
        const auto names = [combo, &base] {
            QStringList list;
            for (int i = 0; i < combo->count(); ++i) {
                if (combo->itemText(i).startsWith(base))
                    list << combo->itemText(i);
            }
            return list;
        };
        QVERIFY(names().isEmpty());

        auto peerA = std::make_unique<TestSupport::PtyPeer>();
        TestSupport::PtyPeer peerB;
        QVERIFY(QFile::link(QString::fromStdString(peerB.SlavePath()), second));
        QVERIFY(QFile::link(QString::fromStdString(peerA->SlavePath()), first));
        dlg.RescanPorts();
        QCOMPARE(names(), (QStringList{first, second}));
        QCOMPARE(combo->currentIndex(), -1);
        QCOMPARE(combo->currentText(), QString());
        QVERIFY(dlg.COM.isEmpty());
        QVERIFY(!connectAction.isEnabled());

        // Choose the second, move the time-out; then both ports go away.
        combo->setCurrentIndex(combo->findText(second));
        bar->setValue(200);
        QFile::remove(second);
        QFile::remove(first);
        peerA.reset();
        dlg.RescanPorts();
        QCOMPARE(names(), QStringList{second});
        QCOMPARE(combo->currentText(), second);
        QCOMPARE(dlg.COM, second);
        QCOMPARE(dlg.TimeOut, 90);
        QCOMPARE(bar->value(), 200);

        // A typed name stays as typed, cursor included, while the chosen
        // port that is gone now leaves the list.
        combo->setFocus();
        combo->clearEditText();
        QTest::keyClicks(combo, "/dev/ttyUSB7");
        combo->lineEdit()->setCursorPosition(5);
        QVERIFY(QFile::link(QString::fromStdString(peerB.SlavePath()), first));
        dlg.RescanPorts();
        QFile::remove(first);
        QCOMPARE(names(), QStringList{first});
        QCOMPARE(combo->currentText(), QString("/dev/ttyUSB7"));
        QCOMPARE(combo->lineEdit()->cursorPosition(), 5);
        QCOMPARE(dlg.COM, QString("/dev/ttyUSB7"));
        QVERIFY(messages.isEmpty());
    }
#endif
};

QTEST_MAIN(TestComSetup)
#include "test_comsetup.moc"
