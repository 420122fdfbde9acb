// The Windows platform layer on its own, without a line: the settings block in DCB terms, the port
// names, how Win32 errors read, the single-instance block, the paths and the upload file on
// Win32 files. (The port itself is tested against the simulator in tests/station.)
#include "CommDcbWin32.h"
#include "CommInt.h"
#include "HostPaths.h"
#include "SingleInstance.h"
#include "UploadFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

class Win32Test : public QObject {
    Q_OBJECT

private slots:
    // No flow control keeps DTR and RTS raised; each handshake the block asks for is the DCB's
    // handshake, and reads back as the same flags.
    void dcbFlags_data() {
        QTest::addColumn<quint32>("flags");
        QTest::addColumn<int>("dtr");
        QTest::addColumn<int>("rts");
        QTest::addColumn<bool>("cts");
        QTest::addColumn<bool>("xonxoff");
        QTest::newRow("none") << quint32(dcbflag::Binary) << DTR_CONTROL_ENABLE << RTS_CONTROL_ENABLE << false
                              << false;
        QTest::newRow("CTS") << quint32(dcbflag::Binary | dcbflag::OutxCtsFlow | dcbflag::RtsHandshake)
                             << DTR_CONTROL_ENABLE << RTS_CONTROL_HANDSHAKE << true << false;
        QTest::newRow("DTR") << quint32(dcbflag::Binary | dcbflag::OutxDsrFlow | dcbflag::DtrHandshake)
                             << DTR_CONTROL_HANDSHAKE << RTS_CONTROL_ENABLE << false << false;
        QTest::newRow("software") << quint32(dcbflag::Binary | dcbflag::OutX | dcbflag::InX)
                                  << DTR_CONTROL_ENABLE << RTS_CONTROL_ENABLE << false << true;
    }
    void dcbFlags() {
        QFETCH(quint32, flags);
        QFETCH(int, dtr);
        QFETCH(int, rts);
        QFETCH(bool, cts);
        QFETCH(bool, xonxoff);
        TDeviceControlBlock block;
        block.BaudRate = 1200;
        block.Flags = flags;
        block.ByteSize = 7;
        block.Parity = 2;
        block.StopBits = 2;
        block.XonLim = block.XoffLim = 1024;
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        dcb.fAbortOnError = TRUE;
        dcbFromBlock(block, dcb);
        QCOMPARE(int(dcb.fDtrControl), dtr);
        QCOMPARE(int(dcb.fRtsControl), rts);
        QCOMPARE(bool(dcb.fOutxCtsFlow), cts);
        QCOMPARE(bool(dcb.fOutX) && bool(dcb.fInX), xonxoff);
        QVERIFY(dcb.fBinary);
        QVERIFY(!dcb.fAbortOnError);
        QCOMPARE(dcb.BaudRate, DWORD(1200));
        QCOMPARE(int(dcb.ByteSize), 7);
        QCOMPARE(int(dcb.Parity), EVENPARITY);
        QCOMPARE(int(dcb.StopBits), TWOSTOPBITS);
        QCOMPARE(int(dcb.XonLim), 1024);
        QCOMPARE(dcb.DCBlength, DWORD(sizeof dcb));

        const TDeviceControlBlock back = blockFromDcb(dcb);
        QCOMPARE(back.Flags, flags);
        QCOMPARE(back.BaudRate, block.BaudRate);
        QCOMPARE(int(back.ByteSize), 7);
    }

    // A line an earlier program left with every kind of flow control is taken over without any,
    // with DTR and RTS up, at the speed and framing it had.
    void takenOverLineHasNoFlowControl() {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        dcb.BaudRate = 19200;
        dcb.ByteSize = 8;
        dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = dcb.fOutX = dcb.fInX = dcb.fDsrSensitivity = TRUE;
        dcb.fNull = dcb.fErrorChar = TRUE;
        dcb.fDtrControl = DTR_CONTROL_DISABLE;
        dcb.fRtsControl = RTS_CONTROL_TOGGLE;
        clearFlowControl(dcb);
        QVERIFY(!dcb.fOutxCtsFlow && !dcb.fOutxDsrFlow && !dcb.fOutX && !dcb.fInX && !dcb.fDsrSensitivity);
        QVERIFY(!dcb.fNull && !dcb.fErrorChar);
        QCOMPARE(int(dcb.fDtrControl), DTR_CONTROL_ENABLE);
        QCOMPARE(int(dcb.fRtsControl), RTS_CONTROL_ENABLE);
        QCOMPARE(dcb.BaudRate, DWORD(19200));
        QCOMPARE(blockFromDcb(dcb).Flags, quint32(dcbflag::Binary));
    }

    void portNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("device");
        QTest::newRow("COM2") << "COM2"
                              << "\\\\.\\COM2";
        QTest::newRow("lower case") << "com1"
                                    << "\\\\.\\COM1";
        QTest::newRow("COM10 needs the prefix") << "COM10"
                                                << "\\\\.\\COM10";
        QTest::newRow("COM256") << "COM256"
                                << "\\\\.\\COM256";
        QTest::newRow("no number") << "COM"
                                   << "COM";
        QTest::newRow("COM0") << "COM0"
                              << "COM0";
        QTest::newRow("not a number") << "COM2x"
                                      << "COM2x";
        QTest::newRow("a device path") << "\\\\.\\COM7"
                                       << "\\\\.\\COM7";
    }
    void portNames() {
        QFETCH(QString, name);
        QFETCH(QString, device);
        QCOMPARE(QString::fromStdString(resolveDeviceName(name.toStdString())), device);
    }

    // A pulled adapter's errors during a transfer are a lost line; at open they are not; a held
    // port is busy, a missing one is not.
    void errorsRead_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("lost");
        QTest::addColumn<bool>("busy");
        for (const int code : {ERROR_DEVICE_REMOVED, ERROR_BAD_COMMAND, ERROR_GEN_FAILURE,
                               ERROR_OPERATION_ABORTED, ERROR_ACCESS_DENIED})
            QTest::addRow("read %d", code) << "Read error" << code << true << false;
        QTest::newRow("write removed") << "Write error" << int(ERROR_DEVICE_REMOVED) << true << false;
        QTest::newRow("closed port") << "Read error" << int(ERROR_INVALID_HANDLE) << false << false;
        QTest::newRow("open held") << "Error accessing specified device" << int(ERROR_ACCESS_DENIED) << false
                                   << true;
        QTest::newRow("open shared") << "Error accessing specified device" << int(ERROR_SHARING_VIOLATION)
                                     << false << true;
        QTest::newRow("open missing")
            << "Error accessing specified device" << int(ERROR_FILE_NOT_FOUND) << false << false;
        QTest::newRow("settings") << "Error updating DataControlBlock" << int(ERROR_GEN_FAILURE) << false
                                  << false;
    }
    void errorsRead() {
        QFETCH(QString, text);
        QFETCH(int, code);
        QFETCH(bool, lost);
        QFETCH(bool, busy);
        const ECommError e(text.toStdString(), code);
        QCOMPARE(isLineLost(e), lost);
        QCOMPARE(isLineBusy(e), busy);
    }

    // A closed port raises with the Windows code for a bad handle.
    void closedPort() {
        TComm comm;
        char byte = 0;
        try {
            comm.Read(&byte, 1);
            QFAIL("no error");
        } catch (const ECommError& e) {
            QCOMPARE(e.ErrorCode, int(ERROR_INVALID_HANDLE));
            QCOMPARE(QString::fromStdString(e.what()), "Read error (Error: 6) ");
        }
    }

    // One copy a session: the block refuses a second while the first holds it, and is free
    // again once the first lets go.
    void singleInstance() {
        const QString name = QStringLiteral("qrx-test-%1").arg(QCoreApplication::applicationPid());
        {
            SingleInstance first(name);
            QVERIFY(first.acquired());
            QVERIFY(!SingleInstance(name).acquired());
        }
        QVERIFY(SingleInstance(name).acquired());
        QCOMPARE(SingleInstance::defaultName(), QStringLiteral("sharedHandle"));
    }

    void paths() {
        QCOMPARE(hostPath(".\\DATA2\\B20040315.TXT"), QStringLiteral("DATA2/B20040315.TXT"));
        QCOMPARE(hostPath("C:\\CARD\\DATA1\\CDATA.TXT"), QStringLiteral("C:/CARD/DATA1/CDATA.TXT"));
        qputenv("QRX_WORKDIR", "D:/site");
        QCOMPARE(defaultWorkDir(), QStringLiteral("D:/site"));
        qunsetenv("QRX_WORKDIR");
        QCOMPARE(defaultWorkDir(), QDir::currentPath());
    }

    // The upload file on Win32 calls: lines in CR LF, an append after a cut-off line begins a new
    // line, a truncating open empties the file, and an open that cannot be made names the file.
    void uploadFile() {
        QTemporaryDir dir;
        const QString old = QDir::currentPath();
        QDir::setCurrent(dir.path());
        QVERIFY(QDir().mkdir("DATA2"));
        const QString name = QStringLiteral(".\\DATA2\\A20040315.TXT");
        {
            UploadFile file(name, UploadFile::Mode::Append);
            file.writeLine("01-000001 2004 03 15 08 59 30 1 0000012345");
            file.close();
        }
        {
            QFile cut("DATA2/A20040315.TXT");
            QVERIFY(cut.open(QIODevice::Append));
            cut.write("01-0000");
        }
        {
            UploadFile file(name, UploadFile::Mode::Append);
            file.writeLine("01-000002");
        }
        QFile read("DATA2/A20040315.TXT");
        QVERIFY(read.open(QIODevice::ReadOnly));
        QCOMPARE(read.readAll(),
                 QByteArray("01-000001 2004 03 15 08 59 30 1 0000012345\r\n01-0000\r\n01-000002\r\n"));
        read.close();
        {
            UploadFile file(name, UploadFile::Mode::Truncate);
            file.writeLine("02-000001");
        }
        QVERIFY(read.open(QIODevice::ReadOnly));
        QCOMPARE(read.readAll(), QByteArray("02-000001\r\n"));
        read.close();
        try {
            UploadFile file(QStringLiteral(".\\NOFOLDER\\A.TXT"), UploadFile::Mode::Append);
            QFAIL("no error");
        } catch (const std::exception& e) {
            QVERIFY2(QString::fromLocal8Bit(e.what()).startsWith(QStringLiteral("NOFOLDER/A.TXT: ")),
                     e.what());
        }
        QDir::setCurrent(old);
    }
};

QTEST_GUILESS_MAIN(Win32Test)
#include "tst_win32.moc"
