// The status poll of the communication check: one "A0" to a reader and the line its row shows.
#pragma once

#include <QString>

class ReaderLink;
struct Reply;

// The reader answers "A0" with one data byte, 'C' while it works normally.
constexpr quint8 kReaderNormal = 'C';

// Sends "A0" to reader, waits 300 ms without handling events and reads the one-byte answer.
Reply pollStatus(ReaderLink& link, int reader);
// "  통신성공 - 정상작동중" for a good answer carrying 'C', "    수신 데이터 이상" for any other
// byte, "  리더가 응답이없습니다" when nothing came, "     수신데이터 에러" otherwise.
QString statusText(const Reply& reply);
