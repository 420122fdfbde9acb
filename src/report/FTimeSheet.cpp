#include "FTimeSheet.h"

#include "HostPaths.h"
#include "MonthCsv.h"
#include "MonthLoader.h"
#include "MonthWorkbook.h"
#include "Prompts.h"
#include "SheetCells.h"
#include "SheetModels.h"
#include "SheetPdf.h"

#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QShortcut>
#include <QSpinBox>
#include <QSplitter>
#include <QTableView>
#include <QTimeEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const QString kCaption = QStringLiteral("근태 현황");
const QString kMonthLabel = QStringLiteral("월(&M)");
const QString kMonthFormat = QStringLiteral("yyyy년 MM월");
const QString kFilterLabel = QStringLiteral("찾기(&F)");
const QString kFilterHint = QStringLiteral("사원번호, 이름, 부서");
const QString kRulesBox = QStringLiteral("기준");
const QString kStartLabel = QStringLiteral("출근 시각");
const QString kEndLabel = QStringLiteral("퇴근 시각");
const QString kGraceLabel = QStringLiteral("지각 유예(분)");
const QString kDayChangeLabel = QStringLiteral("날짜 바뀌는 시각");
const QString kApply = QStringLiteral("기준 적용(&A)");
const QString kDayTable = QStringLiteral("일별 근태");
const QString kMonthTable = QStringLiteral("월별 합계");
const QString kExcel = QStringLiteral("엑셀 저장(&E)");
const QString kCsv = QStringLiteral("CSV 저장(&C)");
const QString kPdf = QStringLiteral("PDF 저장(&P)");
const QString kClose = QStringLiteral("닫기(&X)");
const QString kLoading = QStringLiteral("%1 자료를 읽는 중입니다…");
const QString kLoaded = QStringLiteral("%1: 사원 %2명, 근무 %3건, 기록 %4건 (파일 %5개)");
const QString kNoFolder = QStringLiteral("수집자료 디렉토리(DATA2)가 없습니다");
const QString kBadLines = QStringLiteral("기록이 아닌 줄 %1개: %2");
const QString kBadLinesFile = QStringLiteral("%1 %2줄(%3번째 줄부터)");
const QString kMoreFiles = QStringLiteral(" 외 파일 %1개");
const QString kMoreRows = QStringLiteral("외 %1개");
const QString kNoEmployees = QStringLiteral("사원목록(DATA1\\EMPLOYEES.CSV)이 없어 이름 없이 보입니다");
const QString kUnreadableEmployees = QStringLiteral("사원목록을 읽을 수 없습니다 (UTF-8도 CP949도 아닙니다)");
const QString kBadRows = QStringLiteral("사원목록에서 건너뛴 줄: %1");
const QString kBadRow = QStringLiteral("%1번째(%2)");
const QString kRowProblems[] = {QStringLiteral("사원번호 없음"), QStringLiteral("사원번호에 숫자 아닌 글자"),
                                QStringLiteral("사원번호가 10자리 넘음"),
                                QStringLiteral("출퇴근 시각 형식 틀림"), QStringLiteral("사원번호 중복")};
const QString kReadError = QStringLiteral("자료를 읽지 못했습니다: %1");
const QString kPunchesCaption = QStringLiteral("개인 기록");
const QString kPunchesHead = QStringLiteral("%1  %2  %3\n%4 근무일의 기록 %5건\n");
const QString kPunchLine = QStringLiteral("%1 %2  %3  리더 %4  순번 %5");
const QString kSaved = QStringLiteral("저장했습니다\n%1");
const QString kSavedCaption = QStringLiteral("확인");
const QString kFileStem = QStringLiteral("근태현황-%1");
const QString kExcelFilter = QStringLiteral("엑셀 파일 (*.xlsx)");
const QString kCsvFilter = QStringLiteral("CSV 파일 (*.csv)");
const QString kPdfFilter = QStringLiteral("PDF 파일 (*.pdf)");
const QString kFilterNote = QStringLiteral("찾기: %1");
// Files and rows named in the notes before "외 …".
constexpr int kNamedProblems = 3;
// How long the month picker stays still before the month is read.
constexpr int kMonthDelayMs = 300;

QTime clock(int minutes) {
    return QTime(minutes / 60, minutes % 60);
}

int minutesOf(const QTime& time) {
    return time.hour() * 60 + time.minute();
}

QTableView* makeTable(QWidget* parent, const char* name, const QString& accessibleName, SheetFilter* model) {
    auto* table = new QTableView(parent);
    table->setObjectName(name);
    table->setAccessibleName(accessibleName);
    table->setModel(model);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setAlternatingRowColors(true);
    table->setWordWrap(false);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->horizontalHeader()->setDefaultSectionSize(
        table->fontMetrics().horizontalAdvance(QStringLiteral("익일 00:00")) + 16);
    table->horizontalHeader()->setStretchLastSection(true);
    table->horizontalScrollBar()->setAccessibleName(accessibleName);
    table->verticalScrollBar()->setAccessibleName(accessibleName);
    table->setSortingEnabled(true);
    // Unsorted until a header is clicked: the sheet's own order, by day and person.
    table->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    return table;
}

// "엑셀 저장" for "엑셀 저장(&E)": what a screen reader says and a file dialog is captioned.
QString withoutMnemonic(const QString& caption) {
    static const QRegularExpression mnemonic(QStringLiteral("\\(&.\\)"));
    return QString(caption).remove(mnemonic);
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAccessibleName(withoutMnemonic(caption));
    // Enter in the filter must not save a file.
    button->setAutoDefault(false);
    return button;
}

template <class Edit> Edit* labelled(QFormLayout* form, const char* name, const QString& label, Edit* edit) {
    edit->setObjectName(name);
    edit->setAccessibleName(label);
    form->addRow(label, edit);
    return edit;
}
} // namespace

TTimeSheet::TTimeSheet(QWidget* parent) : QDialog(parent) {
    setObjectName("TimeSheet");
    setWindowTitle(kCaption);
    dayModel_ = new SheetModel(SheetModel::Kind::Days, this);
    monthModel_ = new SheetModel(SheetModel::Kind::Month, this);
    dayFilter_ = new SheetFilter(dayModel_, this);
    monthFilter_ = new SheetFilter(monthModel_, this);
    loader_ = new MonthLoader(this);
    monthDelay_ = new QTimer(this);
    monthDelay_->setSingleShot(true);
    monthDelay_->setInterval(kMonthDelayMs);
    connect(monthDelay_, &QTimer::timeout, this, &TTimeSheet::loadMonth);
    askSavePath = [this](const QString& caption, const QString& suggested, const QString& filter) {
        return QFileDialog::getSaveFileName(this, caption, suggested, filter);
    };
    buildControls();
    try {
        rules_ = readRules(hostPath(kRulesFile));
    } catch (const std::exception& e) {
        loadError_ = QString::fromUtf8(e.what());
    }
    setRulesControls(rules_);
    loadMonth();
}

void TTimeSheet::buildControls() {
    MonthEdit = new QDateEdit(QDate::currentDate(), this);
    MonthEdit->setObjectName("MonthEdit");
    MonthEdit->setDisplayFormat(kMonthFormat);
    MonthEdit->setAccessibleName(withoutMnemonic(kMonthLabel));
    FilterEdit = new QLineEdit(this);
    FilterEdit->setObjectName("FilterEdit");
    FilterEdit->setPlaceholderText(kFilterHint);
    FilterEdit->setAccessibleName(withoutMnemonic(kFilterLabel));
    auto* monthLabel = new QLabel(kMonthLabel, this);
    monthLabel->setBuddy(MonthEdit);
    auto* filterLabel = new QLabel(kFilterLabel, this);
    filterLabel->setBuddy(FilterEdit);

    auto* rulesBox = new QGroupBox(kRulesBox, this);
    rulesBox->setObjectName("RulesBox");
    auto* rulesRow = new QHBoxLayout(rulesBox);
    auto* times = new QFormLayout;
    auto* more = new QFormLayout;
    StartEdit = labelled(times, "StartEdit", kStartLabel, new QTimeEdit(rulesBox));
    EndEdit = labelled(times, "EndEdit", kEndLabel, new QTimeEdit(rulesBox));
    GraceEdit = labelled(more, "GraceEdit", kGraceLabel, new QSpinBox(rulesBox));
    DayChangeEdit = labelled(more, "DayChangeEdit", kDayChangeLabel, new QTimeEdit(rulesBox));
    for (QTimeEdit* edit : {StartEdit, EndEdit, DayChangeEdit})
        edit->setDisplayFormat(QStringLiteral("HH:mm"));
    GraceEdit->setRange(0, kMaxGraceMinutes);
    ApplyButton = makeButton(rulesBox, "ApplyButton", kApply);
    rulesRow->addLayout(times);
    rulesRow->addLayout(more);
    rulesRow->addWidget(ApplyButton, 0, Qt::AlignBottom);
    rulesRow->addStretch();

    DayGrid = makeTable(this, "DayGrid", kDayTable, dayFilter_);
    MonthGrid = makeTable(this, "MonthGrid", kMonthTable, monthFilter_);
    DayGrid->horizontalHeader()->resizeSection(kDayNotes,
                                               DayGrid->horizontalHeader()->defaultSectionSize() * 2);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->setObjectName("Splitter");
    splitter->addWidget(DayGrid);
    splitter->addWidget(MonthGrid);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);

    Notes = new QLabel(this);
    Notes->setObjectName("Notes");
    Notes->setWordWrap(true);
    Notes->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    ExcelButton = makeButton(this, "ExcelButton", kExcel);
    CsvButton = makeButton(this, "CsvButton", kCsv);
    PdfButton = makeButton(this, "PdfButton", kPdf);
    CloseButton = makeButton(this, "CloseButton", kClose);

    auto* top = new QHBoxLayout;
    top->addWidget(monthLabel);
    top->addWidget(MonthEdit);
    top->addSpacing(16);
    top->addWidget(filterLabel);
    top->addWidget(FilterEdit, 1);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {ExcelButton, CsvButton, PdfButton}) buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(CloseButton);
    auto* column = new QVBoxLayout(this);
    column->addLayout(top);
    column->addWidget(rulesBox);
    column->addWidget(splitter, 1);
    column->addWidget(Notes);
    column->addLayout(buttons);
    resize(1060, 720);

    connect(MonthEdit, &QDateEdit::dateChanged, monthDelay_, qOverload<>(&QTimer::start));
    connect(FilterEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        dayFilter_->setText(text);
        monthFilter_->setText(text);
    });
    connect(ApplyButton, &QPushButton::clicked, this, &TTimeSheet::ApplyButtonClick);
    connect(ExcelButton, &QPushButton::clicked, this, &TTimeSheet::ExcelButtonClick);
    connect(CsvButton, &QPushButton::clicked, this, &TTimeSheet::CsvButtonClick);
    connect(PdfButton, &QPushButton::clicked, this, &TTimeSheet::PdfButtonClick);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(DayGrid, &QTableView::doubleClicked, this, &TTimeSheet::showDayPunches);
    auto* enter = new QShortcut(QKeySequence(Qt::Key_Return), DayGrid, nullptr, nullptr, Qt::WidgetShortcut);
    connect(enter, &QShortcut::activated, this, [this] { showDayPunches(DayGrid->currentIndex()); });
}

bool TTimeSheet::loading() const {
    return loader_->busy();
}

QString TTimeSheet::monthTag() const {
    const QDate month = MonthEdit->date();
    return QStringLiteral("%1-%2").arg(month.year()).arg(month.month(), 2, 10, QLatin1Char('0'));
}

void TTimeSheet::loadMonth() {
    monthDelay_->stop();
    data_.reset();
    loadError_.clear();
    showSheet();
    const QDate month = MonthEdit->date();
    Notes->setText(kLoading.arg(month.toString(kMonthFormat)));
    loader_->start(
        month.year(), month.month(), rules_,
        [this](std::shared_ptr<MonthData> data, const QString& error) { monthLoaded(data, error); });
}

void TTimeSheet::monthLoaded(std::shared_ptr<MonthData> data, const QString& error) {
    loadError_ = error;
    if (error.isEmpty()) data_ = std::move(data);
    showSheet();
}

void TTimeSheet::showSheet() {
    auto sheet = data_ ? std::shared_ptr<const TimeSheet>(data_, &data_->sheet) : nullptr;
    dayModel_->setSheet(sheet);
    monthModel_->setSheet(sheet);
    // A new sheet gives the columns their default widths again.
    const int numberWidth = DayGrid->fontMetrics().horizontalAdvance(QStringLiteral("0000000000")) + 16;
    DayGrid->horizontalHeader()->resizeSection(kDayNumber, numberWidth);
    MonthGrid->horizontalHeader()->resizeSection(kMonthNumber, numberWidth);
    for (QPushButton* b : {ExcelButton, CsvButton, PdfButton}) b->setEnabled(bool(data_));
    if (data_ || !loadError_.isEmpty()) Notes->setText(notesText());
}

QString TTimeSheet::notesText() const {
    if (!loadError_.isEmpty()) return kReadError.arg(loadError_);
    const PunchReading& reading = data_->reading;
    if (!reading.folderFound) return kNoFolder;
    const TimeSheet& sheet = data_->sheet;
    QStringList lines{kLoaded.arg(MonthEdit->date().toString(kMonthFormat))
                          .arg(sheet.summary.size())
                          .arg(sheet.days.size())
                          .arg(sheet.punches.size())
                          .arg(reading.filesRead)};
    if (!reading.badLines.empty()) {
        int total = 0;
        QStringList files;
        for (const BadLines& bad : reading.badLines) {
            total += bad.count;
            if (files.size() < kNamedProblems)
                files << kBadLinesFile.arg(bad.file).arg(bad.count).arg(bad.firstLine);
        }
        const int more = int(reading.badLines.size()) - int(files.size());
        lines << kBadLines.arg(total).arg(files.join(QStringLiteral(", ")) +
                                          (more > 0 ? kMoreFiles.arg(more) : QString()));
    }
    const EmployeeList& employees = data_->employees;
    if (!employees.found) lines << kNoEmployees;
    if (employees.unreadable) lines << kUnreadableEmployees;
    if (!employees.badRows.empty()) {
        QStringList rows;
        for (const BadRow& row : employees.badRows) {
            if (rows.size() == kNamedProblems) {
                rows << kMoreRows.arg(employees.badRows.size() - kNamedProblems);
                break;
            }
            rows << kBadRow.arg(row.line).arg(kRowProblems[int(row.problem)]);
        }
        lines << kBadRows.arg(rows.join(QStringLiteral(", ")));
    }
    return lines.join(QLatin1Char('\n'));
}

void TTimeSheet::setRulesControls(const ReportRules& rules) {
    StartEdit->setTime(clock(rules.start));
    EndEdit->setTime(clock(rules.end));
    GraceEdit->setValue(rules.grace);
    DayChangeEdit->setTime(clock(rules.dayChange));
}

ReportRules TTimeSheet::rulesFromControls() const {
    ReportRules rules;
    rules.start = minutesOf(StartEdit->time());
    rules.end = minutesOf(EndEdit->time());
    rules.grace = GraceEdit->value();
    rules.dayChange = minutesOf(DayChangeEdit->time());
    return rules;
}

void TTimeSheet::ApplyButtonClick() {
    const ReportRules rules = rulesFromControls();
    if (!runGuarded([&rules] { saveRules(hostPath(kRulesFile), rules); })) return;
    rules_ = rules;
    if (!data_) {
        // Still reading: read again under the new rules.
        if (loading()) loadMonth();
        return;
    }
    applyRules(*data_, rules_);
    showSheet();
}

void TTimeSheet::showDayPunches(const QModelIndex& index) {
    if (!data_ || !index.isValid()) return;
    const TimeSheet& sheet = data_->sheet;
    const DayRow& row = sheet.days[std::size_t(dayFilter_->mapToSource(index).row())];
    const SheetPerson& person = sheet.people[std::size_t(row.person)];
    QString text = kPunchesHead.arg(person.number, person.name, person.department)
                       .arg(row.day.toString(QStringLiteral("yyyy-MM-dd")))
                       .arg(row.punchCount);
    for (int i = row.firstPunch; i < row.firstPunch + row.punchCount; ++i) {
        const SheetPunch& p = sheet.punches[std::size_t(i)];
        text += QLatin1Char('\n') +
                kPunchLine.arg(punchCell(sheet, p, 0).display(), punchCell(sheet, p, 1).display(),
                               punchCell(sheet, p, 4).display(), p.punch.readerText(), p.punch.seqText());
    }
    prompts().message(text, kPunchesCaption, Prompts::Icon::Information);
}

void TTimeSheet::save(const QString& caption, const QString& extension, const QString& filter,
                      const std::function<void(const QString&)>& write) {
    if (!data_) return;
    const QString suggested = QDir::current().filePath(kFileStem.arg(monthTag()) + extension);
    const QString path = askSavePath(caption, suggested, filter);
    if (path.isEmpty()) return;
    if (runGuarded([&] { write(path); }))
        prompts().message(kSaved.arg(QDir::toNativeSeparators(path)), kSavedCaption,
                          Prompts::Icon::Information);
}

void TTimeSheet::ExcelButtonClick() {
    save(withoutMnemonic(kExcel), QStringLiteral(".xlsx"), kExcelFilter,
         [this](const QString& path) { writeMonthWorkbook(data_->sheet, path); });
}

void TTimeSheet::CsvButtonClick() {
    save(withoutMnemonic(kCsv), QStringLiteral(".csv"), kCsvFilter,
         [this](const QString& path) { writeMonthCsv(data_->sheet, path); });
}

void TTimeSheet::PdfButtonClick() {
    save(withoutMnemonic(kPdf), QStringLiteral(".pdf"), kPdfFilter, [this](const QString& path) {
        const QString filter = FilterEdit->text().trimmed();
        writeSheetPdf(data_->sheet, monthFilter_->shownRows(), dayFilter_->shownRows(),
                      filter.isEmpty() ? QString() : kFilterNote.arg(filter), path);
    });
}
