// The fixed-amount records and the two port tests. They bypass the frame format: raw bytes go
// straight to the line, and nothing is read back.
#pragma once

#include "DownloadFiles.h"

class ReaderLink;

// The record's three writes: 02 23 50 <id> 00, the 96 characters, FF.
QByteArray fixedAmountHead(const FixedAmountLine& line);
QByteArray fixedAmountTail();
void sendFixedAmount(ReaderLink& link, const FixedAmountLine& line);

// " 통신포트시험입니다" in the Korean code page: 19 bytes.
QByteArray portTestText();
// Writes the first 1, 2, ... 19 bytes of the test text, a second after each has left.
void runGrowingTextTest(ReaderLink& link);
// Five passes of 0F 10, 0F 20, ... 0F 90, half a second after each pair has left.
void runNibbleTest(ReaderLink& link);
