// The 근태 현황 dialog driven as the clerk drives it, on the month in tests/report/month: a
// month chosen, the sheet read in the background, a filter typed, a column sorted, a day's
// punches opened, the rules changed, the month saved as Excel, CSV and PDF.
#include "FTimeSheet.h"
#include "ReportRules.h"
#include "ReportTests.h"
#include "Screenshots.h"
#include "ScriptedPrompts.h"
#include "TestGroups.h"

#include <QDateEdit>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

namespace {
void copyMonth(const QString& to) {
    for (const QString& folder : {QStringLiteral("DATA1"), QStringLiteral("DATA2")}) {
        const QDir from(QStringLiteral(QRX_REPORT_MONTH) + QLatin1Char('/') + folder);
        QDir().mkpath(to + QLatin1Char('/') + folder);
        for (const QString& name : from.entryList(QDir::Files))
            QFile::copy(from.filePath(name), to + QLatin1Char('/') + folder + QLatin1Char('/') + name);
    }
}

QString cellText(QTableView* table, int row, int column) {
    return table->model()->index(row, column).data().toString();
}

QStringList column(QTableView* table, int c) {
    QStringList texts;
    for (int r = 0; r < table->model()->rowCount(); ++r) texts << cellText(table, r, c);
    return texts;
}

// Typed as an input method hands Hangul over: key events that carry the syllables.
void typeText(QWidget* widget, const QString& text) {
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

bool loadedMarch(TTimeSheet& dialog) {
    return dialog.month() && dialog.month()->month == 3 && !dialog.loading();
}
} // namespace

class DialogTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void initTestCase() {
        copyMonth(dir.path());
        QVERIFY(QDir::setCurrent(dir.path()));
    }

    void init() { QFile::remove(QStringLiteral("REPORT.INI")); }

    void monthFilteredSortedAndSaved() {
        ScriptedPrompts boxes;
        TTimeSheet dialog;
        // The month is read in the background: the window is up before the punches are.
        QVERIFY(dialog.loading());
        QVERIFY(!dialog.month());
        QVERIFY(!dialog.ExcelButton->isEnabled());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        dialog.MonthEdit->setFocus();
        dialog.MonthEdit->setDate(QDate(2024, 3, 1));
        QTRY_VERIFY_WITH_TIMEOUT(loadedMarch(dialog), 20000);
        QVERIFY(dialog.ExcelButton->isEnabled());
        QCOMPARE(dialog.DayGrid->model()->rowCount(), 8);
        QCOMPARE(dialog.MonthGrid->model()->rowCount(), 4);
        QCOMPARE(cellText(dialog.DayGrid, 0, 1), QStringLiteral("0000001234"));
        QCOMPARE(cellText(dialog.DayGrid, 1, 5), QStringLiteral("익일 06:10"));
        const QString notes = dialog.Notes->text();
        QVERIFY2(notes.contains(QStringLiteral("사원 4명, 근무 8건, 기록 18건")), qPrintable(notes));
        QVERIFY2(notes.contains(QStringLiteral("기록이 아닌 줄 3개: B20240305.TXT 3줄(5번째 줄부터)")),
                 qPrintable(notes));
        QVERIFY2(notes.contains(
                     QStringLiteral("사원목록에서 건너뛴 줄: 5번째(사원번호 없음), 6번째(사원번호 중복), "
                                    "7번째(출퇴근 시각 형식 틀림), 외 1개")),
                 qPrintable(notes));

        typeText(dialog.FilterEdit, QStringLiteral("영업"));
        QCOMPARE(column(dialog.DayGrid, 2), (QStringList{"홍길동", "홍길동", "홍길동"}));
        QCOMPARE(column(dialog.MonthGrid, 0), QStringList{"0000001234"});
        dialog.FilterEdit->clear();
        QTest::keyClicks(dialog.FilterEdit, QStringLiteral("9999"));
        QCOMPARE(column(dialog.DayGrid, 0), (QStringList{"2024-03-04", "2024-03-20"}));
        dialog.FilterEdit->clear();
        QCOMPARE(dialog.DayGrid->model()->rowCount(), 8);

        // 근무 sorted by its value, not its text ("16:30" after "9:00"); a day without it first.
        dialog.DayGrid->horizontalHeader()->setSortIndicator(7, Qt::AscendingOrder);
        QCOMPARE(column(dialog.DayGrid, 7),
                 (QStringList{"", "8:07", "8:35", "8:45", "9:00", "9:00", "9:00", "16:30"}));
        dialog.DayGrid->horizontalHeader()->setSortIndicator(7, Qt::DescendingOrder);
        QCOMPARE(cellText(dialog.DayGrid, 0, 7), QStringLiteral("16:30"));

        // A night worked over midnight, opened by double-click: both punches of the work day.
        const QModelIndex night = dialog.DayGrid->model()->index(0, 2);
        dialog.DayGrid->scrollTo(night);
        const QPoint at = dialog.DayGrid->visualRect(night).center();
        // The first click of the two, as a hand makes it: the view takes a double click only
        // on the row its button went down on.
        QTest::mouseClick(dialog.DayGrid->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(dialog.DayGrid->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(boxes.boxes[0].caption, QStringLiteral("개인 기록"));
        QCOMPARE(boxes.boxes[0].text, QStringLiteral("0000000042  이영희  관리부, 총무\n"
                                                     "2024-03-07 근무일의 기록 2건\n\n"
                                                     "2024-03-07 09:00:00  출근  리더 01  순번 000109\n"
                                                     "2024-03-08 01:30:00  퇴근  리더 01  순번 000110"));
        dialog.DayGrid->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
        saveDesktopPicture(&dialog, QStringLiteral("time-sheet"));

        const QString saved = dir.filePath(QStringLiteral("saved"));
        QDir().mkpath(saved);
        QStringList asked;
        dialog.askSavePath = [&](const QString& caption, const QString& suggested, const QString&) {
            asked << caption + '|' + QFileInfo(suggested).fileName();
            return saved + QLatin1Char('/') + QFileInfo(suggested).fileName();
        };
        boxes.boxes.clear();
        dialog.ExcelButton->click();
        dialog.CsvButton->click();
        dialog.PdfButton->click();
        QCOMPARE(asked, (QStringList{"엑셀 저장|근태현황-2024-03.xlsx", "CSV 저장|근태현황-2024-03.csv",
                                     "PDF 저장|근태현황-2024-03.pdf"}));
        QVERIFY(readFile(saved + QStringLiteral("/근태현황-2024-03.xlsx")).startsWith("PK"));
        QVERIFY(readFile(saved + QStringLiteral("/근태현황-2024-03.csv"))
                    .startsWith("\xEF\xBB\xBF날짜,사원번호"));
        QVERIFY(readFile(saved + QStringLiteral("/근태현황-2024-03.pdf")).startsWith("%PDF"));
        QCOMPARE(boxes.texts().size(), 3);
        QCOMPARE(boxes.texts().at(0), QStringLiteral("저장했습니다\n") +
                                          QDir::toNativeSeparators(saved + "/근태현황-2024-03.xlsx"));

        // Cancelled: nothing written, nothing said.
        dialog.askSavePath = [](const QString&, const QString&, const QString&) { return QString(); };
        dialog.ExcelButton->click();
        QCOMPARE(boxes.boxes.size(), 3);
        // A folder that is not there: the error box, no completion box.
        dialog.askSavePath = [&](const QString&, const QString&, const QString&) {
            return dir.filePath(QStringLiteral("no/such/folder/x.xlsx"));
        };
        dialog.ExcelButton->click();
        QCOMPARE(boxes.boxes.size(), 4);
        QCOMPARE(boxes.boxes[3].caption, kProgramName);
        QVERIFY2(boxes.boxes[3].text.contains(QStringLiteral("x.xlsx")), qPrintable(boxes.boxes[3].text));
    }

    // A grace of 15 minutes: 09:12 is no longer late; the rules are kept for the next time.
    void rulesChangedAndKept() {
        TTimeSheet dialog;
        dialog.MonthEdit->setDate(QDate(2024, 3, 1));
        QTRY_VERIFY_WITH_TIMEOUT(loadedMarch(dialog), 20000);
        QCOMPARE(cellText(dialog.DayGrid, 3, 8), QStringLiteral("0:12"));
        dialog.GraceEdit->setValue(15);
        dialog.ApplyButton->click();
        QCOMPARE(cellText(dialog.DayGrid, 3, 8), QString());
        QCOMPARE(readRules(QStringLiteral("REPORT.INI")).grace, 15);
        TTimeSheet again;
        QCOMPARE(again.GraceEdit->value(), 15);
    }

    // Closing while a month is read waits for the reading thread, which then delivers nowhere.
    void closedWhileReading() {
        auto* dialog = new TTimeSheet;
        dialog->MonthEdit->setDate(QDate(2024, 3, 1));
        QVERIFY(dialog->loading());
        delete dialog;
        QTest::qWait(50);
    }

    void noOutputFolder() {
        QTemporaryDir bare;
        QVERIFY(QDir::setCurrent(bare.path()));
        TTimeSheet dialog;
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.loading(), 20000);
        QCOMPARE(dialog.Notes->text(), QStringLiteral("수집자료 디렉토리(DATA2)가 없습니다"));
        QCOMPARE(dialog.DayGrid->model()->rowCount(), 0);
        QVERIFY(QDir::setCurrent(dir.path()));
    }
};

int runDialogTests(int argc, char** argv) {
    DialogTest test;
    return runGroup(test, argc, argv);
}

#include "DialogTest.moc"
