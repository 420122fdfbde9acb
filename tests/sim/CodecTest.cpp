// The reader side's frame codec and stream splitter, without a line.
#include "HostPort.h"
#include "SimFrameSplitter.h"
#include "SimTests.h"

#include <QTest>

using sim::Piece;

class CodecTest : public QObject {
    Q_OBJECT

private slots:
    void encode_data();
    void encode();
    void split_data();
    void split();
};

void CodecTest::encode_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("wire");
    const auto row = [](const char* name, int id, const char* code, const QByteArray& data,
                        const char* wire) {
        QTest::newRow(name) << id << code << data << QByteArray::fromHex(wire);
    };
    row("A0 to reader 1", 1, "A0", {}, "0221615023032F28");
    row("A0 to reader 12, sum 0x103", 12, "A0", {}, "022C615023032023");
    row("D6 to reader 2", 2, "D6", QByteArray::fromHex("123456"), "0222645626325476032021");
    row("A0 answer with one byte", 1, "A0", "C", "02216150246303252C");
    row("data byte E3 wraps to 03", 1, "D4", QByteArray::fromHex("E300000000"), "02216454280320202020032827");
    row("broadcast address B9", sim::kBroadcastId, "D1", QByteArray::fromHex("000000555501000099"),
        "02B964512C2020207575212020B9032021");
}

// Both ways: the frame encodes to the wire bytes, and the wire bytes decode to the frame.
void CodecTest::encode() {
    QFETCH(int, id);
    QFETCH(QString, code);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, wire);
    QCOMPARE(toQt(sim::encodeFrame({id, code.toStdString(), fromQt(data)})).toHex(), wire.toHex());
    const sim::Frame f = sim::decodeFrame(fromQt(wire));
    QCOMPARE(f.id, id);
    QCOMPARE(QString::fromStdString(f.code), code);
    QCOMPARE(toQt(f.data).toHex(), data.toHex());
}

// Each stream is fed in the pieces separated by '|'; the pieces the splitter hands out are
// listed by kind and size.
void CodecTest::split_data() {
    QTest::addColumn<QString>("stream");
    QTest::addColumn<QString>("pieces");
    const auto row = [](const char* name, const QString& stream, const char* pieces) {
        QTest::newRow(name) << stream << pieces;
    };
    row("body and checksum apart", "022161502303|2F28", "frame 8");
    row("byte by byte", "02|21|61|50|23|03|2F|28", "frame 8");
    row("two frames in one write", "0221615023032F280222615023032F29", "frame 8, frame 8");
    row("second frame split across writes", "0221615023032F28022261|5023032F29", "frame 8, frame 8");
    row("checksum wrong", "0221615023032F29", "bad checksum 8");
    row("garbage first", "FF41420221615023032F28", "garbage 3, frame 8");
    row("no ETX where the length says", "0221615024032F280221615023032F28", "malformed 8, frame 8");
    row("length below 3", "022161502203|0221615023032F28", "malformed 6, frame 8");
    row("data byte that wraps to ETX", "02216454280320202020032827", "frame 13");
    row("data byte that wraps to STX", "02216454280220202020032826|0221615023032F28", "frame 13, frame 8");
    row("fixed-amount record in three writes", "0223500300|" + QString("31").repeated(96) + "|FF",
        "raw record 102");
    row("fixed-amount record without FF", "0223500300" + QString("31").repeated(97), "malformed 102");
    row("A0 to reader 3 is a frame", "0223615023032F2A", "frame 8");
}

void CodecTest::split() {
    QFETCH(QString, stream);
    QFETCH(QString, pieces);
    static const char* const kinds[] = {"frame",   "bad checksum", "malformed",
                                        "garbage", "incomplete",   "raw record"};
    sim::FrameSplitter splitter;
    QStringList seen;
    for (const QString& write : stream.split('|')) {
        const QByteArray bytes = QByteArray::fromHex(write.toLatin1());
        splitter.feed(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()));
        while (auto piece = splitter.next())
            seen << kinds[int(piece->kind)] + QString(" %1").arg(piece->raw.size());
    }
    QCOMPARE(seen.join(", "), pieces);
    QVERIFY(splitter.empty());
}

int runCodecTests(int argc, char** argv) {
    CodecTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "CodecTest.moc"
