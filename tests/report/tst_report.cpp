#include "ReportTests.h"

#include "AppFonts.h"

#include <QApplication>
#include <QFile>
#include <QtTest>

QByteArray punchLine(const QString& compact, int seq, int reader) {
    const QStringList f = compact.split(QLatin1Char(' '));
    const QString day = f.at(0);
    const QString time = f.at(1);
    return QStringLiteral("%1-%2 2024 %3 %4 %5 %6 00 %7 %8")
        .arg(reader, 2, 10, QLatin1Char('0'))
        .arg(seq, 6, 10, QLatin1Char('0'))
        .arg(day.left(2), day.mid(3, 2), time.left(2), time.mid(3, 2), f.at(2),
             f.at(3).rightJustified(10, QLatin1Char('0')))
        .toLatin1();
}

QByteArray linesOf(const QStringList& compact) {
    QByteArray bytes;
    for (int i = 0; i < compact.size(); ++i) bytes += punchLine(compact.at(i), i + 1) + "\r\n";
    return bytes;
}

std::vector<Punch> punchesOf(const QStringList& compact) {
    std::vector<Punch> punches;
    BadLines bad;
    readPunchLines(linesOf(compact), QDate(2000, 1, 1), QDate(2099, 12, 31), punches, bad);
    if (bad.count) qFatal("a test punch is not a record: line %d", bad.firstLine);
    return punches;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    installProgramFonts();
    return runRulesTests(argc, argv) + runInputTests(argc, argv) + runOutputTests(argc, argv) +
           runDialogTests(argc, argv);
}
