// The meal download end to end against the simulated readers.
#include "DownloadTests.h"
#include "FSikDn.h"
#include "ProgressCounters.h"
#include "Screenshots.h"
#include "SimStation.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace {
const QString kFile = QStringLiteral("CARD/DATA1/TDATA.TXT");

// A meal line for reader `id` whose 98 digits start with the line's number n.
QByteArray mealLine(const char* id, int n) {
    return QByteArray(id) + QByteArray::number(n).rightJustified(4, '0') + QByteArray(94, '7') + "tail";
}

QByteArray mealFile(const QList<QByteArray>& lines) {
    QByteArray file;
    for (const QByteArray& l : lines) file += l + "\r\n";
    return file;
}

QStringList mealLinesOf(SimStation& station, int id) {
    QStringList out;
    for (const sim::LineEvent& e : station.line.frames(id))
        if (e.code == "E2") out << QString::fromLatin1(bytesOf(e.data).toHex().left(4));
    return out;
}
} // namespace

class MealDownloadTest : public QObject {
    Q_OBJECT

private slots:
    void eachNewReaderIsAnnounced() {
        SimStation station(2);
        station.writeFile(kFile, mealFile({mealLine("01", 1), mealLine("01", 2), mealLine("02", 3)}));
        OpenDialog<TSikDn> dlg(station.link);
        QCOMPARE(dlg->capid->text(), QStringLiteral("ALL"));
        QTest::mouseClick(dlg->Button1, Qt::LeftButton);
        QCOMPARE(station.lineCommands(), (QStringList{"E1", "E2", "E2", "E1", "E2"}));
        QCOMPARE(station.commands(1), (QStringList{"E1", "E2", "E2"}));
        const sim::Bytes first = station.line.frames(1).at(1).data;
        QCOMPARE(bytesOf(first).toHex(), mealLine("01", 1).mid(2, 98));
        QCOMPARE(mealLinesOf(station, 2), QStringList{"0003"});
        QCOMPARE(dlg->counters->cap1->text(), QStringLiteral("03건"));
        QCOMPARE(dlg->counters->cap2->text(), QStringLiteral("03건"));
        QCOMPARE(dlg->capid->text(), QStringLiteral("ALL"));
        QVERIFY(station.boxes.boxes.isEmpty());
        saveScreenshot(dlg.get(), "TSikDn");
    }

    // A silent reader: its first line goes out six times, one notice, its following lines are
    // counted but passed over; a later run of its lines after another reader's is tried again.
    void silentReaderIsPassedOver() {
        SimStation station(2);
        station.writeFile(kFile, mealFile({mealLine("01", 1), mealLine("01", 2), mealLine("01", 3),
                                           mealLine("02", 4), mealLine("01", 5)}));
        station.line.withReader(1, [](sim::Reader& r) { r.addFault(sim::Fault::silent().times(10)); });
        OpenDialog<TSikDn> dlg(station.link);
        dlg->Button1Click();
        QCOMPARE(station.boxes.texts(), QStringList{"01번 리더가 응답이 없습니다. 다음리더로 넘어갑니다"});
        QCOMPARE(station.boxes.boxes.first().caption, QStringLiteral("에러"));
        QCOMPARE(mealLinesOf(station, 1),
                 (QStringList{"0001", "0001", "0001", "0001", "0001", "0001", "0005"}));
        QCOMPARE(station.commands(1).count("E1"), 5); // four unanswered, one answered
        QCOMPARE(mealLinesOf(station, 2), QStringList{"0004"});
        QCOMPARE(dlg->counters->cap2->text(), QStringLiteral("05건"));
        QCOMPARE(station.line.withReader(1, [](sim::Reader& r) { return r.mealLines().size(); }), size_t(1));
    }

    // Only the sixth attempt chooses the notice: a reader that answers badly gets the data one.
    void badAnswersArePassedOver() {
        SimStation station(2);
        station.writeFile(kFile, mealFile({mealLine("02", 1), mealLine("02", 2), mealLine("01", 3)}));
        station.line.withReader(2, [](sim::Reader& r) {
            r.addFault(sim::Fault::silent().on("E2").times(3).then(sim::Fault::answerCode("N0").on("E2")));
        });
        OpenDialog<TSikDn> dlg(station.link);
        dlg->Button1Click();
        QCOMPARE(station.boxes.texts(), QStringList{"02번 리더에 데이터 에러. 다음리더로 넘어갑니다"});
        QCOMPARE(mealLinesOf(station, 2).size(), 6);
        QCOMPARE(mealLinesOf(station, 1), QStringList{"0003"});
    }

    void retriesUntilTheReaderTakesTheLine() {
        SimStation station(1);
        station.writeFile(kFile, mealFile({mealLine("01", 1)}));
        station.line.withReader(1, [](sim::Reader& r) {
            r.addFault(sim::Fault::silent().on("E1").times(3));
            r.addFault(sim::Fault::badChecksum().on("E2").times(5));
        });
        OpenDialog<TSikDn> dlg(station.link);
        dlg->Button1Click();
        QVERIFY(station.boxes.boxes.isEmpty());
        QCOMPARE(station.commands(1),
                 (QStringList{"E1", "E1", "E1", "E1", "E2", "E2", "E2", "E2", "E2", "E2"}));
    }

    void badOrMissingFileSendsNothing_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << QByteArray() << QStringLiteral("지정된 경로에 DataFile이 없습니다");
        QTest::newRow("id not decimal on line 3")
            << mealFile({mealLine("01", 1), mealLine("02", 2), mealLine("1.", 3)})
            << QStringLiteral("C:\\CARD\\DATA1\\TDATA.TXT 3번째 줄: 리더번호가 두 자리 숫자가 아닙니다");
        QTest::newRow("letter in the digits on line 2")
            << mealFile({mealLine("01", 1), mealLine("01", 2).replace(40, 1, "O")})
            << QStringLiteral("C:\\CARD\\DATA1\\TDATA.TXT 2번째 줄: 숫자가 아닌 문자가 있습니다");
    }
    void badOrMissingFileSendsNothing() {
        QFETCH(QByteArray, contents);
        QFETCH(QString, message);
        SimStation station(2);
        if (!contents.isEmpty()) station.writeFile(kFile, contents);
        OpenDialog<TSikDn> dlg(station.link);
        dlg->Button1Click();
        QCOMPARE(station.boxes.texts(), QStringList{message});
        QVERIFY(station.line.wireBytes().empty());
        QCOMPARE(dlg->capid->text(), QStringLiteral("ALL"));
    }

    void stopBeforeTheNextLine() {
        SimStation station(1);
        station.writeFile(kFile, mealFile({mealLine("01", 1), mealLine("01", 2), mealLine("01", 3)}));
        OpenDialog<TSikDn> dlg(station.link);
        dlg->show();
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            if (dlg->counters->cap2->text() == QStringLiteral("02건")) dlg->Button2Click();
        });
        watcher.start(0);
        dlg->Button1Click();
        watcher.stop();
        QCOMPARE(mealLinesOf(station, 1), (QStringList{"0001", "0002"}));
        QVERIFY(dlg.gone());
    }
};

int runMealDownloadTests(int argc, char** argv) {
    MealDownloadTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "MealDownloadTest.moc"
