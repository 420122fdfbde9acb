#include "SheetPdf.h"

#include "AtomicSave.h"
#include "SheetCells.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

#include <functional>
#include <numeric>

namespace {
const QString kTitle = QStringLiteral("근태 현황  %1년 %2월");
const QString kMonthPart = QStringLiteral("월별");
const QString kDayPart = QStringLiteral("일별");
const QString kPageFoot = QStringLiteral("%1 / %2");
constexpr int kResolution = 150;
constexpr int kPointSize = 8;

// How wide each column is against the others.
const std::vector<int> kDayWeights = {10, 10, 8, 9, 8, 8, 6, 6, 6, 6, 6, 17};
const std::vector<int> kMonthWeights = {10, 8, 9, 6, 5, 7, 5, 7, 5, 7, 8, 7};

struct Table {
    QString part;
    QStringList columns;
    std::vector<int> weights;
    std::vector<int> rows;
    std::function<SheetCell(int row, int column)> cell;
};

class Pages {
public:
    Pages(QPdfWriter& writer, QPainter& painter, QString title, QString subtitle, int pageCount)
        : writer_(writer), painter_(painter), title_(std::move(title)), subtitle_(std::move(subtitle)),
          pageCount_(pageCount) {
        area_ = writer.pageLayout().paintRectPixels(kResolution);
        area_.moveTo(0, 0);
        line_ = painter.fontMetrics().height() * 3 / 2;
    }

    int rowsPerPage() const { return (area_.height() - 4 * line_) / line_ - 1; }

    void print(const Table& table) {
        const int perPage = rowsPerPage();
        for (std::size_t first = 0; first == 0 || first < table.rows.size(); first += std::size_t(perPage)) {
            newPage();
            painter_.drawText(QRect(0, 0, area_.width(), line_), Qt::AlignLeft | Qt::AlignVCenter,
                              title_ + QStringLiteral("  ·  ") + table.part);
            painter_.drawText(QRect(0, line_, area_.width(), line_), Qt::AlignLeft | Qt::AlignVCenter,
                              subtitle_);
            int y = 2 * line_;
            const std::vector<QRect> cells = columnRects(table.weights, y);
            QFont bold = painter_.font();
            bold.setBold(true);
            painter_.save();
            painter_.setFont(bold);
            for (std::size_t c = 0; c < cells.size(); ++c)
                painter_.drawText(cells[c], Qt::AlignCenter, table.columns.at(qsizetype(c)));
            painter_.restore();
            painter_.drawLine(0, y + line_, area_.width(), y + line_);
            const std::size_t last = std::min(table.rows.size(), first + std::size_t(perPage));
            for (std::size_t r = first; r < last; ++r) {
                y += line_;
                for (std::size_t c = 0; c < cells.size(); ++c) {
                    const SheetCell cell = table.cell(table.rows[r], int(c));
                    painter_.drawText(cells[c].translated(0, y - cells[c].y()).adjusted(4, 0, -4, 0),
                                      Qt::AlignVCenter | (cell.figure() ? Qt::AlignRight : Qt::AlignLeft),
                                      cell.display());
                }
            }
            painter_.drawText(QRect(0, area_.height() - line_, area_.width(), line_), Qt::AlignCenter,
                              kPageFoot.arg(page_).arg(pageCount_));
        }
    }

private:
    void newPage() {
        if (page_++ > 0) writer_.newPage();
    }

    std::vector<QRect> columnRects(const std::vector<int>& weights, int y) const {
        const int total = std::accumulate(weights.begin(), weights.end(), 0);
        std::vector<QRect> rects;
        int x = 0;
        for (const int w : weights) {
            const int width = area_.width() * w / total;
            rects.emplace_back(x, y, width, line_);
            x += width;
        }
        return rects;
    }

    QPdfWriter& writer_;
    QPainter& painter_;
    QString title_;
    QString subtitle_;
    int pageCount_;
    QRect area_;
    int line_ = 0;
    int page_ = 0;
};

int pagesFor(std::size_t rows, int perPage) {
    return std::max(1, int((rows + std::size_t(perPage) - 1) / std::size_t(perPage)));
}
} // namespace

void writeSheetPdf(const TimeSheet& sheet, const std::vector<int>& monthRows, const std::vector<int>& dayRows,
                   const QString& subtitle, const QString& path) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const QString title = kTitle.arg(sheet.year).arg(sheet.month, 2, 10, QLatin1Char('0'));
    {
        QPdfWriter writer(&buffer);
        writer.setTitle(title);
        writer.setResolution(kResolution);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                         QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter));
        QPainter painter(&writer);
        QFont font = painter.font();
        font.setPointSize(kPointSize);
        painter.setFont(font);
        const Table month{kMonthPart, kMonthColumns, kMonthWeights, monthRows, [&sheet](int r, int c) {
                              return monthCell(sheet, sheet.summary[std::size_t(r)], c);
                          }};
        const Table days{kDayPart, kDayColumns, kDayWeights, dayRows,
                         [&sheet](int r, int c) { return dayCell(sheet, sheet.days[std::size_t(r)], c); }};
        Pages probe(writer, painter, title, subtitle, 0);
        const int perPage = probe.rowsPerPage();
        Pages pages(writer, painter, title, subtitle,
                    pagesFor(monthRows.size(), perPage) + pagesFor(dayRows.size(), perPage));
        pages.print(month);
        pages.print(days);
    }
    saveAtomically(path, buffer.data());
}
