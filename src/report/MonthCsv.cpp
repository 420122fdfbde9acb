#include "MonthCsv.h"

#include "AtomicSave.h"
#include "SheetCells.h"

namespace {
QString csvField(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString csvLine(const QStringList& fields) {
    QStringList out;
    for (const QString& field : fields) out << csvField(field);
    return out.join(QLatin1Char(',')) + QStringLiteral("\r\n");
}
} // namespace

QByteArray monthCsv(const TimeSheet& sheet) {
    QString text = csvLine(kDayColumns);
    for (const DayRow& row : sheet.days) {
        QStringList fields;
        for (int c = 0; c < kDayColumns.size(); ++c) fields << dayCell(sheet, row, c).display();
        text += csvLine(fields);
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

void writeMonthCsv(const TimeSheet& sheet, const QString& path) {
    saveAtomically(path, monthCsv(sheet));
}
