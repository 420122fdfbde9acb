#include "FBatch.h"

#include "BatchJob.h"
#include "Formats.h"
#include "PieGauge.h"
#include "Prompts.h"
#include "ReaderLink.h"
#include "ReaderPanel.h"
#include "RecordSink.h"
#include "UploadFiles.h"
#include "UploadWidgets.h"

#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const char* const kCaption = "수집자료 올려받기 (일괄작업)";
const char* const kTotal = "총건수";
const char* const kProgress = "진행건수";
const char* const kWorkProgress = "Work Progress";
const char* const kNothingToFetch = " 수집건수가 없습니다!";
const char* const kNoAnswer = "응답이 없습니다";
const char* const kBadAnswer = "수신데이터 에러";
const char* const kReaderFailed = "번리더 에러발생.. 다시UpLoad하세요";
const char* const kDone = "업로드가 완료되었습니다!";
const char* const kNotUploaded = "리더는 올려받지 못했습니다 (응답이 없거나 에러). 다시UpLoad하세요";
const char* const kDoneCaption = "확인";
constexpr int kCountWaitOneMs = 100;
constexpr int kClockIntervalMs = 100;
constexpr int kListPage = 500;
} // namespace

TBatch::TBatch(ReaderLink& link, QWidget* parent) : UploadDialog(link, utf8(kCaption), parent) {
    setObjectName("Batch");
    Label3 = new QLabel(utf8(kTotal), this);
    Label3->setObjectName("Label3");
    Cap1 = countPanel("Cap1");
    Label4 = new QLabel(utf8(kProgress), this);
    Label4->setObjectName("Label4");
    Cap2 = countPanel("Cap2");
    Label2 = new QLabel(utf8(kWorkProgress), this);
    Label2->setObjectName("Label2");
    Gauge1 = new PieGauge(this);
    Gauge1->setFixedSize(84, 84);
    Label2->setBuddy(Gauge1);
    layOut(
        [this](QVBoxLayout* side) {
            auto* counts = new QGridLayout;
            counts->addWidget(Label3, 0, 0);
            counts->addWidget(Label4, 0, 1);
            counts->addWidget(Cap1, 1, 0);
            counts->addWidget(Cap2, 1, 1);
            side->addLayout(counts);
            side->addSpacing(6);
            side->addWidget(Label2, 0, Qt::AlignHCenter);
            side->addWidget(Gauge1, 0, Qt::AlignHCenter);
        },
        kClockIntervalMs);
    FormCreate();
    fixSize(sizeHint().width(), sizeHint().height());
}

void TBatch::FormCreate() {
    link.SelectedReader = panel->TSBAR->value();
    ClearReaderPanels();
    Timer1Timer();
    Timer1->start();
}

void TBatch::Timer1Timer() {
    clock->sample();
}

void TBatch::Button1Click() {
    runJob([this] {
        Button1->setEnabled(false);
        struct Reenable {
            QPushButton* button;
            ~Reenable() { button->setEnabled(true); }
        } reenable{Button1};
        list->clear();
        ClearReaderPanels();
        link.ClearInput();
        if (link.SelectedReader == 0)
            UploadBatch(0, true);
        else
            UploadBatch(link.SelectedReader, false);
    });
}

// A reader held back because it may still hold a record not stored adds nothing to the total,
// but its pass collects it: the job goes on for it.
bool TBatch::countAll(int readers) {
    if (link.CheckReaders()) return false;
    link.ClearInput();
    int total = 0;
    bool waiting = false;
    for (int i = 1; i <= readers; ++i) {
        const Reply reply = batch::requestCount(link, i, batch::kCountWaitMs);
        if (reply.status == Reply::Good) total += decimalDigitsValue(batch::countDigits(reply));
        waiting = waiting || reply.status == Reply::Held;
    }
    Cap1->setText(sixDigits(total));
    Gauge1->setMaxValue(total);
    if (total == 0 && !waiting) {
        list->addLine(utf8(kNothingToFetch));
        return false;
    }
    return true;
}

bool TBatch::countOne(int id) {
    link.processEvents();
    panel->showReader(id);
    link.ClearInput();
    const Reply reply = batch::requestCount(link, id, kCountWaitOneMs);
    if (reply.status == Reply::Held) return true;
    if (reply.status == Reply::NoAnswer) {
        link.ShowNotice(utf8(kNoAnswer));
        return false;
    }
    if (reply.status != Reply::Good) {
        link.ShowNotice(utf8(kBadAnswer));
        return false;
    }
    const QString digits = batch::countDigits(reply);
    Cap1->setText(digits);
    const int count = decimalDigitsValue(digits);
    if (count == 0) {
        list->addLine(utf8(kNothingToFetch));
        return false;
    }
    Gauge1->setMaxValue(count);
    return true;
}

void TBatch::UploadBatch(int id, bool all) {
    if (!outputDirExists()) {
        reportNoOutputFolder();
        return;
    }
    const QDate day = clock->date();
    const QString name = UploadFileName('B', day.year(), day.month(), day.day());
    RotateBatchFile(name.chopped(4));
    recordCounter_ = 0;
    const int readers = link.ReaderCount;
    if (!(all ? countAll(readers) : countOne(id))) return;
    // Begun by moving the day's file aside once more: a reader settled during the count may have
    // written a record into it since.
    const std::unique_ptr<RecordSink> file = batch::beginBatchFile(day);
    std::vector<int> order;
    for (int i = all ? 1 : id; i <= (all ? readers : id); ++i) order.push_back(i);
    batch::BatchJob job(link, *file,
                        batch::BatchJob::Hooks{[this] { return stopRequested(); },
                                               [this](int reader) { panel->showReader(reader); },
                                               [&](int reader, const TPunchRecord& record, int taken) {
                                                   showRecord(reader, record, taken);
                                               },
                                               {}});
    const batch::BatchJob::Result result = job.run(order, false);
    file->close();
    if (result.last == batch::ReaderEnd::Stopped) return;
    if (result.last == batch::ReaderEnd::Failed) {
        link.ShowNotice(twoDigits(result.lastReader) + utf8(kReaderFailed));
        Button1->setEnabled(true);
        link.processEvents();
        return;
    }
    if (all) panel->showAll();
    if (!result.notUploaded.empty()) {
        prompts().message(batch::readerList(result.notUploaded) + utf8(kNotUploaded), utf8(kDoneCaption),
                          Prompts::Icon::Warning);
        return;
    }
    prompts().message(utf8(kDone), utf8(kDoneCaption), Prompts::Icon::None);
}

// The record is on the disk before it is shown and before the next request lets the reader
// forget it. The progress is the number of records this job took.
void TBatch::showRecord(int reader, const TPunchRecord& record, int taken) {
    list->addLine(FormatScreenLine(reader, record));
    marks->show(reader, seqDigits(record));
    Cap2->setText(sixDigits(taken));
    Gauge1->setProgress(taken);
    if (recordCounter_ != 0 && recordCounter_ % kListPage == 0) list->clear();
    list->scrollWithCaret();
    ++recordCounter_;
}
