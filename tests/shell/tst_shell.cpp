// The configuration file, the settings dialog, the main window's commands and start-up guard.
#include "AppFonts.h"
#include "ConfigFile.h"
#include "FCOMCHK.h"
#include "Main.h"
#include "ReaderSim.h"
#include "Screenshots.h"
#include "ScriptedPrompts.h"
#include "ShellTests.h"
#include "SingleInstance.h"
#include "TestGroups.h"
#include "configf.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QShortcut>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {
QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
// Times the main thread gave up the processor or was made to (it woke up once for each).
long contextSwitches() {
    QFile status(QStringLiteral("/proc/self/task/%1/status").arg(gettid()));
    long total = 0;
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.contains("ctxt_switches:")) total += line.split(':').last().trimmed().toLong();
    return total;
}
} // namespace

class ShellTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString cfg;

private slots:
    void init() {
        QVERIFY(dir.isValid());
        QDir::setCurrent(dir.path());
        cfg = dir.filePath("QRX.CFG");
        QFile::remove(cfg);
    }

    void decodesTheSixBytes_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("device");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("databits");
        QTest::addColumn<int>("stopbits");
        QTest::addColumn<int>("readers");
        QTest::addColumn<QString>("indicator");
        QTest::addColumn<bool>("damaged");
        QTest::newRow("COM2 9600 4 readers")
            << QByteArray::fromHex("010300010004") << "COM2" << int(br9600) << int(paNone) << int(da8)
            << int(sb10) << 4 << "COM2 9600Bps" << false;
        QTest::newRow("COM3 19200 odd 7 2 stop")
            << QByteArray::fromHex("02040200010C") << "COM3" << int(br19200) << int(paOdd) << int(da7)
            << int(sb20) << 12 << "COM3 19200Bps" << false;
        QTest::newRow("even parity is 1")
            << QByteArray::fromHex("000001010001") << "COM1" << int(br1200) << int(paEven) << int(da8)
            << int(sb10) << 1 << "COM1 1200Bps" << false;
        QTest::newRow("out of range falls back")
            << QByteArray::fromHex("070907070701") << "COM1" << int(br9600) << int(paNone) << int(da8)
            << int(sb10) << 1 << "COM1 9600Bps" << false;
        QTest::newRow("no readers") << QByteArray::fromHex("010300010000") << "COM2" << int(br9600)
                                    << int(paNone) << int(da8) << int(sb10) << 1 << "COM2 9600Bps" << true;
        QTest::newRow("13 readers") << QByteArray::fromHex("01030001000D") << "COM2" << int(br9600)
                                    << int(paNone) << int(da8) << int(sb10) << 1 << "COM2 9600Bps" << true;
        QTest::newRow("short file") << QByteArray::fromHex("0103") << "COM2" << int(br9600) << int(paNone)
                                    << int(da8) << int(sb10) << 1 << "COM2 9600Bps" << true;
    }
    void decodesTheSixBytes() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, device);
        QFETCH(int, rate);
        QFETCH(int, parity);
        QFETCH(int, databits);
        QFETCH(int, stopbits);
        QFETCH(int, readers);
        QFETCH(QString, indicator);
        QFETCH(bool, damaged);
        const LineSettings s = decodeConfig(bytes);
        QCOMPARE(QString::fromStdString(s.deviceName), device);
        QCOMPARE(int(s.baudRate), rate);
        QCOMPARE(int(s.parity), parity);
        QCOMPARE(int(s.databits), databits);
        QCOMPARE(int(s.stopbits), stopbits);
        QCOMPARE(s.readerCount, readers);
        QCOMPARE(s.indicator, indicator);
        QCOMPARE(s.damaged, damaged);
    }

    void okWritesTheChosenSettings() {
        TComm comm;
        int readers = 4;
        QLabel indicator;
        auto* form = new TForm_Config(comm, readers, &indicator, cfg);
        form->port_seting->button(2)->click();
        form->baudrate_seting->button(4)->click();
        form->parity_seting->button(2)->click();
        form->databit_seting->button(0)->click();
        form->Stopbit_Seting->button(1)->click();
        form->UpDown1Up->click();
        QCOMPARE(form->Edit1->text(), QStringLiteral("05"));
        saveScreenshot(form, "TForm_Config");
        form->BitBtn1->click();
        QCOMPARE(readAll(cfg).toHex(), QByteArray("020402000105"));
        QCOMPARE(comm.DeviceName(), std::string("COM3"));
        QCOMPARE(comm.BaudRate(), br19200);
        QCOMPARE(comm.Parity(), paOdd);
        QCOMPARE(comm.Databits(), da7);
        QCOMPARE(comm.Stopbits(), sb20);
        QCOMPARE(readers, 5);
        QCOMPARE(indicator.text(), QStringLiteral("COM3 19200Bps"));
    }

    void cancelChangesNothing() {
        writeAll(cfg, QByteArray::fromHex("010300010004"));
        TComm comm;
        comm.setDeviceName("COM2");
        int readers = 4;
        QLabel indicator("COM2 9600Bps");
        auto* form = new TForm_Config(comm, readers, &indicator, cfg);
        form->port_seting->button(3)->click();
        form->baudrate_seting->button(0)->click();
        form->parity_seting->button(1)->click();
        form->databit_seting->button(0)->click();
        form->Stopbit_Seting->button(1)->click();
        form->UpDown1Down->click();
        form->BitBtn2->click();
        QCOMPARE(readAll(cfg).toHex(), QByteArray("010300010004"));
        QCOMPARE(comm.DeviceName(), std::string("COM2"));
        QCOMPARE(comm.BaudRate(), br9600);
        QCOMPARE(readers, 4);
        QCOMPARE(indicator.text(), QStringLiteral("COM2 9600Bps"));
    }

    void dialogShowsWhatThePortHolds() {
        TComm comm;
        comm.setDeviceName("Com4");
        comm.setBaudRate(br38400);
        comm.setParity(paEven);
        int readers = 12;
        TForm_Config form(comm, readers, nullptr, cfg);
        QCOMPARE(form.port_seting->checkedId(), 3);
        QCOMPARE(form.baudrate_seting->checkedId(), 3);
        QCOMPARE(form.parity_seting->checkedId(), 1);
        QCOMPARE(form.databit_seting->checkedId(), 1);
        QCOMPARE(form.Stopbit_Seting->checkedId(), 0);
        QCOMPARE(form.Edit1->text(), QStringLiteral("12"));
        form.UpDown1Up->click();
        QCOMPARE(form.Edit1->text(), QStringLiteral("12"));
        for (int i = 0; i < 20; ++i) form.UpDown1Down->click();
        QCOMPARE(form.Edit1->text(), QStringLiteral("01"));
        QCOMPARE(form.working()[5], quint8(1));
    }

    void pictureIsCentred() {
        QCOMPARE(MdiClient::pictureOrigin(QSize(601, 400), QSize(100, 50)), QPoint(250, 175));
        QCOMPARE(MdiClient::pictureOrigin(QSize(100, 100), QSize(301, 150)), QPoint(-100, -25));
    }

    void mainWindowCarriesItsCommands() {
        TMainForm form(0);
        QCOMPARE(form.windowTitle(), QStringLiteral("근태관리  QRX-500 (On,Sub)  98/2000/XP  r1.1"));
        const struct {
            const char* name;
            const char* caption;
            const char* keys;
            bool visible;
        } commands[] = {
            {"CONFIG_COMMSET", "통신환경 설정", "Ctrl+J", true},
            {"MAIN_COMCHK", "통신상태 확인", "Ctrl+C", true},
            {"CONFIG_TIMESET", "리더 시간설정", "Ctrl+A", true},
            {"CONFIG_TIME", "리더 시간확인", "Ctrl+S", true},
            {"AUTO_TIME_SET", "자동 근태모드 설정", "Ctrl+T", true},
            {"AUTO_TIME_CHECK", "자동 근태모드 확인", "", false},
            {"UP_BATCH", "수집자료 올려받기 (일괄작업)", "Ctrl+D", true},
            {"ONLINE1", "수집자료 올려받기 (ON-LINE)", "Ctrl+O", true},
            {"UP_GUN", "수집자료 건수 확인", "Ctrl+W", true},
            {"UP_REPORT", "근태 현황", "Ctrl+R", true},
            {"UP_DEL", "수집자료 전체 삭제", "Ctrl+B", true},
            {"ABOUT_QRX", "QRX에 대해..", "", false},
            {"END_EXIT", "종료", "Ctrl+X", true},
        };
        for (const auto& c : commands) {
            auto* action = form.findChild<QAction*>(c.name);
            QVERIFY2(action, c.name);
            QCOMPARE(action->text(), QString::fromUtf8(c.caption));
            QCOMPARE(action->shortcut(), QKeySequence(c.keys));
            QCOMPARE(action->isVisible(), c.visible);
        }
        auto* hidden = form.findChild<QShortcut*>("AUTO_TIME_CHECK_Shortcut");
        QVERIFY(hidden && hidden->isEnabled());
        QCOMPARE(hidden->key(), QKeySequence("Ctrl+U"));
        const QStringList menus{"기본설정", "시간관리", "수집자료 처리", "종 료"};
        QStringList shown;
        for (QAction* a : form.menuBar()->actions()) shown << a->text();
        QCOMPARE(shown, menus);
        const char* hints[][2] = {{"SpeedButton1", "통신환경 설정"},
                                  {"SpeedButton16", "통신상태 확인"},
                                  {"SpeedButton2", "리더 시간확인"},
                                  {"SpeedButton3", "리더 시간설정"},
                                  {"SpeedButton9", "자동 근태모드 설정"},
                                  {"SpeedButton7", "수집자료 올려받기 (일괄작업)"},
                                  {"SpeedButton4", "수집자료 올려받기 (ON-LINE)"},
                                  {"SpeedButton12", "수집자료 건수확인"},
                                  {"SpeedButton17", "근태 현황"},
                                  {"SpeedButton14", "수집자료 전체삭제"},
                                  {"SpeedButton15", "종료"},
                                  {"SpeedButton5", "자동 근태모드 확인"}};
        for (const auto& h : hints) {
            auto* button = form.findChild<QToolButton*>(h[0]);
            QVERIFY2(button, h[0]);
            QCOMPARE(button->toolTip(), QString::fromUtf8(h[1]));
            QCOMPARE(button->statusTip(), QString::fromUtf8(h[1]));
        }
        QVERIFY(form.findChild<QToolButton*>("SpeedButton5")->isHidden());
        saveScreenshot(&form, "TMainForm");
        QCOMPARE(form.Link.SelectedReader, 1);
        QCOMPARE(form.Link.ReaderCount, 1);
        QCOMPARE(QString::fromStdString(form.Comm.DeviceName()), QStringLiteral("Com2"));
        QCOMPARE(form.Comm.BaudRate(), br1200);
    }

    // A port that cannot be opened is reported once; the program goes on with the port closed.
    void openErrorReachesTheErrorBoxOnce() {
        writeAll(cfg, QByteArray::fromHex("000300010003"));
        writeAll(dir.filePath("COM1"), "not a device");
        ScriptedPrompts boxes;
        TMainForm form(0);
        form.FormActivate();
        QCOMPARE(boxes.texts(), QStringList{"Invalid device handle, access denied (Error: -1) "});
        QCOMPARE(boxes.boxes[0].caption, kProgramName);
        QVERIFY(!form.Comm.isOpen());
        QCOMPARE(form.Link.ReaderCount, 3);
        QCOMPARE(form.imsi->text(), QStringLiteral("COM1 9600Bps"));
        // The waits follow the settings' speed although the port did not open (the component
        // starts at 1200 bit/s).
        QCOMPARE(form.Link.timing().bitsPerSecond(), 9600);
        form.FormActivate();
        QCOMPARE(boxes.boxes.size(), 1);
    }

    // A lost line (the adapter pulled) closes the port and marks the indicator; the next job opens
    // the port again by itself, and the indicator shows the line's settings once more.
    void lostLineClosesThePortUntilTheNextJob() {
        writeAll(cfg, QByteArray::fromHex("010300010004"));
        auto line = std::make_unique<sim::SimLine>(4);
        line->makeLink("COM2");
        ScriptedPrompts boxes;
        TMainForm form(0);
        form.FormActivate();
        QVERIFY(form.Comm.isOpen());
        QCOMPARE(form.imsi->text(), QStringLiteral("COM2 9600Bps"));
        ReaderLink& link = form.Link;
        const auto poll = [&link] {
            link.SendFrame("A0", 1);
            link.AwaitAnswer(100);
            return link.ReadReply(4, "A0", 1).status;
        };
        link.runOnLine([&] { QCOMPARE(poll(), '1'); });

        line.reset();
        try {
            link.runOnLine([&] { poll(); });
            QFAIL("the lost line went unnoticed");
        } catch (const LineLost& e) {
            const QString text = QString::fromUtf8(e.what());
            QVERIFY2(text.startsWith(QStringLiteral("통신선이 끊어졌습니다.")), e.what());
            QVERIFY2(text.endsWith(QStringLiteral("(Error: 5) ")), e.what());
        }
        QVERIFY(!form.Comm.isOpen());
        QCOMPARE(form.imsi->text(), QStringLiteral("통신끊김"));

        line = std::make_unique<sim::SimLine>(4);
        line->makeLink("COM2");
        link.runOnLine([&] { QCOMPARE(poll(), '1'); });
        QVERIFY(form.Comm.isOpen());
        QCOMPARE(form.imsi->text(), QStringLiteral("COM2 9600Bps"));
        QVERIFY(boxes.boxes.isEmpty());
    }

    // With the collector running on the line, the clerk is told in Korean that the line is in use,
    // at the start and at the status check, and the program sends nothing.
    void lineInUseByTheCollector() {
        writeAll(cfg, QByteArray::fromHex("010300010004"));
        sim::SimLine line(4);
        line.makeLink("COM2");
        QProcess collector;
        collector.start(QStringLiteral(QRX_COLLECT_PATH), {QStringLiteral("--workdir"), dir.path()});
        QVERIFY(collector.waitForStarted());
        QVERIFY(line.waitForFrames(4, 1, 10000));
        ScriptedPrompts boxes;
        TMainForm form(0);
        form.FormActivate();
        auto* check = new TComCheck(form.Link);
        check->show();
        check->Button1Click();
        const QString inUse = QStringLiteral(
            "통신포트(COM2)를 다른 프로그램이 사용하고 있습니다. 자동수집 서비스(qrx-collect)가 "
            "실행 중이면 먼저 멈춘 뒤 다시 실행하십시오.\n");
        QCOMPARE(boxes.texts().size(), 2);
        for (const QString& text : boxes.texts()) QVERIFY2(text.startsWith(inUse), qPrintable(text));
        QVERIFY(!form.Comm.isOpen());
        QCOMPARE(check->Grid->item(1, 1) ? check->Grid->item(1, 1)->text().trimmed() : QString(), QString());
        delete check;
        collector.terminate();
        QVERIFY(collector.waitForFinished(10000));
        QCOMPARE(collector.exitCode(), 0);
    }

    // An idle main window, port open at 9600 bit/s, hardly ever wakes up.
    void idleWindowSleeps() {
        writeAll(cfg, QByteArray::fromHex("010300010004"));
        sim::SimLine line(4);
        line.makeLink("COM2");
        ScriptedPrompts boxes;
        TMainForm form(0);
        form.show();
        form.FormActivate();
        QVERIFY(form.Comm.isOpen());
        QTest::qWait(200);
        QEventLoop idle;
        QTimer::singleShot(10000, &idle, &QEventLoop::quit);
        const long before = contextSwitches();
        idle.exec();
        const long wakeUps = contextSwitches() - before;
        QVERIFY2(wakeUps < 50, qPrintable(QString::number(wakeUps)));
        qInfo() << "main thread woke up" << wakeUps << "times in 10 s";
    }

    void damagedFileIsToldOnce() {
        writeAll(cfg, QByteArray::fromHex("0003"));
        writeAll(dir.filePath("COM1"), "not a device");
        ScriptedPrompts boxes;
        TMainForm form(0);
        form.FormActivate();
        QCOMPARE(form.Link.ReaderCount, 1);
        QCOMPARE(boxes.boxes.size(), 2);
        QCOMPARE(boxes.boxes[0].text, QStringLiteral("QRX.CFG 파일이 손상되어 리더갯수를 1대로 합니다"));
    }

    void missingFileAsksForTheSettingsFirst() {
        ScriptedPrompts boxes;
        TMainForm form(0);
        bool asked = false;
        QTimer::singleShot(0, [&] {
            auto* settings = form.findChild<TForm_Config*>();
            QVERIFY(settings);
            asked = true;
            QVERIFY(!form.Comm.isOpen());
            settings->BitBtn2->click();
        });
        writeAll(dir.filePath("COM2"), "not a device");
        form.FormActivate();
        QVERIFY(asked);
        QVERIFY(form.imsi->text().isEmpty());
        QVERIFY(!QFile::exists(cfg));
        QCOMPARE(boxes.texts(), QStringList{"Invalid device handle, access denied (Error: -1) "});
    }

    void secondCopyIsRefusedUntilTheFirstDies() {
        const QString lock = dir.filePath("lock");
        {
            SingleInstance first(lock);
            QVERIFY(first.acquired());
            QVERIFY(!SingleInstance(lock).acquired());
        }
        QVERIFY(SingleInstance(lock).acquired());
        int ready[2];
        QVERIFY(pipe(ready) == 0);
        const pid_t child = fork();
        if (child == 0) {
            SingleInstance held(lock);
            const char ok = held.acquired() ? '1' : '0';
            (void)!write(ready[1], &ok, 1);
            pause();
            _exit(0);
        }
        char ok = 0;
        QCOMPARE(read(ready[0], &ok, 1), ssize_t(1));
        QCOMPARE(ok, '1');
        QVERIFY(!SingleInstance(lock).acquired());
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        QVERIFY(SingleInstance(lock).acquired());
        close(ready[0]);
        close(ready[1]);
    }
};

int runShellTests(int argc, char** argv) {
    ShellTest test;
    return runGroup(test, argc, argv);
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    installProgramFonts();
    return runShellTests(argc, argv) + runAccessibilityTests(argc, argv) + runKeyboardTests(argc, argv);
}

#include "tst_shell.moc"
