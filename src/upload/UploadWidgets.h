// What the two upload dialogs show alike: the record list under its column headers, the
// last sequence number of each reader (P1..P12) and the clock panels.
#pragma once

#include "ClockSnapshot.h"

#include <QDateTime>
#include <QWidget>

#include <array>
#include <functional>

class QHBoxLayout;
class QLabel;
class QPlainTextEdit;

// The record list `Rich`, one line per record in a fixed-pitch font, under the column headers
// Panel6 ("ID"), Panel1 ("순 번"), Panel2 ("사 원 번 호"), Panel4 ("모드"), Panel3 ("날 짜  /  시 간").
class RecordList : public QWidget {
public:
    explicit RecordList(QWidget* parent);

    QPlainTextEdit* Rich;
    QLabel *Panel6, *Panel1, *Panel2, *Panel4, *Panel3;

    void clear();
    // Adds a line at the end and leaves the caret behind it, as typing it would.
    void addLine(const QString& line);
    // Keeps the newest lines in view: once the caret is past the tenth line the list scrolls
    // down by one line.
    void scrollWithCaret();
    // Record lines held (an empty list holds none).
    int lineCount() const;

private:
    QHBoxLayout* makeHeaders(int inset, int cell);
};

// P1..P12 under the reader marks "01".."12" (Label5..Label16).
class ReaderMarks : public QWidget {
public:
    explicit ReaderMarks(QWidget* parent);
    std::array<QLabel*, 12> P{};
    // Every panel shows " ".
    void clear();
    void show(int reader, const QString& text);
};

// CapDate and CapTime: the computer's date and time as last sampled.
class UploadClock : public QWidget {
public:
    explicit UploadClock(QWidget* parent);
    QLabel* CapDate;
    QLabel* CapTime;
    ClockSnapshot clock;
    // Where the time comes from: the computer's clock, or a test's.
    std::function<QDateTime()> source;
    // Samples the local date and time and shows them ("2004년 03월 15일 ", "08시 59분 30초 ").
    void sample();
    // The date as last sampled.
    QDate date() const { return QDate(clock.year, clock.month, clock.day); }
};
