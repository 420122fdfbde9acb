// The employee list the clerk keeps in Excel: DATA1\EMPLOYEES.CSV under the work folder, a
// header row, then 사원번호, 이름, 부서 and, when a person works a shift of their own,
// 출근시각 and 퇴근시각 (HH:MM). Saved as UTF-8 (with or without a byte-order mark) or as CP949.
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <vector>

extern const QString kEmployeeFile; // .\DATA1\EMPLOYEES.CSV

struct Employee {
    QString number; // ten digits, as the records carry it
    QString name;
    QString department;
    int shiftStart = -1; // minutes after midnight; -1: the site's start
    int shiftEnd = -1;   // -1: the site's end
};

// Why a row of the list was skipped.
enum class RowProblem {
    NoNumber,        // the number cell is empty
    NumberNotDigits, // the number has a character that is not a digit (Excel's 1.23E+09 too)
    NumberTooLong,   // more than ten digits
    BadShiftTime,    // 출근시각 or 퇴근시각 is not HH:MM
    Duplicate,       // the number stands on an earlier row already
};

struct BadRow {
    int line = 0; // the row's first line in the file, counted from 1
    RowProblem problem = RowProblem::NoNumber;
};

struct EmployeeList {
    bool found = false;           // whether the file exists
    bool cp949 = false;           // read as CP949 rather than UTF-8
    bool unreadable = false;      // neither UTF-8 nor CP949: nobody is taken from it
    std::vector<Employee> people; // in the order of the file
    std::vector<BadRow> badRows;
    QHash<QString, int> byNumber; // ten-digit number -> index in people

    const Employee* find(const QString& number) const;
};

// Reads the list at the host path; a missing file is an empty list. Raises FileError when the
// file exists but cannot be read.
EmployeeList readEmployeeList(const QString& path);
// The list from the file's bytes.
EmployeeList parseEmployeeList(const QByteArray& bytes);

// The text of the bytes: UTF-8 when they carry its byte-order mark or are valid UTF-8, else
// CP949. cp949 says which; false with an empty text when they are neither.
bool decodeListText(const QByteArray& bytes, QString& text, bool& cp949);
// The rows of a comma-separated text as Excel writes it: fields in double quotes may hold
// commas, line ends and doubled quotes. Each row with the line it starts on.
struct CsvRow {
    int line = 0;
    QStringList fields;
};
std::vector<CsvRow> splitCsv(const QString& text);
// A number of one to ten digits as the ten digits of a record ("1234" -> "0000001234"); empty
// when it is not one, with the problem.
QString tenDigitNumber(const QString& cell, RowProblem& problem);
// "9:00", "09:00" or "09:00:00" as minutes after midnight; -1 when it is none of them.
int clockMinutes(const QString& text);
