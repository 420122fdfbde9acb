// The reader's frames as they come off the line, checked in one place for every reader of
// answers: the start byte, the address, the length value and the checksum. An answer frame is
// STX, address (reader id + 0x20), two command characters, the length value L = data bytes + 3,
// the data, ETX and two checksum characters; every byte from the address to the last data byte
// travels with 0x20 added, and the checksum is the low byte of the sum of the bytes on the wire
// from the address through ETX, sent as 0x20 + high nibble and 0x20 + low nibble.
#pragma once

#include <QByteArray>
#include <QtGlobal>

struct CheckedFrame {
    bool stx = false;   // the first byte is STX
    int address = -1;   // the decoded address byte; -1 when it did not come
    int length = -1;    // the length value L; -1 when it did not come
    bool whole = false; // STX, L >= 3, all L + 5 bytes in and the checksum right
    QByteArray code;    // the decoded command code, when its two bytes came
    QByteArray data;    // with whole: the L - 3 decoded data bytes
};

// Checks the first frame of the got bytes received.
CheckedFrame checkFrame(const quint8* raw, int got);
