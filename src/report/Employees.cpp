#include "Employees.h"

#include "FileError.h"
#include "HostPaths.h"
#include "LegacyText.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>

const QString kEmployeeFile = QStringLiteral(".\\DATA1\\EMPLOYEES.CSV");

namespace {
constexpr int kNumberDigits = 10;
enum Column { kNumber, kName, kDepartment, kShiftStart, kShiftEnd };

QString cell(const QStringList& fields, int column) {
    return column < fields.size() ? fields.at(column).trimmed() : QString();
}

bool blankRow(const QStringList& fields) {
    for (const QString& field : fields)
        if (!field.trimmed().isEmpty()) return false;
    return true;
}
} // namespace

const Employee* EmployeeList::find(const QString& number) const {
    const auto it = byNumber.constFind(number);
    return it == byNumber.constEnd() ? nullptr : &people[std::size_t(*it)];
}

bool decodeListText(const QByteArray& bytes, QString& text, bool& cp949) {
    cp949 = false;
    const QByteArray bom("\xEF\xBB\xBF");
    if (bytes.startsWith(bom)) {
        text = QString::fromUtf8(bytes.mid(bom.size()));
        return true;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    text = utf8.decode(bytes);
    if (!utf8.hasError()) return true;
    const std::optional<QString> korean = fromCp949(bytes);
    text = korean.value_or(QString());
    cp949 = korean.has_value();
    return korean.has_value();
}

std::vector<CsvRow> splitCsv(const QString& text) {
    std::vector<CsvRow> rows;
    CsvRow row{1, {}};
    QString field;
    bool quoted = false;
    int line = 1;
    const auto endRow = [&] {
        row.fields << field;
        field.clear();
        rows.push_back(row);
        row = CsvRow{line, {}};
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        // A line end is LF whether or not CR comes before it, inside a cell too.
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n')) continue;
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                if (c == QLatin1Char('\n')) ++line;
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            row.fields << field;
            field.clear();
        } else if (c == QLatin1Char('\n')) {
            ++line;
            endRow();
        } else {
            field += c;
        }
    }
    if (!field.isEmpty() || !row.fields.isEmpty()) endRow();
    return rows;
}

QString tenDigitNumber(const QString& cell, RowProblem& problem) {
    if (cell.isEmpty()) {
        problem = RowProblem::NoNumber;
        return {};
    }
    for (const QChar c : cell)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            problem = RowProblem::NumberNotDigits;
            return {};
        }
    if (cell.size() > kNumberDigits) {
        problem = RowProblem::NumberTooLong;
        return {};
    }
    return cell.rightJustified(kNumberDigits, QLatin1Char('0'));
}

int clockMinutes(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^([01]?[0-9]|2[0-3]):([0-5][0-9])(:[0-5][0-9])?$"));
    const QRegularExpressionMatch match = form.match(text);
    return match.hasMatch() ? match.captured(1).toInt() * 60 + match.captured(2).toInt() : -1;
}

EmployeeList parseEmployeeList(const QByteArray& bytes) {
    EmployeeList list;
    list.found = true;
    QString text;
    list.unreadable = !decodeListText(bytes, text, list.cp949);
    bool first = true;
    for (const CsvRow& row : splitCsv(text)) {
        if (blankRow(row.fields)) continue;
        RowProblem problem = RowProblem::NoNumber;
        const QString number = tenDigitNumber(cell(row.fields, kNumber), problem);
        // The header row names the columns; a list saved without one starts with a number.
        if (std::exchange(first, false) && number.isEmpty()) continue;
        Employee person{number, cell(row.fields, kName), cell(row.fields, kDepartment)};
        const QString start = cell(row.fields, kShiftStart);
        const QString end = cell(row.fields, kShiftEnd);
        if (!start.isEmpty()) person.shiftStart = clockMinutes(start);
        if (!end.isEmpty()) person.shiftEnd = clockMinutes(end);
        if (!number.isEmpty()) {
            if ((!start.isEmpty() && person.shiftStart < 0) || (!end.isEmpty() && person.shiftEnd < 0)) {
                problem = RowProblem::BadShiftTime;
            } else if (list.byNumber.contains(number)) {
                problem = RowProblem::Duplicate;
            } else {
                list.byNumber.insert(number, int(list.people.size()));
                list.people.push_back(person);
                continue;
            }
        }
        list.badRows.push_back(BadRow{row.line, problem});
    }
    return list;
}

EmployeeList readEmployeeList(const QString& path) {
    QFile file(path);
    if (!file.exists()) return {};
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(QStringLiteral("%1: %2").arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw FileError(QStringLiteral("%1: %2").arg(path, file.errorString()));
    return parseEmployeeList(bytes);
}
