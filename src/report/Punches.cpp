#include "Punches.h"

#include "FileError.h"
#include "ReaderLink.h"
#include "UploadFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <climits>
#include <cstring>
#include <unordered_set>

namespace {
// A punch as the files know it: the reader and the record's 16 bytes.
struct PunchKey {
    std::array<std::uint8_t, TPunchRecord::kSize + 1> bytes{};
    bool operator==(const PunchKey& other) const { return bytes == other.bytes; }
};

struct PunchKeyHash {
    std::size_t operator()(const PunchKey& key) const {
        return qHashBits(key.bytes.data(), key.bytes.size());
    }
};

PunchKey keyOf(const Punch& punch) {
    PunchKey key;
    key.bytes[0] = std::uint8_t(punch.reader);
    const QByteArray record = punch.record.toBytes();
    std::memcpy(key.bytes.data() + 1, record.constData(), TPunchRecord::kSize);
    return key;
}

// The decimal value of packed digits; -1 when a half-byte is above 9.
int decimal(std::uint8_t byte) {
    const int high = byte >> 4;
    const int low = byte & 0x0F;
    return high > 9 || low > 9 ? -1 : high * 10 + low;
}

// Where the punch stands in time, or false when its date or time is not a real one.
bool placePunch(Punch& punch) {
    const TPunchRecord& r = punch.record;
    const int century = decimal(r.Year[0]);
    const int year = decimal(r.Year[1]);
    const int hour = decimal(r.Hour);
    const int minute = decimal(r.Minute);
    const int second = decimal(r.Second);
    if (century < 0 || year < 0 || hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 ||
        second > 59)
        return false;
    punch.date = QDate(century * 100 + year, decimal(r.Month), decimal(r.Day));
    punch.minute = hour * 60 + minute;
    punch.second = second;
    return punch.date.isValid();
}

// The date in an upload file's name ("B20240304-1.TXT"), or an invalid date.
QDate fileDate(const QString& name) {
    return QDate::fromString(name.mid(1, 8), QStringLiteral("yyyyMMdd"));
}

// How long before the month a file may have been written and still hold its punches.
constexpr int kReaderClockAheadDays = 31;
} // namespace

QString Punch::number() const {
    QString text;
    for (const std::uint8_t b : record.EmpNo) text += ReaderLink::ByteToDigits(b);
    return text;
}

QString Punch::seqText() const {
    return seqDigits(record);
}

QString Punch::readerText() const {
    return QStringLiteral("%1").arg(reader, 2, 10, QLatin1Char('0'));
}

void readPunchLines(const QByteArray& bytes, const QDate& from, const QDate& to, std::vector<Punch>& punches,
                    BadLines& bad) {
    const char* at = bytes.constData();
    const char* const end = at + bytes.size();
    for (int lineNumber = 1; at < end; ++lineNumber) {
        const char* eol = static_cast<const char*>(std::memchr(at, '\n', std::size_t(end - at)));
        const char* next = eol ? eol + 1 : end;
        if (!eol) eol = end;
        if (eol > at && eol[-1] == '\r') --eol;
        const QByteArrayView line(at, eol - at);
        at = next;
        if (line.trimmed().isEmpty()) continue;
        Punch punch;
        if (!ParseFileLine(line, punch.reader, punch.record) || !placePunch(punch)) {
            if (bad.count++ == 0) bad.firstLine = lineNumber;
            continue;
        }
        if (punch.date >= from && punch.date <= to) punches.push_back(punch);
    }
}

PunchReading readPunches(const QDate& from, const QDate& to, const std::atomic<bool>* cancel) {
    PunchReading reading;
    reading.folderFound = outputDirExists();
    if (!reading.folderFound) return reading;
    QStringList files = newestUploadFiles('B', INT_MAX) + newestUploadFiles('A', INT_MAX);
    std::sort(files.begin(), files.end());
    const QDate oldest = from.addDays(-kReaderClockAheadDays);
    std::unordered_set<PunchKey, PunchKeyHash> seen;
    std::vector<Punch> punches;
    for (const QString& path : files) {
        if (cancel && cancel->load()) {
            reading.cancelled = true;
            return reading;
        }
        const QString name = QFileInfo(path).fileName();
        const QDate written = fileDate(name);
        if (written.isValid() && written < oldest) continue;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw FileError(QStringLiteral("%1: %2").arg(path, file.errorString()));
        BadLines bad{name};
        punches.clear();
        readPunchLines(file.readAll(), from, to, punches, bad);
        if (file.error() != QFileDevice::NoError)
            throw FileError(QStringLiteral("%1: %2").arg(path, file.errorString()));
        ++reading.filesRead;
        if (bad.count) reading.badLines.push_back(bad);
        for (const Punch& punch : punches)
            if (seen.insert(keyOf(punch)).second) reading.punches.push_back(punch);
    }
    return reading;
}
