// The dialog's two tables over a month's sheet: one row per person and work day, one row per
// person for the month, and the filter on number, name and department that both share.
#pragma once

#include "TimeSheet.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>

#include <memory>

// The sheet the tables show; replaced whole when a month is loaded or the rules change.
class SheetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum class Kind { Days, Month };
    // The value a column sorts by, as a number where it has one.
    static constexpr int kSortRole = Qt::UserRole;

    explicit SheetModel(Kind kind, QObject* parent = nullptr);
    void setSheet(std::shared_ptr<const TimeSheet> sheet);
    const TimeSheet* sheet() const { return sheet_.get(); }
    // The person of a row.
    int personOf(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    Kind kind_;
    std::shared_ptr<const TimeSheet> sheet_;
};

// Rows whose number, name or department holds the filter text (in any case); sorts by value.
class SheetFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit SheetFilter(SheetModel* source, QObject* parent = nullptr);
    void setText(const QString& text);
    // The source rows shown, in the order shown.
    std::vector<int> shownRows() const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    SheetModel* model_;
    QString text_;
};
