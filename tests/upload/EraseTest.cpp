// Collect, then erase, end to end on the line model: the clerk's daily batch and delete while
// people punch, a reader that answers nothing but "C3", and a reader switched off and on while
// it was owed, which the next batch collects at once.
#include "FBatch.h"
#include "FCOMCHK.h"
#include "FPanDel.h"
#include "ReaderLink.h"
#include "ReaderPanel.h"
#include "SimStation.h"
#include "UploadTests.h"

#include <QDir>
#include <QPointer>
#include <QPushButton>
#include <QSet>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

namespace {
const QString kDone = QStringLiteral("업로드가 완료되었습니다!");

// Every line of every upload file; fails the test when a batch file holds a line twice.
QSet<QString> linesOnDisk() {
    QSet<QString> all;
    const QDir dir(QStringLiteral("DATA2"));
    for (const QString& name : dir.entryList({QStringLiteral("[AB]*.TXT")}, QDir::Files)) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) continue;
        QSet<QString> inFile;
        for (const QString& line :
             QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
            if (name.startsWith('B') && inFile.contains(line)) qWarning() << "twice in" << name << line;
            inFile.insert(line);
        }
        all.unite(inFile);
    }
    return all;
}

// What the reader still holds, stored and on-line.
QStringList heldLines(SimStation& station, int reader) {
    QStringList out = storedLines(station, reader);
    for (const sim::RecordBytes& r :
         station.line.withReader(reader, [](sim::Reader& x) { return x.onlineQueue(); }))
        out << fileLine(reader, r);
    return out;
}

QStringList deleteRows(TPanDel* dialog, int readers) {
    QStringList rows;
    for (int r = 1; r <= readers; ++r)
        rows << (dialog->Grid->item(r, 1) ? dialog->Grid->item(r, 1)->text() : QString());
    return rows;
}
} // namespace

class EraseTest : public QObject {
    Q_OBJECT

    static void runBatch(SimStation& station) {
        QPointer<TBatch> dialog = new TBatch(station.link);
        prepare(dialog, 0);
        QTest::mouseClick(dialog->Button1, Qt::LeftButton);
        delete dialog;
    }

private slots:
    void init() { QDir::setCurrent(QDir::tempPath()); }

    // The clerk's day: a batch of all readers, punches in between, then 삭제 of all readers.
    // Every punch any reader made before its "C3" is in a file, whichever way the reader hands
    // out its batch; the erase stores what came since, and no batch file holds a line twice.
    void collectThenEraseWhilePeoplePunch_data() { addSlowAndFastRows(); }
    void collectThenEraseWhilePeoplePunch() {
        QFETCH(int, rate);
        SimStation station(2, -1, TBaudrate(rate));
        station.line.withReader(1, [](sim::Reader& r) { r.setBatchCopies(sim::BatchCopies::Whole); });
        QStringList made;
        for (int id : {1, 2})
            made += station.line.withReader(id, [id](sim::Reader& r) {
                r.addRecords(3);
                QStringList lines;
                for (const sim::RecordBytes& rec : r.records()) lines << fileLine(id, rec);
                return lines;
            });
        int next = 1;
        QTimer punching;
        QObject::connect(&punching, &QTimer::timeout, [&] {
            const int id = next;
            next = next % 2 + 1;
            made << fileLine(id, station.line.withReader(id, [id](sim::Reader& r) {
                return r.punchNow(quint64(id) * 100 + r.nextSequence());
            }));
        });
        punching.start(1000);
        runBatch(station);
        QTest::qWait(7000);
        QPointer<TPanDel> dialog = new TPanDel(station.link);
        dialog->panel->RadioGroup1Click(1);
        dialog->show();
        dialog->Button1Click();
        punching.stop();
        QCOMPARE(deleteRows(dialog, 2), QStringList(2, QStringLiteral("수집자료가 삭제되었습니다")));
        const QSet<QString> onDisk = linesOnDisk();
        const QStringList held = heldLines(station, 1) + heldLines(station, 2);
        for (const QString& line : made)
            QVERIFY2(onDisk.contains(line) || held.contains(line), qPrintable(line));
        const QStringList receipts =
            QString::fromUtf8(station.readFile("DATA2/ERASED.TXT")).split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(receipts.size(), 2);
        QCOMPARE(station.boxes.boxes.size(), 3); // done, the warning, what was erased
        delete dialog;
    }

    // Right after a complete batch the erase needs the count and "C3" alone, for either kind of
    // reader: the batch's file holds all they have.
    void eraseAfterACompleteBatchCostsTwoExchanges() {
        SimStation station(2);
        station.line.withReader(1, [](sim::Reader& r) {
            r.setBatchCopies(sim::BatchCopies::Whole);
            r.addRecords(4);
        });
        station.line.withReader(2, [](sim::Reader& r) { r.addRecords(4); });
        runBatch(station);
        for (int id : {1, 2}) station.line.withReader(id, [](sim::Reader& r) { r.clearLog(); });
        QPointer<TPanDel> dialog = new TPanDel(station.link);
        dialog->panel->RadioGroup1Click(1);
        dialog->Button1Click();
        for (int id : {1, 2}) QCOMPARE(station.commands(id), QStringList({"C4", "C3"}));
        QVERIFY(station.boxes.texts().last().contains(
            QStringLiteral("01번리더  보유 000004건  이번 저장 000000건")));
        delete dialog;
    }

    // A reader that answers "C3" and nothing else is not erased: nothing goes to it but the
    // count and the pass's "C0", and its row says why.
    void readerAnsweringOnlyC3IsNotErased() {
        SimStation station(2);
        QDir().mkdir(station.filePath("DATA2"));
        station.line.withReader(2, [](sim::Reader& r) {
            r.addRecords(5);
            for (const char* code : {"A0", "C4", "C0", "C1", "N0"}) r.addFault(sim::Fault::silent().on(code));
        });
        QPointer<TPanDel> dialog = new TPanDel(station.link);
        dialog->panel->RadioGroup1Click(1);
        dialog->Button1Click();
        QCOMPARE(deleteRows(dialog, 2),
                 QStringList({"수집자료가 삭제되었습니다", "    응답이 없어 삭제하지 않았습니다"}));
        QVERIFY(!station.commands(2).contains(QStringLiteral("C3")));
        QCOMPARE(station.line.withReader(2, [](sim::Reader& r) { return r.records().size(); }), size_t(5));
        delete dialog;
    }

    // A batch cut off with a reader owed, and the readers switched off and on (they keep their
    // records, not their last answers): the status check names the reader as waiting for
    // collection, and the very next batch collects the rest, without asking whether to go on.
    void restartedOwedReaderIsCollectedByTheNextBatch_data() { addSlowAndFastRows(); }
    void restartedOwedReaderIsCollectedByTheNextBatch() {
        QFETCH(int, rate);
        SimStation station(2, -1, TBaudrate(rate));
        // Three records come, then the line is as good as cut for reader 1.
        station.line.withReader(1, [](sim::Reader& r) {
            r.addRecords(8);
            r.addFault(sim::Fault::late(0).on("C1").times(3).then(sim::Fault::silent()));
        });
        runBatch(station);
        QVERIFY(station.link.ledger.owed(1));
        station.line.withReader(1, [](sim::Reader& r) {
            r.clearFaults();
            r.loseMemory();
        });
        station.boxes.boxes.clear();
        TComCheck* check = new TComCheck(station.link);
        check->Button1Click();
        QCOMPARE(check->Grid->item(1, 1)->text().trimmed(), ReaderLink::heldText());
        delete check;
        runBatch(station);
        QCOMPARE(station.boxes.texts(), QStringList{kDone});
        const QSet<QString> onDisk = linesOnDisk();
        for (const QString& line : storedLines(station, 1)) QVERIFY2(onDisk.contains(line), qPrintable(line));
        QVERIFY(!station.link.ledger.owed(1));
    }
};

int runEraseTests(int argc, char** argv) {
    EraseTest test;
    return runGroup(test, argc, argv);
}

#include "EraseTest.moc"
