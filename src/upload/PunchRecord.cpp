#include "PunchRecord.h"

#include "FileError.h"
#include "ReaderLink.h"

#include <algorithm>

namespace {
template <std::size_t N> QString digitsOf(const std::array<std::uint8_t, N>& bytes) {
    QString text;
    for (const std::uint8_t b : bytes) text += ReaderLink::ByteToDigits(b);
    return text;
}

QString digitsOf(std::uint8_t b) {
    return ReaderLink::ByteToDigits(b);
}

QString modeChar(std::uint8_t mode) {
    return QString(QChar(char16_t((mode & 0x0F) | 0x30)));
}

// The inverse of ByteToDigits: two characters '0' to '?' make one byte.
bool digitsByte(const char* at, std::uint8_t& byte) {
    const int high = at[0] - '0';
    const int low = at[1] - '0';
    if (high < 0 || high > 15 || low < 0 || low > 15) return false;
    byte = std::uint8_t(high << 4 | low);
    return true;
}

template <std::size_t N> bool digitsBytes(const char* at, std::array<std::uint8_t, N>& bytes) {
    for (std::size_t i = 0; i < N; ++i)
        if (!digitsByte(at + 2 * i, bytes[i])) return false;
    return true;
}

QString readerId(int reader) {
    return QStringLiteral("%1").arg(reader, 2, 10, QLatin1Char('0'));
}
} // namespace

TPunchRecord TPunchRecord::fromBytes(const QByteArray& data) {
    std::array<std::uint8_t, kSize> b{};
    std::copy_n(data.constData(), std::min<qsizetype>(data.size(), kSize), b.begin());
    TPunchRecord r;
    std::copy_n(b.begin(), 3, r.Seq.begin());
    std::copy_n(b.begin() + 3, 5, r.EmpNo.begin());
    r.Mode = b[8];
    std::copy_n(b.begin() + 9, 2, r.Year.begin());
    r.Month = b[11];
    r.Day = b[12];
    r.Hour = b[13];
    r.Minute = b[14];
    r.Second = b[15];
    return r;
}

QByteArray TPunchRecord::toBytes() const {
    QByteArray out;
    for (const std::uint8_t b : Seq) out.append(char(b));
    for (const std::uint8_t b : EmpNo) out.append(char(b));
    out.append(char(Mode));
    for (const std::uint8_t b : Year) out.append(char(b));
    for (const std::uint8_t b : {Month, Day, Hour, Minute, Second}) out.append(char(b));
    return out;
}

QString FormatScreenLine(int reader, const TPunchRecord& r) {
    return QStringLiteral(" ") + readerId(reader) + QStringLiteral("-") + digitsOf(r.Seq) +
           QStringLiteral("   ") + digitsOf(r.EmpNo) + QStringLiteral("   ") + modeChar(r.Mode) +
           QStringLiteral("   ") + digitsOf(r.Year) + QStringLiteral("-") + digitsOf(r.Month) +
           QStringLiteral("-") + digitsOf(r.Day) + QStringLiteral(" ") + digitsOf(r.Hour) +
           QStringLiteral(":") + digitsOf(r.Minute) + QStringLiteral(":") + digitsOf(r.Second);
}

QString FormatFileLine(int reader, const TPunchRecord& r) {
    const QChar sp(' ');
    return readerId(reader) + QStringLiteral("-") + digitsOf(r.Seq) + sp + digitsOf(r.Year) + sp +
           digitsOf(r.Month) + sp + digitsOf(r.Day) + sp + digitsOf(r.Hour) + sp + digitsOf(r.Minute) + sp +
           digitsOf(r.Second) + sp + modeChar(r.Mode) + sp + digitsOf(r.EmpNo);
}

QString seqDigits(const TPunchRecord& record) {
    return digitsOf(record.Seq);
}

int decimalDigitsValue(const QString& digits) {
    bool ok = !digits.isEmpty();
    for (const QChar c : digits) ok = ok && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    if (!ok) throw FileError(QStringLiteral("'%1' is not a valid integer value").arg(digits));
    return digits.toInt();
}

int RecordSeq(const TPunchRecord& record) {
    return decimalDigitsValue(seqDigits(record));
}

bool ParseFileLine(QByteArrayView line, int& reader, TPunchRecord& record) {
    // "01-000123 2004 03 15 08 59 30 1 0000012345": where each field begins.
    constexpr int kLength = 42;
    if (line.size() != kLength) return false;
    const char* c = line.data();
    for (const int at : {9, 14, 17, 20, 23, 26, 29, 31})
        if (c[at] != ' ') return false;
    if (c[2] != '-' || !ReaderLink::IsDigitChar(c[0]) || !ReaderLink::IsDigitChar(c[1])) return false;
    TPunchRecord r;
    const bool digits = digitsBytes(c + 3, r.Seq) && digitsBytes(c + 10, r.Year) &&
                        digitsByte(c + 15, r.Month) && digitsByte(c + 18, r.Day) &&
                        digitsByte(c + 21, r.Hour) && digitsByte(c + 24, r.Minute) &&
                        digitsByte(c + 27, r.Second) && digitsBytes(c + 32, r.EmpNo);
    const int mode = c[30] - '0';
    if (!digits || mode < 0 || mode > 15) return false;
    r.Mode = std::uint8_t(mode);
    reader = (c[0] - '0') * 10 + (c[1] - '0');
    record = r;
    return true;
}
