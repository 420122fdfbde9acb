// The input files of the downloads. Each file is read and checked whole before anything goes
// to a reader, so a bad line never leaves a download half sent: the first bad line ends the job
// with a FileError naming the file and the line.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The files as the operator knows them; hostPath() says where they live on this machine.
extern const QString kCustomerFile;    // C:\CARD\DATA1\CDATA.TXT
extern const QString kMealFile;        // C:\CARD\DATA1\TDATA.TXT
extern const QString kFixedAmountFile; // C:\CARD\DATA1\PDATA.TXT

// "지정된 경로에 DataFile이 없습니다" (caption "에러") when the file of a download is missing.
extern const QString kNoDataFile;
// False, after telling the operator, when the file is missing: nothing is to be sent then.
bool dataFileReady(const QString& windowsPath);

// Why a line is refused.
extern const QString kNotDigits;       // a character that should be a digit is not
extern const QString kBadReaderDigits; // the first two characters are not two decimal digits

// "C:\CARD\DATA1\CDATA.TXT 3번째 줄: 숫자가 아닌 문자가 있습니다"
QString lineErrorText(const QString& windowsPath, int lineNumber, const QString& reason);

// A customer record: the first 18 characters packed two to a byte. A short line counts its
// missing characters as '0'. False when one of the 18 is present but not a digit.
bool packCustomerLine(const QByteArray& line, QByteArray& record);

// A meal line: reader id in columns 1-2, 98 digits in columns 3-100 packed into 49 bytes.
struct MealLine {
    QByteArray idText; // the id as written in the file ("01")
    int reader = 0;
    QByteArray data; // 49 bytes
};
// Empty when the line is good, else the reason it is refused.
QString parseMealLine(const QByteArray& line, MealLine& meal);

// A fixed-amount line: device id in columns 1-2, then 96 characters sent as they are. A short
// line is filled up with blanks; what stands beyond column 98 is never sent.
struct FixedAmountLine {
    QByteArray idText;
    quint8 id = 0;
    QByteArray text; // 96 bytes
};
QString parseFixedAmountLine(const QByteArray& line, FixedAmountLine& amount);

// Whole files, checked line by line; raise FileError for the first bad line or when the file
// cannot be read. The file is closed when they return.
QList<QByteArray> loadCustomerRecords(const QString& windowsPath);
QList<MealLine> loadMealLines(const QString& windowsPath);
QList<FixedAmountLine> loadFixedAmounts(const QString& windowsPath);
