#include "UploadWidgets.h"

#include "CaptionPanel.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QVBoxLayout>

namespace {
const char* const kListFont = "굴림체";
constexpr int kListFontPixels = 15;
constexpr int kCaretScrollLine = 10;
constexpr int kHeaderHeight = 24;
// Characters of a list line under each header: " 01-", "000123 ", "  0000012345 ", "  1 ", the rest.
constexpr int kIdChars = 4, kSeqChars = 7, kEmpChars = 13, kModeChars = 4;
constexpr int kLineChars = 49;
constexpr int kVisibleLines = 13;
} // namespace

RecordList::RecordList(QWidget* parent) : QWidget(parent) {
    setObjectName("RecordList");
    Rich = new QPlainTextEdit(this);
    Rich->setObjectName("Rich");
    Rich->setReadOnly(true);
    Rich->setLineWrapMode(QPlainTextEdit::NoWrap);
    Rich->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Rich->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QFont font(QString::fromUtf8(kListFont));
    font.setPixelSize(kListFontPixels);
    font.setBold(true);
    font.setStyleHint(QFont::TypeWriter);
    Rich->setFont(font);

    // The headers stand over the columns of the list lines, so their widths follow the font.
    const QFontMetrics metrics(font);
    const int cell = metrics.horizontalAdvance(QLatin1Char('0'));
    const int inset = Rich->frameWidth() + int(Rich->document()->documentMargin());
    const int listWidth =
        2 * inset + kLineChars * cell + Rich->verticalScrollBar()->sizeHint().width() + cell;
    Rich->setFixedWidth(listWidth);
    Rich->setMinimumHeight(2 * inset + kVisibleLines * metrics.lineSpacing());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(makeHeaders(inset, cell));
    layout->addWidget(Rich);
    setFixedWidth(listWidth);
}

// The headers stand over the columns of the list lines (cell: a character's width).
QHBoxLayout* RecordList::makeHeaders(int inset, int cell) {
    QFont headerFont = this->font();
    headerFont.setBold(true);
    auto header = [&](const char* name, const char* text, int width) {
        QLabel* panel = captionPanel(this, QString::fromLatin1(name), QString::fromUtf8(text), false);
        panel->setFont(headerFont);
        panel->setFixedHeight(kHeaderHeight);
        if (width > 0) panel->setFixedWidth(width);
        return panel;
    };
    Panel6 = header("Panel6", "ID", inset + kIdChars * cell);
    Panel1 = header("Panel1", "순 번", kSeqChars * cell);
    Panel2 = header("Panel2", "사 원 번 호", kEmpChars * cell);
    Panel4 = header("Panel4", "모드", kModeChars * cell);
    Panel3 = header("Panel3", "날 짜  /  시 간", 0);

    auto* headers = new QHBoxLayout;
    headers->setSpacing(0);
    QStringList captions;
    for (QLabel* panel : {Panel6, Panel1, Panel2, Panel4, Panel3}) {
        headers->addWidget(panel);
        captions << panel->text();
    }
    // A screen reader learns the list, and its scroll bar, by the column headers above it.
    Rich->setAccessibleName(captions.join(QStringLiteral(", ")));
    Rich->verticalScrollBar()->setAccessibleName(Rich->accessibleName());
    return headers;
}

void RecordList::clear() {
    Rich->clear();
}

void RecordList::addLine(const QString& line) {
    Rich->appendPlainText(line);
    Rich->moveCursor(QTextCursor::End);
}

void RecordList::scrollWithCaret() {
    if (Rich->textCursor().blockNumber() > kCaretScrollLine)
        Rich->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
}

int RecordList::lineCount() const {
    const QTextDocument* doc = Rich->document();
    return doc->blockCount() == 1 && doc->firstBlock().length() <= 1 ? 0 : doc->blockCount();
}

ReaderMarks::ReaderMarks(QWidget* parent) : QWidget(parent) {
    setObjectName("ReaderMarks");
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setHorizontalSpacing(4);
    layout->setVerticalSpacing(1);
    QFont markFont = font();
    markFont.setBold(true);
    for (int i = 0; i < 12; ++i) {
        auto* mark = new QLabel(QStringLiteral("%1").arg(i + 1, 2, 10, QLatin1Char('0')), this);
        mark->setObjectName(QStringLiteral("Label%1").arg(i + 5));
        mark->setAlignment(Qt::AlignCenter);
        mark->setFont(markFont);
        P[std::size_t(i)] = captionPanel(this, QStringLiteral("P%1").arg(i + 1), QStringLiteral(" "));
        P[std::size_t(i)]->setFixedHeight(22);
        P[std::size_t(i)]->setMinimumWidth(52);
        P[std::size_t(i)]->setStyleSheet(QStringLiteral("background: white;"));
        layout->addWidget(mark, 0, i);
        layout->addWidget(P[std::size_t(i)], 1, i);
    }
}

void ReaderMarks::clear() {
    for (QLabel* panel : P) panel->setText(QStringLiteral(" "));
}

void ReaderMarks::show(int reader, const QString& text) {
    if (reader >= 1 && reader <= 12) P[std::size_t(reader - 1)]->setText(text);
}

UploadClock::UploadClock(QWidget* parent) : QWidget(parent) {
    setObjectName("UploadClock");
    CapDate = captionPanel(this, "CapDate", QString());
    CapTime = captionPanel(this, "CapTime", QString());
    QFont clockFont = font();
    clockFont.setBold(true);
    for (QLabel* panel : {CapDate, CapTime}) {
        panel->setFont(clockFont);
        panel->setFixedHeight(24);
    }
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(CapDate);
    layout->addWidget(CapTime);
}

void UploadClock::sample() {
    clock = source ? ClockSnapshot::of(source()) : ClockSnapshot::now();
    CapDate->setText(clock.dateText() + QStringLiteral(" "));
    CapTime->setText(clock.timeText());
}
