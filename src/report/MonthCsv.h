// The month's daily sheet as a CSV file for Excel and payroll programs: UTF-8 with a
// byte-order mark (without it Excel on a Korean PC reads the Hangul as CP949), lines ended by
// CR LF, the header texts of the 일별 sheet in the first line.
#pragma once

#include "TimeSheet.h"

#include <QByteArray>
#include <QString>

QByteArray monthCsv(const TimeSheet& sheet);
// Writes it to the path (see saveAtomically); raises FileError.
void writeMonthCsv(const TimeSheet& sheet, const QString& path);
