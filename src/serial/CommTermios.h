// The settings block in termios terms, both ways. Kept apart from the device so that the
// translation can be checked bit by bit: a pseudo-terminal keeps neither data bits nor parity.
#pragma once

#include "CommInt.h"

#include <termios.h>

// Writes dcb's speed, framing, flow control and XON/XOFF characters into tio, leaving its other
// bits alone; 0, or EINVAL (tio untouched) for what termios cannot express.
int termiosFromBlock(const TDeviceControlBlock& dcb, termios& tio);
// The block a terminal's settings stand for; flags always carry Binary.
TDeviceControlBlock blockFromTermios(const termios& tio);
