// The settings block in Win32 DCB terms, both ways. Kept apart from the device so that the
// translation can be checked field by field without a port.
#pragma once

#include "CommInt.h"

#include <windows.h>

// Writes the block's speed, framing, flow control, limits and characters into dcb, leaving its
// other fields (DCBlength, the reserved ones) alone. Windows knows only binary transfers, so
// fBinary is always set. DTR and RTS are raised (enabled) unless the block asks for their
// handshake: a converter powered from the modem lines, or a reader that watches DTR, takes a line
// with them down as unused. fAbortOnError stays off, so that a line error never stalls the
// transfers until someone clears it.
void dcbFromBlock(const TDeviceControlBlock& block, DCB& dcb);
// The block a DCB stands for: the flags of the dcbflag word (the DTR and RTS handshakes only as
// handshakes, not the plain enabled lines) and the other fields as they are.
TDeviceControlBlock blockFromDcb(const DCB& dcb);
// The DCB of a line taken over from an earlier program: binary, no flow control of any kind (no
// CTS, DSR or XON/XOFF, no DSR sensitivity, no error-character replacement or null stripping),
// DTR and RTS raised; speed and framing as they were.
void clearFlowControl(DCB& dcb);
