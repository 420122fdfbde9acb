// What the sheet writes, and qrx-report: files whole or not at all, the command's options and
// its exit codes and messages.
#include "AtomicSave.h"
#include "FileError.h"
#include "MonthWorkbook.h"
#include "ReportOptions.h"
#include "ReportTests.h"
#include "TestGroups.h"
#include "TimeSheet.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {
struct Run {
    int code = -1;
    QString errors;
};

// qrx-report with the arguments; limitBytes > 0 makes every file it writes fail past that size,
// as a full disk does.
Run runReport(const QStringList& args, rlim_t limitBytes = 0) {
    QProcess process;
    process.setChildProcessModifier([limitBytes] {
        if (limitBytes == 0) return;
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{limitBytes, limitBytes};
        setrlimit(RLIMIT_FSIZE, &limit);
    });
    process.start(QStringLiteral(QRX_REPORT_PATH), args);
    if (!process.waitForFinished(60000)) return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardError())};
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}
} // namespace

class OutputTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void options_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("month");
        QTest::addColumn<QString>("xlsx");
        QTest::newRow("month and workbook") << QStringList{"--month", "2024-03", "--xlsx", "a.xlsx"} << ""
                                            << "2024-3"
                                            << "a.xlsx";
        QTest::newRow("previous month across the new year, named in the file")
            << QStringList{"--month", "previous", "--xlsx", "근태-{month}.xlsx"} << ""
            << "2023-12"
            << "근태-2023-12.xlsx";
        QTest::newRow("month 13") << QStringList{"--month", "2024-13", "--csv", "a.csv"}
                                  << "--month takes YYYY-MM (2024-03) or previous, not 2024-13"
                                  << ""
                                  << "";
        QTest::newRow("month without its zero") << QStringList{"--month", "2024-3", "--csv", "a.csv"}
                                                << "--month takes YYYY-MM (2024-03) or previous, not 2024-3"
                                                << ""
                                                << "";
        QTest::newRow("no month") << QStringList{"--csv", "a.csv"} << "--month is missing"
                                  << ""
                                  << "";
        QTest::newRow("nothing to write")
            << QStringList{"--month", "2024-03"} << "nothing to write: give --xlsx or --csv"
            << ""
            << "";
        QTest::newRow("a value missing")
            << QStringList{"--month", "2024-03", "--xlsx"} << "--xlsx needs a value"
            << ""
            << "";
        QTest::newRow("unknown") << QStringList{"--months", "2024-03"} << "unknown option: --months"
                                 << ""
                                 << "";
    }
    void options() {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        QFETCH(QString, month);
        QFETCH(QString, xlsx);
        ReportOptions options;
        QCOMPARE(parseReportOptions(args, QStringLiteral("/w"), QDate(2024, 1, 15), options), error);
        if (!error.isEmpty()) return;
        QCOMPARE(QStringLiteral("%1-%2").arg(options.year).arg(options.month), month);
        QCOMPARE(options.xlsx, xlsx);
        QCOMPARE(options.workDir, QStringLiteral("/w"));
    }

    // A write that fails leaves the earlier file as it was and nothing else beside it.
    void aFailedSaveKeepsTheEarlierFile() {
        const QString folder = dir.filePath(QStringLiteral("save"));
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QStringLiteral("/month.csv");
        saveAtomically(path, "old");
        saveAtomically(path, "new");
        QCOMPARE(readFile(path), QByteArray("new"));
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit limit = old;
        limit.rlim_cur = 1000;
        setrlimit(RLIMIT_FSIZE, &limit);
        bool failed = false;
        try {
            saveAtomically(path, QByteArray(5000, 'x'));
        } catch (const FileError&) {
            failed = true;
        }
        setrlimit(RLIMIT_FSIZE, &old);
        QVERIFY(failed);
        QCOMPARE(readFile(path), QByteArray("new"));
        QCOMPARE(filesIn(folder), QStringList{"month.csv"});
        QVERIFY_THROWS_EXCEPTION(FileError, saveAtomically(path + QStringLiteral("/under-a-file.csv"), "x"));
    }

    void commandErrors() {
        const QString month = QStringLiteral(QRX_REPORT_MONTH);
        Run run = runReport({"--workdir", month, "--month", "2024-13", "--xlsx", "x.xlsx"});
        QCOMPARE(run.code, 2);
        QVERIFY2(run.errors.startsWith("qrx-report: --month takes YYYY-MM"), qPrintable(run.errors));

        run = runReport(
            {"--workdir", dir.filePath(QStringLiteral("nowhere")), "--month", "2024-03", "--csv", "x.csv"});
        QCOMPARE(run.code, 1);
        QVERIFY2(run.errors.contains("cannot work in " + dir.filePath(QStringLiteral("nowhere")) +
                                     ": no such folder"),
                 qPrintable(run.errors));

        const QString empty = dir.filePath(QStringLiteral("empty"));
        QVERIFY(QDir().mkpath(empty));
        run = runReport({"--workdir", empty, "--month", "2024-03", "--csv", dir.filePath("x.csv")});
        QCOMPARE(run.code, 1);
        QVERIFY2(run.errors.contains("no DATA2 folder in " + empty), qPrintable(run.errors));
        QVERIFY(!QFile::exists(dir.filePath("x.csv")));

        const QString blocker = dir.filePath(QStringLiteral("a-file"));
        writeFile(blocker, "x");
        run = runReport({"--workdir", month, "--month", "2024-03", "--xlsx", blocker + "/month.xlsx"});
        QCOMPARE(run.code, 1);
        QVERIFY2(run.errors.contains(blocker + "/month.xlsx"), qPrintable(run.errors));
    }

    // The disk fills up while the workbook is written: the earlier workbook stays whole.
    void commandOnAFullDisk() {
        const QString out = dir.filePath(QStringLiteral("full"));
        QVERIFY(QDir().mkpath(out));
        const QString xlsx = out + QStringLiteral("/month.xlsx");
        const QStringList args{"--workdir", QStringLiteral(QRX_REPORT_MONTH), "--month", "2024-03", "--xlsx",
                               xlsx};
        QCOMPARE(runReport(args).code, 0);
        const QByteArray whole = readFile(xlsx);
        QVERIFY(whole.startsWith("PK"));
        const Run run = runReport(args, rlim_t(whole.size() / 2));
        QCOMPARE(run.code, 1);
        QVERIFY2(run.errors.contains("month.xlsx"), qPrintable(run.errors));
        QCOMPARE(readFile(xlsx), whole);
        QCOMPARE(filesIn(out), QStringList{"month.xlsx"});
    }
};

int runOutputTests(int argc, char** argv) {
    OutputTest test;
    return runGroup(test, argc, argv);
}

#include "OutputTest.moc"
