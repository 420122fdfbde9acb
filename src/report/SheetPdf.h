// The month as pages to print: A4 landscape, the month's summary first, then the daily rows,
// each table's header on every page, the page number at the foot.
#pragma once

#include "TimeSheet.h"

#include <QString>

#include <vector>

// The rows are indices into sheet.summary and sheet.days, in the order to print (the dialog's
// filter and sort). subtitle stands under the title (the filter, when there is one). Writes the
// file whole or not at all (see saveAtomically); raises FileError.
void writeSheetPdf(const TimeSheet& sheet, const std::vector<int>& monthRows, const std::vector<int>& dayRows,
                   const QString& subtitle, const QString& path);
