// What qrx-report is told on its command line.
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

struct ReportOptions {
    QString workDir; // where DATA1 and DATA2 are
    int year = 0;
    int month = 0;
    QString xlsx; // the workbook to write, or empty
    QString csv;  // the CSV file to write, or empty
    bool help = false;
    bool version = false;
};

// Reads the arguments (without the program name); returns an error text, empty when they were
// good. --month takes YYYY-MM, or "previous" for the month before today's. A "{month}" in a file
// name becomes YYYY-MM, so that a monthly job keeps every month's file.
QString parseReportOptions(const QStringList& args, const QString& defaultWorkDir, const QDate& today,
                           ReportOptions& options);

extern const char* const kReportUsage;
