// The collected records a reader holds: "C4" asks how many (six BCD digits in three bytes,
// 00 01 23 is 123); "C3" erases them all (see EraseJob), and the reader acknowledges with "C3".
#pragma once

#include <QString>

class ReaderLink;
struct Reply;

// Sends "C4" to reader, waits three ticks of the main timer (handling events) and reads the
// three-byte count.
Reply askRecordCount(ReaderLink& link, int reader);
// "  000123건" for a good answer (digits as they come, leading zeros kept), " 응답이 없음"
// when nothing came, " 데이터 에러" otherwise.
QString recordCountText(const Reply& reply);

// "수집자료가 삭제되었습니다" for an acknowledged delete, "    응답이 없습니다" when nothing came,
// "    수신데이터 에러" for a refusal or a malformed answer.
QString deleteResultText(int ackResult);
