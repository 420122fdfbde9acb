#include "DownloadFiles.h"

#include "FileError.h"
#include "HostPaths.h"
#include "Prompts.h"
#include "ReaderLink.h"
#include "TextLines.h"

#include <QFileInfo>

const QString kCustomerFile = QStringLiteral("C:\\CARD\\DATA1\\CDATA.TXT");
const QString kMealFile = QStringLiteral("C:\\CARD\\DATA1\\TDATA.TXT");
const QString kFixedAmountFile = QStringLiteral("C:\\CARD\\DATA1\\PDATA.TXT");
const QString kNoDataFile = QStringLiteral("지정된 경로에 DataFile이 없습니다");
const QString kNotDigits = QStringLiteral("숫자가 아닌 문자가 있습니다");
const QString kBadReaderDigits = QStringLiteral("리더번호가 두 자리 숫자가 아닙니다");

namespace {
const QString kErrorCaption = QStringLiteral("에러");

// The line buffers the readers' file formats were made for; the rest of a line is skipped.
constexpr int kCustomerLineChars = 30;
constexpr int kMealLineChars = 200;
constexpr int kFixedAmountLineChars = 120;

constexpr int kCustomerDigits = 18;
constexpr int kMealBytes = 49;
constexpr int kFixedAmountChars = 96;

bool twoDigitId(const QByteArray& line, QByteArray& idText, int& id) {
    if (line.size() < 2 || !ReaderLink::IsDigitChar(line.at(0)) || !ReaderLink::IsDigitChar(line.at(1)))
        return false;
    idText = line.left(2);
    id = (line.at(0) - '0') * 10 + (line.at(1) - '0');
    return true;
}

QList<QByteArray> readLines(const QString& windowsPath, int maxChars) {
    TextLines file(hostPath(windowsPath));
    QList<QByteArray> lines;
    while (!file.atEnd()) lines << file.next(maxChars);
    return lines;
}

template <class Line, class Parse>
QList<Line> loadLines(const QString& windowsPath, int maxChars, Parse parse) {
    const QList<QByteArray> lines = readLines(windowsPath, maxChars);
    QList<Line> parsed;
    parsed.reserve(lines.size());
    for (int i = 0; i < lines.size(); ++i) {
        Line line;
        const QString reason = parse(lines.at(i), line);
        if (!reason.isEmpty()) throw FileError(lineErrorText(windowsPath, i + 1, reason));
        parsed << line;
    }
    return parsed;
}
} // namespace

bool dataFileReady(const QString& windowsPath) {
    if (QFileInfo(hostPath(windowsPath)).isFile()) return true;
    prompts().message(kNoDataFile, kErrorCaption, Prompts::Icon::Error);
    return false;
}

QString lineErrorText(const QString& windowsPath, int lineNumber, const QString& reason) {
    return QStringLiteral("%1 %2번째 줄: %3").arg(windowsPath).arg(lineNumber).arg(reason);
}

bool packCustomerLine(const QByteArray& line, QByteArray& record) {
    return packDigitPairs(line.left(kCustomerDigits), kCustomerDigits / 2, record);
}

QString parseMealLine(const QByteArray& line, MealLine& meal) {
    if (!twoDigitId(line, meal.idText, meal.reader)) return kBadReaderDigits;
    if (!packDigitPairs(line.mid(2, 2 * kMealBytes), kMealBytes, meal.data)) return kNotDigits;
    return {};
}

QString parseFixedAmountLine(const QByteArray& line, FixedAmountLine& amount) {
    int id = 0;
    if (!twoDigitId(line, amount.idText, id)) return kBadReaderDigits;
    amount.id = quint8(id);
    amount.text = line.mid(2, kFixedAmountChars).leftJustified(kFixedAmountChars, ' ');
    return {};
}

QList<QByteArray> loadCustomerRecords(const QString& windowsPath) {
    return loadLines<QByteArray>(windowsPath, kCustomerLineChars,
                                 [](const QByteArray& line, QByteArray& record) {
                                     return packCustomerLine(line, record) ? QString() : kNotDigits;
                                 });
}

QList<MealLine> loadMealLines(const QString& windowsPath) {
    return loadLines<MealLine>(windowsPath, kMealLineChars, parseMealLine);
}

QList<FixedAmountLine> loadFixedAmounts(const QString& windowsPath) {
    return loadLines<FixedAmountLine>(windowsPath, kFixedAmountLineChars, parseFixedAmountLine);
}
