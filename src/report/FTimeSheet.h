// 근태 현황: the time sheet of a month from the punches the uploads collected — one row per
// person and work day, the month's totals per person — with the site's rules, a filter, one
// person's punches of a day on double-click or Enter, and the month saved as Excel, CSV or PDF.
#pragma once

#include "MonthLoad.h"

#include <QDialog>

#include <functional>
#include <memory>

class MonthLoader;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableView;
class QTimeEdit;
class QTimer;
class SheetFilter;
class SheetModel;

class TTimeSheet : public QDialog {
    Q_OBJECT
public:
    explicit TTimeSheet(QWidget* parent = nullptr);

    QDateEdit* MonthEdit;
    QLineEdit* FilterEdit;
    QTimeEdit* StartEdit;
    QTimeEdit* EndEdit;
    QSpinBox* GraceEdit;
    QTimeEdit* DayChangeEdit;
    QPushButton* ApplyButton;
    QTableView* DayGrid;
    QTableView* MonthGrid;
    QLabel* Notes;
    QPushButton* ExcelButton;
    QPushButton* CsvButton;
    QPushButton* PdfButton;
    QPushButton* CloseButton;

    // Asks where to save (caption, suggested path, file type filter); empty when cancelled. A
    // file dialog by default; tests answer it themselves.
    std::function<QString(const QString&, const QString&, const QString&)> askSavePath;

    // The month shown once it is loaded; null while it loads.
    const MonthData* month() const { return data_.get(); }
    bool loading() const;

    void ExcelButtonClick();
    void CsvButtonClick();
    void PdfButtonClick();
    void ApplyButtonClick();
    // One person's punches of a work day, for a row of the daily table.
    void showDayPunches(const QModelIndex& index);

private:
    void buildControls();
    void loadMonth();
    void monthLoaded(std::shared_ptr<MonthData> data, const QString& error);
    void showSheet();
    void setRulesControls(const ReportRules& rules);
    ReportRules rulesFromControls() const;
    QString notesText() const;
    QString monthTag() const;
    void save(const QString& caption, const QString& extension, const QString& filter,
              const std::function<void(const QString&)>& write);

    ReportRules rules_;
    std::shared_ptr<MonthData> data_;
    SheetModel* dayModel_;
    SheetModel* monthModel_;
    SheetFilter* dayFilter_;
    SheetFilter* monthFilter_;
    MonthLoader* loader_;
    QTimer* monthDelay_;
    QString loadError_;
};
