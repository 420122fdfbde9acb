// A punch record as a reader hands it over in the answer to "C1" (batch) or "C5" (on-line):
// 16 bytes, every number packed BCD, high digit first.
//   0-2 Seq (6 digits)    3-7 EmpNo (10 digits)   8 Mode (low half only)
//   9-10 Year (century first)   11 Month   12 Day   13 Hour   14 Minute   15 Second
// Nothing but the sequence number is ever turned back into a number: a half-byte above 9 is
// shown as the character that follows '9' by that much.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <cstdint>

struct TPunchRecord {
    std::array<std::uint8_t, 3> Seq{};
    std::array<std::uint8_t, 5> EmpNo{};
    std::uint8_t Mode = 0;
    std::array<std::uint8_t, 2> Year{};
    std::uint8_t Month = 0;
    std::uint8_t Day = 0;
    std::uint8_t Hour = 0;
    std::uint8_t Minute = 0;
    std::uint8_t Second = 0;

    static constexpr int kSize = 16;
    // The record in the first 16 bytes of a good answer's data.
    static TPunchRecord fromBytes(const QByteArray& data);
    QByteArray toBytes() const;
};

// The length value of a record answer ("C1", "C5"): the 16 record bytes + 3.
constexpr int kRecordAnswerL = TPunchRecord::kSize + 3;

// The list line, 49 characters for well-formed data:
// " 01-000123   0000012345   1   2004-03-15 08:59:30".
QString FormatScreenLine(int reader, const TPunchRecord& record);
// The file line, 42 characters for well-formed data: "01-000123 2004 03 15 08 59 30 1 0000012345".
QString FormatFileLine(int reader, const TPunchRecord& record);
// The sequence number as a number; a digit that is not decimal raises a conversion error.
int RecordSeq(const TPunchRecord& record);
// The reader and the record of a file line, without its line end: what FormatFileLine wrote,
// digits above 9 included. False, leaving both untouched, for a line of any other form.
bool ParseFileLine(QByteArrayView line, int& reader, TPunchRecord& record);

// The six sequence digits as text ("000123").
QString seqDigits(const TPunchRecord& record);
// The decimal value of a text of digits; anything else raises a conversion error that names it.
int decimalDigitsValue(const QString& digits);
