#include "ModeTable.h"

#include "ReaderLink.h"
#include "TextLines.h"

#include <QFileInfo>

#include <iterator>

const QString kScheduleFile = QStringLiteral(".\\DATA1\\TDATA.TXT");

namespace {
const char* const kModeWords[] = {"[해제]", "출근", "퇴근", "외출", "귀사"};
const QString kBadMode = QStringLiteral("!에러!");
const QString kSilent = QStringLiteral("응답이 없습니다");
const QString kBadData = QStringLiteral("데이터가 부정확합니다");
const QString kResend = QStringLiteral("제전송요청!");
constexpr int kAnswerSettleMs = 100;
constexpr int kTableL = kModeTableSize + 3;

// Positions count from 1; a position past the end of the line reads as '0'.
unsigned digitAt(const QByteArray& line, int position) {
    const quint8 c = position <= line.size() ? quint8(line.at(position - 1)) : quint8('0');
    return unsigned(c) - unsigned('0');
}

quint8 packedAt(const QByteArray& line, int position) {
    return quint8((digitAt(line, position) << 4) | digitAt(line, position + 1));
}
} // namespace

QByteArray modeRecord(const QByteArray& line) {
    QByteArray record(kModeRecordSize, '\0');
    record[0] = char(quint8(digitAt(line, 1)));
    record[1] = char(quint8(digitAt(line, 15)));
    record[2] = char(packedAt(line, 3));
    record[3] = char(packedAt(line, 6));
    record[4] = char(packedAt(line, 9));
    record[5] = char(packedAt(line, 12));
    return record;
}

QByteArray modeTable(const QList<QByteArray>& lines) {
    QByteArray table;
    for (int k = 0; k < kModeRecords && k < lines.size(); ++k) table += modeRecord(lines[k]);
    table.append(kModeTableSize - table.size(), '\0');
    return table;
}

std::optional<QByteArray> readScheduleFile(const QString& path) {
    if (!QFileInfo(path).isFile()) return std::nullopt;
    TextLines file(path);
    QList<QByteArray> lines;
    while (lines.size() < kModeRecords && !file.atEnd()) lines << file.next(kScheduleLineChars);
    return modeTable(lines);
}

Reply sendModeTable(ReaderLink& link, int reader, const QByteArray& table) {
    Q_ASSERT(table.size() == kModeTableSize);
    link.SendDataFrame("B3", table, reader);
    link.AwaitInput(kAnswerSettleMs);
    return link.ReadReply(kTableL, "B2", reader);
}

QString bandText(const QByteArray& record) {
    const auto digits = [&record](int i) { return ReaderLink::ByteToDigits(quint8(record.at(i))); };
    return QStringLiteral("   ") + digits(2) + digits(3) + '-' + digits(4) + digits(5);
}

QString modeText(const QByteArray& record) {
    const quint8 code = quint8(record.at(1));
    return ' ' + ReaderLink::ByteToDigits(code) + '-' + modeWord(code);
}

QString modeWord(quint8 code) {
    return code < std::size(kModeWords) ? QString::fromUtf8(kModeWords[code]) : kBadMode;
}

QString modeTableNotice(char status) {
    switch (status) {
    case Reply::NoAnswer:
        return kSilent;
    case Reply::BadFrame:
        return kBadData;
    case Reply::Nak:
        return kResend;
    case Reply::Held:
        return ReaderLink::heldText();
    default:
        return {};
    }
}
