// The punches of the upload files: every A and B file in the output folder and every numbered
// copy of a batch file, each punch once however many files hold it.
#pragma once

#include "PunchRecord.h"

#include <QDate>
#include <QString>

#include <atomic>
#include <vector>

struct Punch {
    TPunchRecord record;
    int reader = 0;
    QDate date;     // the date the reader stamped
    int minute = 0; // minutes after midnight; the seconds do not count in the sheet
    int second = 0;

    QString number() const;     // the employee number, ten characters
    QString seqText() const;    // "000123"
    QString readerText() const; // "01"
    int modeCode() const { return record.Mode & 0x0F; }
};

// Lines of one file that are not records.
struct BadLines {
    QString file; // the file's name ("B20240304-1.TXT")
    int count = 0;
    int firstLine = 0; // counted from 1
};

struct PunchReading {
    std::vector<Punch> punches; // in the order of the files read, each once
    std::vector<BadLines> badLines;
    int filesRead = 0;
    bool folderFound = false;
    bool cancelled = false;
};

// Reads the punches stamped from `from` to `to` (both included) out of the upload files under
// the working directory's output folder. A line that is not a record, or whose date or time is
// not a real one, is counted in badLines and skipped. The same punch (reader, sequence number,
// employee number, mode, date and time) in several files is taken once; a reader that numbers
// afresh makes punches that differ by date and time, and both stay. Files written more than a
// month before `from` are not read: a punch in them would need a reader clock that ran a month
// ahead. Raises FileError when a file cannot be read. `cancel`, when set, ends the reading
// early with `cancelled`.
PunchReading readPunches(const QDate& from, const QDate& to, const std::atomic<bool>* cancel = nullptr);

// The punches of one file's bytes (lines ended by CR LF or LF) stamped from `from` to `to`;
// counts the lines that are not records into bad (count and first line).
void readPunchLines(const QByteArray& bytes, const QDate& from, const QDate& to, std::vector<Punch>& punches,
                    BadLines& bad);
