// A reader's calendar clock: the 8-byte date and time block it exchanges with the host, the
// "B0" read and "B1" set exchanges, and the texts the clock dialogs show for them.
//
// Block: century, year, month, day, day of week (00 = Sunday), hour, minute, second, each byte
// packed BCD. 2007-12-08 (a Saturday) 13:45:30 is 20 07 12 08 06 13 45 30.
#pragma once

#include "ClockSnapshot.h"

#include <QByteArray>
#include <QString>

class ReaderLink;
struct Reply;

constexpr int kClockBlockSize = 8;

QByteArray clockBlock(const ClockSnapshot& clock);
// The computer's time as the set dialog lists it: "2007.12.08 13:45:30 ".
QString computerClockText(const ClockSnapshot& clock);
// A reader's block as "2007.12.08 13:45:30"; the day of week is not shown and the digits are
// shown as they come, unchecked.
QString readerClockText(const QByteArray& block);

// Sends "B0" to reader, sleeps 200 ms and reads the block it answers with.
Reply readReaderClock(ReaderLink& link, int reader);
// Sends "B1" with the block, sleeps 200 ms and reads the reader's answer, a "B0" carrying the
// clock as the reader now holds it.
Reply setReaderClock(ReaderLink& link, int reader, const QByteArray& block);

// The check dialog's row: "  " + the reader's time, "    응답이 없습니다", "   수신데이터 에러".
QString clockCheckText(const Reply& reply);
// The set dialog's reader column: the reader's time, "  응답이 없습니다", "   수신데이터 에러".
QString clockSetText(const Reply& reply);
