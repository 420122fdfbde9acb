#include "FOnline.h"

#include "CaptionPanel.h"
#include "CommInt.h"
#include "Formats.h"
#include "InputDrain.h"
#include "LineSession.h"
#include "OnlineSession.h"
#include "Prompts.h"
#include "ReaderLink.h"
#include "ReaderPanel.h"
#include "RecordSink.h"
#include "UploadFiles.h"
#include "UploadWidgets.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const char* const kCaption = "수집자료 올려받기 (ON-LINE)";
const char* const kIndicatorLabel = "INDICATOR";
const char* const kIndicator = "ON-LINE";
const char* const kProgress = "진행건수";
const char* const kNoReaders = "현재 연결된 리더가 없습니다";
const char* const kLineDown = " - 통신끊김: 다시 연결하는 중";
const char* const kCollecting = "번리더: 미수신 자료를 일괄 수집합니다 - ";
constexpr int kTimerIntervalMs = 10;
constexpr int kBlinkTicks = 4;
constexpr int kListPage = 500;
constexpr int kPauseStepMs = 20;
} // namespace

TOnline::TOnline(ReaderLink& link, TCustomComm& comm, QWidget* parent)
    : UploadDialog(link, utf8(kCaption), parent), comm_(comm) {
    setObjectName("Online");
    Label2 = new QLabel(utf8(kIndicatorLabel), this);
    Label2->setObjectName("Label2");
    CAPONLINE = captionPanel(this, "CAPONLINE", QString(), false);
    CAPONLINE->setEnabled(false);
    CAPONLINE->setFixedHeight(34);
    QFont indicatorFont = font();
    indicatorFont.setBold(true);
    indicatorFont.setPixelSize(18);
    CAPONLINE->setFont(indicatorFont);
    Label4 = new QLabel(utf8(kProgress), this);
    Label4->setObjectName("Label4");
    Cap1 = countPanel("Cap1");
    layOut(
        [this](QVBoxLayout* side) {
            side->addWidget(Label2);
            side->addWidget(CAPONLINE);
            side->addSpacing(6);
            side->addWidget(Label4);
            side->addWidget(Cap1);
        },
        kTimerIntervalMs);
    FormCreate();
    fixSize(sizeHint().width(), sizeHint().height());
}

void TOnline::FormCreate() {
    link.SelectedReader = panel->TSBAR->value();
    blinkCounter_ = 0;
    blinkShown_ = false;
    setIndicatorColour(Qt::red);
    ClearReaderPanels();
    clock->sample();
    Timer1->start();
}

void TOnline::setIndicatorColour(const QColor& colour) {
    indicatorColour_ = colour;
    CAPONLINE->setStyleSheet(QStringLiteral("QLabel { background: red; color: %1; }").arg(colour.name()));
}

void TOnline::Timer1Timer() {
    clock->sample();
    if (++blinkCounter_ > kBlinkTicks) {
        blinkCounter_ = 0;
        blinkShown_ = !blinkShown_;
        CAPONLINE->setText(blinkShown_ ? utf8(kIndicator) : QString());
    }
}

void TOnline::Button1Click() {
    runJob([this] {
        Button1->setEnabled(false);
        setIndicatorColour(Qt::white);
        list->clear();
        drainInput(link.Comm);
        if (link.SelectedReader == 0)
            RunOnline(0, true);
        else
            RunOnline(link.SelectedReader, false);
    });
}

void TOnline::done(int result) {
    FormClose();
    ReaderDialog::done(result);
}

void TOnline::FormClose() {
    runGuarded([this] {
        comm_.Close();
        comm_.Open();
    });
}

void TOnline::RunOnline(int id, bool all) {
    recordCounter_ = 0;
    if (!outputDirExists()) {
        setIndicatorColour(Qt::red);
        reportNoOutputFolder();
        return;
    }
    const int readers = link.ReaderCount;
    const int first = all ? 1 : id;
    const int last = all ? readers : id;
    int taken = 0;
    online::OnlineSession session(
        link, [this] { return stopRequested(); },
        online::OnlineSession::Hooks{[this] { return clock->date(); },
                                     [&](int reader, const TPunchRecord& record, const Verdict& verdict) {
                                         showRecord(reader, record, verdict, ++taken);
                                     },
                                     {},
                                     {},
                                     [this](int reader, const QString& path) {
                                         list->addLine(QLatin1Char(' ') + twoDigits(reader) +
                                                       utf8(kCollecting) + QFileInfo(path).fileName());
                                     }});
    runCycles(session, first, last);
    session.close();
}

// Cycle after cycle until the operator stops the run or no reader answers any more; a lost line
// is ridden through.
void TOnline::runCycles(online::OnlineSession& session, int first, int last) {
    LineSession line(link, [this] { return clock->date(); });
    for (;;) {
        link.processEvents();
        if (stopRequested()) return;
        if (session.idleTooLong()) {
            link.ShowNotice(utf8(kNoReaders));
            setIndicatorColour(Qt::red);
            return;
        }
        try {
            link.runOnLine([&] {
                if (lineDown_) showLine(true, line);
                session.cycle(first, last);
            });
        } catch (const LineLost&) {
            showLine(false, line);
            pauseRun(line.waitAfterLoss());
        } catch (const std::exception& e) {
            // The port does not open again yet (the adapter is still out, or another program
            // took it): tried again later — soon while the adapter is out.
            if (!lineDown_) throw;
            pauseRun(line.waitBeforeRetry(e));
        }
    }
}

// A lost line is shown in the dialog's caption (and by the main window's port indicator), not
// in a box that would hold the run: the run opens the port again by itself once it is back.
void TOnline::showLine(bool up, LineSession& line) {
    lineDown_ = !up;
    const qint64 nowMs = QDateTime::currentMSecsSinceEpoch();
    if (up)
        line.opened(nowMs);
    else
        line.lost(nowMs);
    setWindowTitle(up ? utf8(kCaption) : utf8(kCaption) + utf8(kLineDown));
    setIndicatorColour(up ? Qt::white : Qt::red);
}

void TOnline::pauseRun(int ms) {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < ms && !stopRequested()) {
        link.processEvents();
        link.sleep(kPauseStepMs);
    }
}

// The record is on the disk already: before its sequence number was judged (which raises for
// digits that are not decimal), before the gap notice, which waits for the operator, and before
// it is listed, so that every listed record is in the file whatever happens next.
void TOnline::showRecord(int reader, const TPunchRecord& record, const Verdict& verdict, int taken) {
    marks->show(reader, seqDigits(record));
    if (verdict.expected >= 0) link.ShowNotice(LineSession::gapNotice(reader, verdict.expected));
    Cap1->setText(sixDigits(taken));
    if (recordCounter_ % kListPage == 0) list->clear();
    ++recordCounter_;
    list->addLine(FormatScreenLine(reader, record));
    list->scrollWithCaret();
}
