// The month as an Excel workbook, written with libxlsxwriter: the sheets 일별, 월별 and 기록,
// each with its header texts in row 1. Employee numbers are text (their leading zeros stay);
// dates and times are the spreadsheet's own values, shown yyyy-mm-dd and hh:mm; durations are
// shown [h]:mm, so that Excel sums them past 24 hours.
#pragma once

#include "TimeSheet.h"

#include <QString>

// Writes the workbook to the path (see saveAtomically); raises FileError.
void writeMonthWorkbook(const TimeSheet& sheet, const QString& path);
