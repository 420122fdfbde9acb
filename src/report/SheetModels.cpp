#include "SheetModels.h"

#include "SheetCells.h"

namespace {
const QStringList& columnsOf(SheetModel::Kind kind) {
    return kind == SheetModel::Kind::Days ? kDayColumns : kMonthColumns;
}

bool numeric(SheetCell::Kind kind) {
    return kind != SheetCell::Text && kind != SheetCell::Empty;
}
} // namespace

SheetModel::SheetModel(Kind kind, QObject* parent) : QAbstractTableModel(parent), kind_(kind) {}

void SheetModel::setSheet(std::shared_ptr<const TimeSheet> sheet) {
    beginResetModel();
    sheet_ = std::move(sheet);
    endResetModel();
}

int SheetModel::personOf(int row) const {
    return kind_ == Kind::Days ? sheet_->days[std::size_t(row)].person
                               : sheet_->summary[std::size_t(row)].person;
}

int SheetModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !sheet_) return 0;
    return int(kind_ == Kind::Days ? sheet_->days.size() : sheet_->summary.size());
}

int SheetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(columnsOf(kind_).size());
}

QVariant SheetModel::data(const QModelIndex& index, int role) const {
    if (!sheet_ || !index.isValid()) return {};
    const std::size_t row = std::size_t(index.row());
    const SheetCell cell = kind_ == Kind::Days ? dayCell(*sheet_, sheet_->days[row], index.column())
                                               : monthCell(*sheet_, sheet_->summary[row], index.column());
    switch (role) {
    case Qt::DisplayRole:
        return cell.display();
    case Qt::TextAlignmentRole:
        return int(Qt::AlignVCenter | (cell.figure() ? Qt::AlignRight : Qt::AlignLeft));
    case kSortRole:
        if (numeric(cell.kind)) return cell.sortValue();
        return cell.display();
    default:
        return {};
    }
}

QVariant SheetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return columnsOf(kind_).value(section);
}

SheetFilter::SheetFilter(SheetModel* source, QObject* parent)
    : QSortFilterProxyModel(parent), model_(source) {
    setSourceModel(source);
    setSortRole(SheetModel::kSortRole);
}

void SheetFilter::setText(const QString& text) {
    text_ = text.trimmed();
    invalidateFilter();
}

std::vector<int> SheetFilter::shownRows() const {
    std::vector<int> rows;
    for (int r = 0; r < rowCount(); ++r) rows.push_back(mapToSource(index(r, 0)).row());
    return rows;
}

bool SheetFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    if (text_.isEmpty()) return true;
    const SheetPerson& p = model_->sheet()->people[std::size_t(model_->personOf(sourceRow))];
    for (const QString* field : {&p.number, &p.name, &p.department})
        if (field->contains(text_, Qt::CaseInsensitive)) return true;
    return false;
}

bool SheetFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    const QVariant a = left.data(SheetModel::kSortRole);
    const QVariant b = right.data(SheetModel::kSortRole);
    // Empty cells sort before every value.
    if (a.typeId() == QMetaType::Double || b.typeId() == QMetaType::Double) {
        const double x = a.typeId() == QMetaType::Double ? a.toDouble() : -1;
        const double y = b.typeId() == QMetaType::Double ? b.toDouble() : -1;
        return x < y;
    }
    return QString::localeAwareCompare(a.toString(), b.toString()) < 0;
}
