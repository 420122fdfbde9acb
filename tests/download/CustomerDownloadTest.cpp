// The customer download: the protocol on an in-memory line, and the dialog end to end against
// the simulated readers.
#include "CustomerDownload.h"
#include "DownloadTests.h"
#include "FGaekDn.h"
#include "FakeLine.h"
#include "PieGauge.h"
#include "ProgressCounters.h"
#include "ReaderPanel.h"
#include "Screenshots.h"
#include "SimStation.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>

namespace {
const QString kFile = QStringLiteral("CARD/DATA1/CDATA.TXT");

// Customer line i: employee number, flags 10, balance 001234, then columns not sent.
QByteArray customerLine(int i) {
    return QByteArray::number(1000000000 + i) + "10" + QByteArray::number(1000 + i).rightJustified(6, '0') +
           "ABCDEFGHIJKL";
}

QByteArray customerFile(int lines) {
    QByteArray file;
    for (int i = 1; i <= lines; ++i) file += customerLine(i) + "\r\n";
    return file;
}

QByteArray codeOf(const QByteArray& frame) {
    QByteArray code = frame.mid(2, 2);
    for (char& c : code) c = char(c - 0x20);
    return code;
}

QStringList framesOf(const FakeLine& line) {
    QStringList codes;
    for (const QByteArray& f : line.frames) codes << QString::fromLatin1(codeOf(f));
    return codes;
}
} // namespace

class CustomerDownloadTest : public QObject {
    Q_OBJECT

private slots:
    // On an in-memory line the reader's "N0" is there 1 ms after the record: the run stops
    // at once, sends no further record and no "D2".
    void negativeAckStopsTheStream() {
        FakeLine line;
        ScriptedPrompts boxes;
        int d1 = 0;
        line.responder = [&](const QByteArray& frame) {
            const QByteArray code = codeOf(frame);
            if (code == "D1" && ++d1 == 2) return readerFrame("N0", 1);
            return readerFrame(code.constData(), 1);
        };
        ReaderLink link(line, LinkEnv{[](bool) {}, [](int) {}});
        CustomerDownload job(link);
        QList<int> progress;
        job.recordSent = [&](int sent) { progress << sent; };
        const QList<QByteArray> records(4, QByteArray(9, '\x11'));
        QCOMPARE(job.run(1, records), CustomerDownload::End::DataError);
        QCOMPARE(framesOf(line), (QStringList{"D0", "D1", "D1"}));
        QCOMPARE(progress, QList<int>{1});
        QCOMPARE(boxes.texts(), QStringList{"DATA에러.. 다시 DOWNLOAD해주십시요"});
    }

    // Answers to records other than "N0" (none, refusals, broken frames) do not stop the run.
    void otherRecordAnswersAreIgnored() {
        FakeLine line;
        ScriptedPrompts boxes;
        int d1 = 0;
        line.responder = [&](const QByteArray& frame) {
            const QByteArray code = codeOf(frame);
            if (code != "D1") return readerFrame(code.constData(), 1);
            ++d1;
            return d1 == 1 ? readerFrame("N2", 1) : d1 == 2 ? QByteArray("\x02junk") : QByteArray();
        };
        ReaderLink link(line, LinkEnv{[](bool) {}, [](int) {}});
        CustomerDownload job(link);
        QCOMPARE(job.run(1, QList<QByteArray>(3, QByteArray(9, '\0'))), CustomerDownload::End::Closed);
        QCOMPARE(framesOf(line), (QStringList{"D0", "D1", "D1", "D1", "D2"}));
        QVERIFY(boxes.boxes.isEmpty());
    }

    void oneReader() {
        SimStation station(2);
        station.writeFile(kFile, customerFile(19) + "123\r\n");
        OpenDialog<TGaekDn> dlg(station.link);
        dlg->panel->TSBAR->setValue(2);
        QTest::mouseClick(dlg->Button1, Qt::LeftButton);
        saveScreenshot(dlg.get(), "TGaekDn");

        QStringList expected{"D0"};
        for (int i = 0; i < 20; ++i) expected << "D1";
        expected << "D2";
        QCOMPARE(station.commands(2), expected);
        QVERIFY(station.commands(1).isEmpty());
        const auto frames = station.line.frames(2);
        for (int i = 1; i <= 19; ++i)
            QCOMPARE(bytesOf(frames.at(size_t(i)).data).toHex(), customerLine(i).left(18));
        // A short line sends its own digits and zeros, nothing of the line before.
        QCOMPARE(bytesOf(frames.at(20).data).toHex(), QByteArray("123000000000000000"));
        QCOMPARE(dlg->counters->cap1->text(), QStringLiteral("20건"));
        QCOMPARE(dlg->counters->cap2->text(), QStringLiteral("20건"));
        QCOMPARE(dlg->counters->Gauge1->percent(), 100);
        QCOMPARE(dlg->panel->capid->text(), QStringLiteral("02"));
        QVERIFY(station.boxes.boxes.isEmpty());
        QCOMPARE(station.line.withReader(2, [](sim::Reader& r) { return r.customers().size(); }), size_t(20));
    }

    void allReadersAnsweringGetTheBroadcast() {
        SimStation station(3);
        station.writeFile(kFile, customerFile(5));
        OpenDialog<TGaekDn> dlg(station.link);
        dlg->panel->RadioGroup1Click(1);
        dlg->Button1Click();

        QVERIFY(station.boxes.boxes.isEmpty());
        QCOMPARE(station.lineCommands(),
                 (QStringList{"D0", "D0", "D0", "D1", "D1", "D1", "D1", "D1", "D2", "D2", "D2"}));
        int broadcasts = 0;
        for (const sim::LineEvent& e : station.line.lineEvents()) {
            if (e.code != "D1") continue;
            QCOMPARE(int(e.kind), int(sim::LineEvent::Kind::Broadcast));
            QCOMPARE(int(e.raw.at(1)), 0xB9);
            ++broadcasts;
        }
        QCOMPARE(broadcasts, 5);
        for (int id = 1; id <= 3; ++id)
            QCOMPARE(station.line.withReader(id, [](sim::Reader& r) { return r.customers().size(); }),
                     size_t(5));
        QCOMPARE(dlg->panel->capid->text(), QStringLiteral("ALL"));
        QCOMPARE(station.link.SelectedReader, 0);
    }

    void silentReadersAskFirst_data() {
        QTest::addColumn<bool>("goOn");
        QTest::newRow("Cancel closes every reader") << false;
        QTest::newRow("OK broadcasts anyway") << true;
    }
    void silentReadersAskFirst() {
        QFETCH(bool, goOn);
        SimStation station(4);
        station.writeFile(kFile, customerFile(2));
        for (int id : {1, 3})
            station.line.withReader(id, [](sim::Reader& r) { r.addFault(sim::Fault::silent().on("D0")); });
        station.boxes.answers = {goOn};
        OpenDialog<TGaekDn> dlg(station.link);
        dlg->panel->RadioGroup1Click(1);
        dlg->Button1Click();

        QCOMPARE(station.boxes.boxes.size(), 1);
        QCOMPARE(station.boxes.boxes.first().text,
                 QStringLiteral("현재  1번 3번리더에서 에러가 검출되었습니다, 그래도 진행하겠습니까?"));
        QCOMPARE(station.boxes.boxes.first().caption, QStringLiteral("에러발생"));
        QVERIFY(station.boxes.boxes.first().confirmation);
        for (int id = 1; id <= 4; ++id) QVERIFY(station.line.waitForFrames(id, goOn ? 4 : 2, 2000));
        const QStringList each = goOn ? QStringList{"D0", "D1", "D1", "D2"} : QStringList{"D0", "D2"};
        for (int id = 1; id <= 4; ++id) QCOMPARE(station.commands(id), each);
    }

    // The reader asks for the only record again: the run is void and no "D2" goes out.
    void negativeAckAfterARecord() {
        SimStation station(1);
        station.writeFile(kFile, customerFile(1));
        station.line.withReader(1, [](sim::Reader& r) {
            r.addFault(sim::Fault::answerCode("N0").on("D1"));
            r.addFault(sim::Fault::late(50).on("D1"));
        });
        OpenDialog<TGaekDn> dlg(station.link);
        dlg->Button1Click();
        QCOMPARE(station.boxes.texts(), QStringList{"DATA에러.. 다시 DOWNLOAD해주십시요"});
        QCOMPARE(station.boxes.boxes.first().caption, QStringLiteral("에러"));
        QCOMPARE(station.commands(1), (QStringList{"D0", "D1"}));
    }

    void memoryFullOnClose_data() {
        QTest::addColumn<bool>("all");
        QTest::newRow("one reader") << false;
        QTest::newRow("all readers: only the full one") << true;
    }
    void memoryFullOnClose() {
        QFETCH(bool, all);
        SimStation station(2);
        station.writeFile(kFile, customerFile(3));
        station.line.withReader(all ? 2 : 1, [](sim::Reader& r) { r.setCapacity(2); });
        OpenDialog<TGaekDn> dlg(station.link);
        if (all) dlg->panel->RadioGroup1Click(1);
        dlg->Button1Click();
        QCOMPARE(station.boxes.texts(), QStringList{"리더 메모리부족 - 다운로드건수를 줄이십시요"});
        QCOMPARE(station.commands(all ? 2 : 1).last(), QStringLiteral("D2"));
    }

    void refusedOpeningEndsTheRun() {
        SimStation station(1);
        station.writeFile(kFile, customerFile(3));
        station.line.withReader(1, [](sim::Reader& r) { r.addFault(sim::Fault::silent().on("D0")); });
        OpenDialog<TGaekDn> dlg(station.link);
        dlg->Button1Click();
        QCOMPARE(station.boxes.texts(), QStringList{"응답이 없습니다"});
        QCOMPARE(station.commands(1), QStringList{"D0"});
        QCOMPARE(dlg->counters->cap1->text(), QStringLiteral("03건"));
        QCOMPARE(dlg->counters->cap2->text(), QStringLiteral("00건"));
    }

    // 종료 during the stream: the records sent so far stay counted, the reader's download is
    // closed with "D2", and the dialog closes once the run has returned.
    void stopAfterFiveRecords() {
        SimStation station(1);
        station.writeFile(kFile, customerFile(20));
        OpenDialog<TGaekDn> dlg(station.link);
        dlg->show();
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            if (dlg->counters->cap2->text() == QStringLiteral("05건"))
                QTest::mouseClick(dlg->Button2, Qt::LeftButton);
        });
        watcher.start(0);
        dlg->Button1Click();
        watcher.stop();
        QVERIFY(dlg.gone());
        QStringList expected{"D0", "D1", "D1", "D1", "D1", "D1", "D2"};
        QCOMPARE(station.commands(1), expected);
    }

    void missingOrBadFileSendsNothing_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << QByteArray() << QStringLiteral("지정된 경로에 DataFile이 없습니다");
        QTest::newRow("letter on line 2")
            << QByteArray(customerLine(1) + "\r\n1234567890l2345678\r\n")
            << QStringLiteral("C:\\CARD\\DATA1\\CDATA.TXT 2번째 줄: 숫자가 아닌 문자가 있습니다");
    }
    void missingOrBadFileSendsNothing() {
        QFETCH(QByteArray, contents);
        QFETCH(QString, message);
        SimStation station(1);
        if (!contents.isEmpty()) station.writeFile(kFile, contents);
        OpenDialog<TGaekDn> dlg(station.link);
        dlg->Button1Click();
        QCOMPARE(station.boxes.texts(), QStringList{message});
        QVERIFY(station.line.wireBytes().empty());
        QCOMPARE(dlg->counters->cap2->text(), QStringLiteral("00건"));
    }

    void emptyFileStillOpensAndCloses() {
        SimStation station(1);
        station.writeFile(kFile, QByteArray());
        OpenDialog<TGaekDn> dlg(station.link);
        dlg->Button1Click();
        QCOMPARE(station.commands(1), (QStringList{"D0", "D2"}));
        QCOMPARE(dlg->counters->cap1->text(), QStringLiteral("00건"));
        QCOMPARE(dlg->counters->cap2->text(), QStringLiteral("00건"));
        QVERIFY(station.boxes.boxes.isEmpty());
    }
};

int runCustomerDownloadTests(int argc, char** argv) {
    CustomerDownloadTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "CustomerDownloadTest.moc"
