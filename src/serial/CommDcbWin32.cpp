#include "CommDcbWin32.h"

void dcbFromBlock(const TDeviceControlBlock& block, DCB& dcb) {
    const std::uint32_t f = block.Flags;
    dcb.BaudRate = block.BaudRate;
    dcb.fBinary = TRUE;
    dcb.fParity = (f & dcbflag::Parity) ? TRUE : FALSE;
    dcb.fOutxCtsFlow = (f & dcbflag::OutxCtsFlow) ? TRUE : FALSE;
    dcb.fOutxDsrFlow = (f & dcbflag::OutxDsrFlow) ? TRUE : FALSE;
    dcb.fDtrControl = (f & dcbflag::DtrHandshake) ? DTR_CONTROL_HANDSHAKE : DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = (f & dcbflag::DsrSensitivity) ? TRUE : FALSE;
    dcb.fTXContinueOnXoff = (f & dcbflag::TxContinueOnXoff) ? TRUE : FALSE;
    dcb.fOutX = (f & dcbflag::OutX) ? TRUE : FALSE;
    dcb.fInX = (f & dcbflag::InX) ? TRUE : FALSE;
    dcb.fErrorChar = (f & dcbflag::ErrorChar) ? TRUE : FALSE;
    dcb.fNull = (f & dcbflag::Null) ? TRUE : FALSE;
    dcb.fRtsControl = (f & dcbflag::RtsHandshake) ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = FALSE;
    dcb.XonLim = block.XonLim;
    dcb.XoffLim = block.XoffLim;
    dcb.ByteSize = block.ByteSize;
    dcb.Parity = block.Parity;
    dcb.StopBits = block.StopBits;
    dcb.XonChar = block.XonChar;
    dcb.XoffChar = block.XoffChar;
    dcb.ErrorChar = block.ErrorChar;
    dcb.EofChar = block.EofChar;
    dcb.EvtChar = block.EvtChar;
}

TDeviceControlBlock blockFromDcb(const DCB& dcb) {
    TDeviceControlBlock block;
    block.BaudRate = dcb.BaudRate;
    std::uint32_t f = 0;
    if (dcb.fBinary) f |= dcbflag::Binary;
    if (dcb.fParity) f |= dcbflag::Parity;
    if (dcb.fOutxCtsFlow) f |= dcbflag::OutxCtsFlow;
    if (dcb.fOutxDsrFlow) f |= dcbflag::OutxDsrFlow;
    if (dcb.fDtrControl == DTR_CONTROL_HANDSHAKE) f |= dcbflag::DtrHandshake;
    if (dcb.fDsrSensitivity) f |= dcbflag::DsrSensitivity;
    if (dcb.fTXContinueOnXoff) f |= dcbflag::TxContinueOnXoff;
    if (dcb.fOutX) f |= dcbflag::OutX;
    if (dcb.fInX) f |= dcbflag::InX;
    if (dcb.fErrorChar) f |= dcbflag::ErrorChar;
    if (dcb.fNull) f |= dcbflag::Null;
    if (dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) f |= dcbflag::RtsHandshake;
    block.Flags = f;
    block.XonLim = dcb.XonLim;
    block.XoffLim = dcb.XoffLim;
    block.ByteSize = dcb.ByteSize;
    block.Parity = dcb.Parity;
    block.StopBits = dcb.StopBits;
    block.XonChar = dcb.XonChar;
    block.XoffChar = dcb.XoffChar;
    block.ErrorChar = dcb.ErrorChar;
    block.EofChar = dcb.EofChar;
    block.EvtChar = dcb.EvtChar;
    return block;
}

void clearFlowControl(DCB& dcb) {
    TDeviceControlBlock block = blockFromDcb(dcb);
    block.Flags = dcbflag::Binary | (block.Flags & dcbflag::Parity);
    dcbFromBlock(block, dcb);
}
