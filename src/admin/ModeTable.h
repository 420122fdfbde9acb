// The automatic attendance-mode table: eight time bands, each with the mode that applies in it,
// loaded into a reader with "B3" (48 bytes); the reader answers "B2" with the table it now holds.
//
// Record (6 bytes): zone number, mode code (plain values), then start hour, start minute, end
// hour, end minute (packed BCD).
//
// The schedule file holds one band a line, characters by position (from 1): 1 zone digit,
// 3-4 start hour, 6-7 start minute, 9-10 end hour, 12-13 end minute, 15 mode digit; the others
// are free (separators). "1 08:30 09:00 1" is the record 01 01 08 30 09 00. Nothing is checked:
// a non-digit packs to whatever the arithmetic gives. What the table never carries is memory of
// anything else: positions past the end of a short line count as '0', lines missing at the end
// of the file are zero records, and lines after the eighth are not read.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

class ReaderLink;
struct Reply;

constexpr int kModeRecords = 8;
constexpr int kModeRecordSize = 6;
constexpr int kModeTableSize = kModeRecords * kModeRecordSize;
// Characters of a schedule line that are read; the rest of a longer line is skipped.
constexpr int kScheduleLineChars = 200;

extern const QString kScheduleFile; // ".\DATA1\TDATA.TXT"

QByteArray modeRecord(const QByteArray& line);
// The 48-byte table from the lines of a schedule file.
QByteArray modeTable(const QList<QByteArray>& lines);
// Reads the schedule file at path into a table; nothing when there is no such file. Raises
// FileError when the file exists but cannot be read.
std::optional<QByteArray> readScheduleFile(const QString& path);

// Sends the table with "B3", waits for the answer (AwaitInput 100 ms) and reads the "B2" table.
Reply sendModeTable(ReaderLink& link, int reader, const QByteArray& table);

// "   0830-0900" for the band of a record.
QString bandText(const QByteArray& record);
// " 01-출근" for the mode of a record.
QString modeText(const QByteArray& record);
// "[해제]", "출근", "퇴근", "외출", "귀사" for the codes 0 to 4, "!에러!" for any other.
QString modeWord(quint8 code);
// The notice for a failed load: "응답이 없습니다" ('0'), "데이터가 부정확합니다" ('2'),
// "제전송요청!" ('3'); empty for a good answer and for the statuses that are not reported.
QString modeTableNotice(char status);
