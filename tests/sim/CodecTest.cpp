// The reader side's frame codec and stream splitter, without a line.
#include "HostPort.h"
#include "SimFrameSplitter.h"
#include "SimPunch.h"
#include "SimTests.h"

#include <QTest>

using sim::Piece;

class CodecTest : public QObject {
    Q_OBJECT

private slots:
    void encode_data();
    void encode();
    void decodeTakesOffsetOff();
    void split_data();
    void split();
    void incompleteFrameFlushed();
    void punchRecord();
    void generatedPunches();
};

void CodecTest::encode_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("A0 to reader 1") << 1 << "A0" << QByteArray() << QByteArray::fromHex("0221615023032F28");
    QTest::newRow("A0 to reader 12, sum 0x103")
        << 12 << "A0" << QByteArray() << QByteArray::fromHex("022C615023032023");
    QTest::newRow("D6 with three bytes")
        << 2 << "D6" << QByteArray::fromHex("123456") << QByteArray::fromHex("0222645626325476032021");
    QTest::newRow("A0 answer with one byte")
        << 1 << "A0" << QByteArray("C") << QByteArray::fromHex("02216150246303252C");
    QTest::newRow("data byte E3 wraps to 03") << 1 << "D4" << QByteArray::fromHex("E300000000")
                                              << QByteArray::fromHex("02216454280320202020032827");
    QTest::newRow("broadcast address B9")
        << sim::kBroadcastId << "D1" << QByteArray::fromHex("0000005555010000").append(char(0x99))
        << QByteArray::fromHex("02B964512C2020207575212020B9032021");
}

void CodecTest::encode() {
    QFETCH(int, id);
    QFETCH(QString, code);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, wire);
    QCOMPARE(toQt(sim::encodeFrame({id, code.toStdString(), fromQt(data)})).toHex(), wire.toHex());
}

void CodecTest::decodeTakesOffsetOff() {
    const sim::Frame f = sim::decodeFrame(fromQt(QByteArray::fromHex("0222645626325476032021")));
    QCOMPARE(f.id, 2);
    QCOMPARE(f.code, std::string("D6"));
    QCOMPARE(toQt(f.data).toHex(), QByteArray("123456"));
    QCOMPARE(sim::decodeFrame(fromQt(QByteArray::fromHex("02B964512C2020207575212020B9032021"))).id,
             sim::kBroadcastId);
}

// Each stream is fed in the pieces separated by '|'; the pieces the splitter hands out are
// listed by kind and size.
void CodecTest::split_data() {
    QTest::addColumn<QString>("stream");
    QTest::addColumn<QString>("pieces");
    QTest::newRow("one frame") << "0221615023032F28"
                               << "frame 8";
    QTest::newRow("body and checksum apart") << "022161502303|2F28"
                                             << "frame 8";
    QTest::newRow("byte by byte") << "02|21|61|50|23|03|2F|28"
                                  << "frame 8";
    QTest::newRow("two frames in one write") << "0221615023032F280222615023032F29"
                                             << "frame 8, frame 8";
    QTest::newRow("second frame split across writes") << "0221615023032F28022261|5023032F29"
                                                      << "frame 8, frame 8";
    QTest::newRow("frame with data") << "0222645626325476032021"
                                     << "frame 11";
    QTest::newRow("checksum wrong") << "0221615023032F29"
                                    << "bad checksum 8";
    QTest::newRow("garbage first") << "FF41420221615023032F28"
                                   << "garbage 3, frame 8";
    QTest::newRow("no ETX where the length says") << "0221615024032F280221615023032F28"
                                                  << "malformed 8, frame 8";
    QTest::newRow("length below 3") << "022161502203|0221615023032F28"
                                    << "malformed 6, frame 8";
    QTest::newRow("data byte that wraps to ETX") << "02216454280320202020032827"
                                                 << "frame 13";
    QTest::newRow("data byte that wraps to STX") << "02216454280220202020032826|0221615023032F28"
                                                 << "frame 13, frame 8";
    QTest::newRow("fixed-amount record in three writes") << "0223500300|" + QString("31").repeated(96) + "|FF"
                                                         << "raw record 102";
    QTest::newRow("fixed-amount record without FF")
        << "0223500300" + QString("31").repeated(97) << "malformed 102";
    QTest::newRow("A0 to reader 3 is a frame") << "0223615023032F2A"
                                               << "frame 8";
}

namespace {

QString kindName(Piece::Kind kind) {
    switch (kind) {
    case Piece::Kind::Frame:
        return "frame";
    case Piece::Kind::BadChecksum:
        return "bad checksum";
    case Piece::Kind::Malformed:
        return "malformed";
    case Piece::Kind::Garbage:
        return "garbage";
    case Piece::Kind::Incomplete:
        return "incomplete";
    case Piece::Kind::RawRecord:
        return "raw record";
    }
    return {};
}

} // namespace

void CodecTest::split() {
    QFETCH(QString, stream);
    QFETCH(QString, pieces);
    sim::FrameSplitter splitter;
    QStringList seen;
    for (const QString& write : stream.split('|')) {
        const QByteArray bytes = QByteArray::fromHex(write.toLatin1());
        splitter.feed(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()));
        while (auto piece = splitter.next())
            seen << kindName(piece->kind) + " " + QString::number(piece->raw.size());
    }
    QCOMPARE(seen.join(", "), pieces);
    QVERIFY(splitter.empty());
}

void CodecTest::incompleteFrameFlushed() {
    sim::FrameSplitter splitter;
    const QByteArray half = QByteArray::fromHex("02216150");
    splitter.feed(reinterpret_cast<const std::uint8_t*>(half.constData()), std::size_t(half.size()));
    QVERIFY(!splitter.next());
    const auto piece = splitter.flush();
    QVERIFY(piece);
    QCOMPARE(piece->kind, Piece::Kind::Incomplete);
    QCOMPARE(toQt(piece->raw), half);
    QVERIFY(splitter.empty());
}

void CodecTest::punchRecord() {
    const sim::Punch p{12345, 1, 2004, 3, 15, 8, 59, 30};
    const sim::RecordBytes r = sim::makeRecord(123, p);
    QCOMPARE(toQt(sim::Bytes(r.begin(), r.end())).toHex(), QByteArray("00012300000123450120040315085930"));
    QCOMPARE(sim::recordSeq(r), 123u);
}

void CodecTest::generatedPunches() {
    // The 61st punch of reader 3 lands one hour after the first, on the hour.
    const sim::RecordBytes r = sim::makeRecord(61, sim::Punch::generated(3, 61));
    QCOMPARE(toQt(sim::Bytes(r.begin(), r.end())).toHex(), QByteArray("00006100000300610120040315090000"));
}

int runCodecTests(int argc, char** argv) {
    CodecTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "CodecTest.moc"
