#include "MonthWorkbook.h"

#include "AtomicSave.h"
#include "FileError.h"
#include "SheetCells.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include <clocale>
#include <functional>
#include <string>

#include <xlsxwriter.h>

namespace {
constexpr double kDaySeconds = 24 * 3600;

struct Formats {
    lxw_format* header;
    lxw_format* text;
    lxw_format* date;
    lxw_format* time;
    lxw_format* nextDayTime;
    lxw_format* timeSeconds;
    lxw_format* duration;
};

lxw_format* numberFormat(lxw_workbook* book, const char* pattern) {
    lxw_format* format = workbook_add_format(book);
    format_set_num_format(format, pattern);
    return format;
}

// Days since the spreadsheet's day 0 (30 December 1899, as Excel counts past its 1900 leap day).
double serialDate(const QDate& date) {
    return double(date.toJulianDay() - QDate(1899, 12, 30).toJulianDay());
}

void writeCell(lxw_worksheet* sheet, lxw_row_t row, lxw_col_t col, const SheetCell& cell, const Formats& f) {
    switch (cell.kind) {
    case SheetCell::Empty:
        break;
    case SheetCell::Text:
        worksheet_write_string(sheet, row, col, cell.text.toUtf8().constData(), f.text);
        break;
    case SheetCell::Date:
        worksheet_write_number(sheet, row, col, serialDate(cell.date), f.date);
        break;
    case SheetCell::Time:
        worksheet_write_number(sheet, row, col, cell.seconds / kDaySeconds,
                               cell.seconds >= kDaySeconds ? f.nextDayTime : f.time);
        break;
    case SheetCell::TimeSeconds:
        worksheet_write_number(sheet, row, col, cell.seconds / kDaySeconds, f.timeSeconds);
        break;
    case SheetCell::Duration:
        worksheet_write_number(sheet, row, col, cell.seconds / kDaySeconds, f.duration);
        break;
    case SheetCell::Count:
        worksheet_write_number(sheet, row, col, cell.count, nullptr);
        break;
    }
}

void writeSheet(lxw_workbook* book, const Formats& f, const QString& name, const QStringList& columns,
                int rows, const std::function<SheetCell(int, int)>& cell) {
    lxw_worksheet* sheet = workbook_add_worksheet(book, name.toUtf8().constData());
    for (int c = 0; c < columns.size(); ++c) {
        worksheet_write_string(sheet, 0, lxw_col_t(c), columns.at(c).toUtf8().constData(), f.header);
        // Wide enough for a Hangul header, a date or "익일 01:30"; names and notes get more.
        worksheet_set_column(sheet, lxw_col_t(c), lxw_col_t(c),
                             columns.at(c) == QStringLiteral("비고") ? 24 : 12, nullptr);
    }
    worksheet_freeze_panes(sheet, 1, 0);
    worksheet_autofilter(sheet, 0, 0, lxw_row_t(rows), lxw_col_t(columns.size() - 1));
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns.size(); ++c)
            writeCell(sheet, lxw_row_t(r + 1), lxw_col_t(c), cell(r, c), f);
}

// libxlsxwriter prints its numbers with the C library, in the process's locale (which Qt takes
// from the environment on Linux): a locale that writes a decimal comma would spoil every time
// and duration in the file. Numbers are printed the C way while the workbook is written.
class CNumbers {
public:
    CNumbers() : old_(std::setlocale(LC_NUMERIC, nullptr)) { std::setlocale(LC_NUMERIC, "C"); }
    ~CNumbers() { std::setlocale(LC_NUMERIC, old_.c_str()); }
    CNumbers(const CNumbers&) = delete;
    CNumbers& operator=(const CNumbers&) = delete;

private:
    std::string old_;
};
} // namespace

void writeMonthWorkbook(const TimeSheet& sheet, const QString& path) {
    const CNumbers numbers;
    // libxlsxwriter writes a file of its own; it takes the target's place only when whole.
    QTemporaryFile scratch(QDir::temp().filePath(QStringLiteral("qrx-report-XXXXXX.xlsx")));
    if (!scratch.open())
        throw FileError(QStringLiteral("%1: %2").arg(scratch.fileName(), scratch.errorString()));
    scratch.close();

    // Rows go out one after the other, so the library keeps only one row in memory.
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(scratch.fileName().toUtf8().constData(), &options);
    if (!book) throw FileError(QStringLiteral("%1: cannot start a workbook").arg(path));
    const QByteArray title =
        QStringLiteral("근태 현황 %1-%2").arg(sheet.year).arg(sheet.month, 2, 10, QLatin1Char('0')).toUtf8();
    lxw_doc_properties properties{};
    properties.title = const_cast<char*>(title.constData());
    workbook_set_properties(book, &properties);

    Formats f{};
    f.header = workbook_add_format(book);
    format_set_bold(f.header);
    f.text = numberFormat(book, "@");
    f.date = numberFormat(book, "yyyy-mm-dd");
    f.time = numberFormat(book, "hh:mm");
    f.nextDayTime = numberFormat(book, "\"익일 \"hh:mm");
    f.timeSeconds = numberFormat(book, "hh:mm:ss");
    f.duration = numberFormat(book, "[h]:mm");

    writeSheet(book, f, kDaySheetName, kDayColumns, int(sheet.days.size()),
               [&sheet](int r, int c) { return dayCell(sheet, sheet.days[std::size_t(r)], c); });
    writeSheet(book, f, kMonthSheetName, kMonthColumns, int(sheet.summary.size()),
               [&sheet](int r, int c) { return monthCell(sheet, sheet.summary[std::size_t(r)], c); });
    writeSheet(
        book, f, kPunchSheetName, kPunchColumns, int(sheet.punchesByTime.size()), [&sheet](int r, int c) {
            return punchCell(sheet, sheet.punches[std::size_t(sheet.punchesByTime[std::size_t(r)])], c);
        });
    const lxw_error error = workbook_close(book);
    if (error != LXW_NO_ERROR)
        throw FileError(QStringLiteral("%1: %2").arg(path, QString::fromUtf8(lxw_strerror(error))));

    QFile written(scratch.fileName());
    if (!written.open(QIODevice::ReadOnly))
        throw FileError(QStringLiteral("%1: %2").arg(written.fileName(), written.errorString()));
    saveAtomically(path, written.readAll());
}
