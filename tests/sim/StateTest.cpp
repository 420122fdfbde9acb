// The readers' memory across a restart: kept in a state file, read back into fresh readers, and
// a file that is not a whole state refused. The command's part: LineTest.
#include "HostPort.h"
#include "SimTests.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>

namespace {

const sim::Punch kFirstPunch{12345, 1, 2004, 3, 15, 8, 59, 30};
const sim::Punch kSecondPunch{678, 2, 2004, 3, 15, 9, 0, 1};
const int kReaders = 2;

// Reader 1's n-th generated record as "C1" hands it out.
QByteArray storedRecord(int n) {
    return frame(1, "C1",
                 toQt(sim::makeRecord(std::uint32_t(n), sim::Punch::generated(1, std::uint32_t(n)))));
}

QByteArray pending(int n) {
    return frame(1, "C4", QByteArray::fromHex(QByteArray::number(n).rightJustified(6, '0')));
}

QByteArray online(const sim::RecordBytes& record) {
    return frame(1, "C5", toQt(record));
}

sim::SimState capture(sim::SimLine& line, int nextPuncher = 1) {
    return line.withReaders([&](const std::vector<sim::Reader>& readers) {
        return sim::captureState(readers, kReaders, nextPuncher);
    });
}

// A state with something in every field: reader 1 mid-upload with customers, a clock, a mode
// table and an on-line punch offered; reader 2 after an answer without data, handing out whole
// copies and renumbering on delete.
sim::SimState busyState() {
    sim::SimLine line(kReaders);
    line.setPacing(false);
    HostPort host(QString::fromStdString(line.devicePath()));
    line.withReader(1, [](sim::Reader& r) {
        r.addRecords(3);
        r.setClock({0x20, 0x07, 0x12, 0x08, 0x06, 0x13, 0x45, 0x30});
        sim::ModeTable modes{};
        for (std::size_t i = 0; i < modes.size(); ++i) modes[i] = std::uint8_t(i);
        r.setModeTable(modes);
        r.setCapacity(7);
        r.storeCustomer({0x00, 0x00, 0x01, 0x23, 0x45, 0x10, 0x00, 0x12, 0x34});
        r.storeCustomer({0x00, 0x00, 0x00, 0x06, 0x78, 0x01, 0x00, 0x00, 0x09});
        r.punch(kFirstPunch);
        r.punch(kSecondPunch);
    });
    for (const char* code : {"C0", "C1", "C1", "C5", "C5"}) host.ask(frame(1, code), 8);
    line.withReader(2, [](sim::Reader& r) {
        r.setBatchCopies(sim::BatchCopies::Whole);
        r.setDeleteRenumbers(true);
    });
    host.ask(frame(2, "D0"), 8);
    host.readQuiet(30);
    return capture(line, 2);
}

} // namespace

class StateTest : public QObject, private SimBench {
    Q_OBJECT

    QTemporaryDir dir_;

    QString statePath() const { return dir_.filePath("readers.state"); }

    // Keeps the readers' memory in the file, starts a fresh line and hands it back.
    void restart() {
        sim::saveState(statePath().toStdString(), capture(*line_));
        const auto kept = sim::loadState(statePath().toStdString());
        QVERIFY(kept);
        startLine(kReaders);
        line_->withReaders([&](std::vector<sim::Reader>& readers) { sim::restoreState(readers, *kept); });
    }

private slots:
    void init() { startLine(kReaders); }

    // Reader 1 handed out its second record and waits for it to be confirmed when the sim goes.
    void uploadTakenUp_data() {
        QTest::addColumn<QByteArrayList>("requests");
        QTest::addColumn<QByteArrayList>("answers");
        QTest::newRow("N0 repeats the record offered")
            << QByteArrayList{frame(1, "N0"), frame(1, "C1"), frame(1, "C1"), frame(1, "C4")}
            << QByteArrayList{storedRecord(2), storedRecord(3), frame(1, "C6"), pending(0)};
        QTest::newRow("C0 starts again at the record offered")
            << QByteArrayList{frame(1, "C0"), frame(1, "C1"), frame(1, "C1"), frame(1, "C1")}
            << QByteArrayList{frame(1, "C0"), storedRecord(2), storedRecord(3), frame(1, "C6")};
        QTest::newRow("the record offered is still to upload")
            << QByteArrayList{frame(1, "C4")} << QByteArrayList{pending(2)};
    }

    void uploadTakenUp() {
        QFETCH(QByteArrayList, requests);
        QFETCH(QByteArrayList, answers);
        line_->withReader(1, [](sim::Reader& r) { r.addRecords(3); });
        QCOMPARE(ask(frame(1, "C0"), 8), frame(1, "C0"));
        QCOMPARE(ask(frame(1, "C1"), 24), storedRecord(1));
        QCOMPARE(ask(frame(1, "C1"), 24), storedRecord(2));
        restart();
        for (int i = 0; i < requests.size(); ++i)
            QCOMPARE(ask(requests[i], answers[i].size()).toHex(), answers[i].toHex());
    }

    // An on-line punch offered but not confirmed is offered again and confirmed by the next "C5";
    // sequence numbers and the punch delivered last go on from where they were.
    void onlineTakenUp() {
        const auto [first, second] = line_->withReader(1, [](sim::Reader& r) {
            r.addRecords(2);
            const sim::RecordBytes a = r.punch(kFirstPunch);
            return std::make_pair(a, r.punch(kSecondPunch));
        });
        QCOMPARE(ask(frame(1, "C5"), 24), online(first));
        restart();
        QCOMPARE(ask(frame(1, "N0"), 24), online(first));
        QCOMPARE(ask(frame(1, "C5"), 24), online(second));
        const sim::RecordBytes third =
            line_->withReader(1, [](sim::Reader& r) { return r.punch(kFirstPunch); });
        QCOMPARE(sim::recordSeq(third), 5u);
        QCOMPARE(ask(frame(1, "C5"), 24), online(third));
        QCOMPARE(ask(frame(1, "C5"), 8), frame(1, "C7"));
        restart();
        line_->withReader(1, [](sim::Reader& r) { r.addFault(sim::Fault::reoffer().once()); });
        QCOMPARE(ask(frame(1, "C5"), 24), online(third));
        QCOMPARE(ask(frame(1, "C5"), 8), frame(1, "C7"));
        QCOMPARE(ask(frame(1, "C4"), 11), pending(2));
    }

    // The keeper sees the readers after the request, and a slow keeper holds the answer back:
    // the host never gets an answer the kept memory does not account for.
    void answerWaitsForKeeper() {
        std::atomic<bool> keptAfterRequest{false};
        line_->setKeeper([&](const std::vector<sim::Reader>& readers) {
            const sim::ReaderMemory m = readers[0].memory();
            keptAfterRequest = m.last && m.last->request == "A0";
            QThread::msleep(150);
        });
        host_->send(frame(1, "A0"));
        const HostPort::Timed answer = host_->readTimed(9);
        QCOMPARE(answer.bytes.size(), 9);
        QVERIFY2(tookAtLeast(answer.firstMs, 150), qPrintable(QString::number(answer.firstMs)));
        QVERIFY(keptAfterRequest);
    }

    // Every field comes back as it was kept.
    void everyFieldKept() {
        const std::string kept = sim::formatState(busyState());
        QVERIFY(kept.find("last D0 D0 -\n") != std::string::npos);
        QCOMPARE(QString::fromStdString(sim::formatState(sim::parseState(kept))),
                 QString::fromStdString(kept));
        line_->withReaders([&](std::vector<sim::Reader>& r) { sim::restoreState(r, sim::parseState(kept)); });
        QCOMPARE(QString::fromStdString(sim::formatState(capture(*line_, 2))), QString::fromStdString(kept));
    }

    // A file of the first version, without the readers' batch copies and renumbering, reads as
    // readers with the defaults; a whole copy may stand before the records uploaded.
    void firstVersionRead() {
        QString text = QString::fromStdString(sim::formatState(busyState()));
        text.replace("qrx-reader-sim state 2\n", "qrx-reader-sim state 1\n");
        text.remove(
            QRegularExpression("^(batch-copies|delete-renumbers) .*\n", QRegularExpression::MultilineOption));
        const sim::SimState old = sim::parseState(text.toStdString());
        QCOMPARE(old.readers.size(), std::size_t(2));
        for (const sim::ReaderMemory& m : old.readers) {
            QVERIFY(m.batchCopies == sim::BatchCopies::Unconfirmed);
            QVERIFY(!m.deleteRenumbers);
        }
        QCOMPARE(old.readers[0].cursor, std::size_t(1));
        QVERIFY(old.readers[0].offered);

        sim::SimState whole = old;
        whole.readers[0].batchCopies = sim::BatchCopies::Whole;
        whole.readers[0].cursor = 0;
        whole.readers[0].offered = true;
        QCOMPARE(sim::parseState(sim::formatState(whole)).readers[0].cursor, std::size_t(0));
    }

    void noFileNoState() { QVERIFY(!sim::loadState(dir_.filePath("none").toStdString())); }

    // A file cut anywhere before its end is refused, never taken for a state.
    void truncatedRefused() {
        const std::string kept = sim::formatState(busyState());
        for (std::size_t cut = 0; cut + 1 < kept.size(); ++cut) {
            try {
                sim::parseState(kept.substr(0, cut));
                QFAIL(qPrintable(QString("cut at %1 was taken").arg(cut)));
            } catch (const sim::StateError&) {
            }
        }
    }

    // `line` (a pattern) is replaced by `by` where it first matches.
    void corruptRefused_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("by");
        QTest::addColumn<QString>("error");
        auto row = [](const char* name, const char* line, const char* by, const char* error) {
            QTest::newRow(name) << QString(line) << QString(by) << QString(error);
        };
        row("other version", "^qrx-reader-sim state 2$", "qrx-reader-sim state 3",
            "line 1: not a qrx-reader-sim state file");
        row("puncher beyond the readers", "^next-puncher 2$", "next-puncher 3",
            "line 3: \"3\" is not a number from 0 to 2");
        row("other batch copies", "^batch-copies unconfirmed$", "batch-copies some",
            "line 5: \"some\" is not unconfirmed or whole");
        row("renumbering not a flag", "^delete-renumbers 0$", "delete-renumbers yes",
            "line 6: \"yes\" is not 0 or 1");
        row("not hex", "^clock 2007", "clock 2O07", "line 7: 'O' is not a hex digit");
        row("record too short", "^records 000001", "records 0001", "line 12: \"0001");
        row("cursor beyond the records", "^cursor 1$", "cursor 4",
            "line 14: \"4\" is not a number from 0 to 3");
        row("cursor behind the records uploaded", "^uploaded 1$", "uploaded 2",
            "line 14: the cursor stands before the last record uploaded");
        row("no record to offer", "^uploaded 1\ncursor 1$", "uploaded 3\ncursor 3",
            "line 15: no record at the cursor");
        row("no on-line punch to offer", "^online \\S+$", "online -",
            "line 17: no on-line record to be offered");
        row("readers out of order", "^reader 2$", "reader 3", "line 20: reader 2 expected");
        row("text after the end", "^end$", "end\nreader 3", "line 37: text after \"end\"");
    }

    // The complaint names the file and the line at fault.
    void corruptRefused() {
        QFETCH(QString, line);
        QFETCH(QString, by);
        QFETCH(QString, error);
        QString text = QString::fromStdString(sim::formatState(busyState()));
        const auto match = QRegularExpression(line, QRegularExpression::MultilineOption).match(text);
        QVERIFY2(match.hasMatch(), qPrintable(line));
        text.replace(match.capturedStart(), match.capturedLength(), by);
        QFile file(statePath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.toUtf8());
        file.close();
        try {
            sim::loadState(statePath().toStdString());
            QFAIL("taken");
        } catch (const sim::StateError& e) {
            const QString message = e.what();
            QVERIFY2(message.startsWith(statePath() + ": " + error), qPrintable(message));
        }
    }
};

int runStateTests(int argc, char** argv) {
    StateTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "StateTest.moc"
