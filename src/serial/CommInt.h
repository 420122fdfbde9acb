// The serial port component: one named port opened for the readers' line, its settings as
// properties, a locked write that waits for the bytes to leave, a non-blocking read, the count of
// pending input bytes and a background thread that waits for line events.
//
// Thread safety: every operation is called from the UI thread. Read and Write are serialised
// by the component's lock. The event thread only waits for line events and hands each one to
// the UI thread synchronously; Close (and the destructor) may be called while it waits to hand
// one over and never deadlocks with it.
#pragma once

#include "CommLine.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

enum TBaudrate {
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};
enum TParity { paNone, paOdd, paEven, paMark, paSpace };
enum TStopbits { sb10, sb15, sb20 };
enum TDatabits { da4, da5, da6, da7, da8 };
enum TFlowControl { fcNone, fcCTS, fcDTR, fcSoftware, fcDefault };
enum TCommOption { coParityCheck, coDsrSensitivity, coIgnoreXOff, coErrorChar, coNullStrip };
enum TCommEventType { evBreak, evCts, evDsr, evError, evRing, evRlsd, evRxChar, evRxFlag, evTxEmpty };

// Sets of the enumerations above: bit n stands for the value of ordinal n.
using TCommOptions = std::uint8_t;
using TCommEventTypes = std::uint16_t;
constexpr TCommOptions optionBit(TCommOption o) {
    return TCommOptions(1u << o);
}
constexpr TCommEventTypes eventBit(TCommEventType e) {
    return TCommEventTypes(1u << e);
}
constexpr TCommEventTypes allCommEvents = 0x01FF;

// Bit rate of a TBaudrate value, in bit/s.
int baudRateValue(TBaudrate rate);

// Device-control flag bits of the settings block (the values of the Win32 DCB flag word).
namespace dcbflag {
constexpr std::uint32_t Binary = 0x0001;
constexpr std::uint32_t Parity = 0x0002;
constexpr std::uint32_t OutxCtsFlow = 0x0004;
constexpr std::uint32_t OutxDsrFlow = 0x0008;
constexpr std::uint32_t DtrHandshake = 0x0020;
constexpr std::uint32_t DsrSensitivity = 0x0040;
constexpr std::uint32_t TxContinueOnXoff = 0x0080;
constexpr std::uint32_t OutX = 0x0100;
constexpr std::uint32_t InX = 0x0200;
constexpr std::uint32_t ErrorChar = 0x0400;
constexpr std::uint32_t Null = 0x0800;
constexpr std::uint32_t RtsHandshake = 0x2000;
} // namespace dcbflag

// The line settings as last read from and written to the device.
struct TDeviceControlBlock {
    std::uint32_t BaudRate = 0; // bit/s
    std::uint32_t Flags = 0;    // dcbflag bits
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    std::uint8_t ByteSize = 8;
    std::uint8_t Parity = 0;   // 0..4: none, odd, even, mark, space
    std::uint8_t StopBits = 0; // 0, 1, 2: 1, 1.5, 2 stop bits
    char XonChar = 17;
    char XoffChar = 19;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;
};

class ECommError : public std::runtime_error {
public:
    // The message is the fixed text followed by " (Error: <code>) ".
    ECommError(const std::string& text, int code);
    int ErrorCode;
};

// Whether a Read, Write or InQueueCount error means the device went away: the far end hung up or
// the adapter was pulled (on Linux EIO, or ENODEV from an adapter's driver; on Windows the errors
// a vanished device gives, such as ERROR_DEVICE_REMOVED or ERROR_GEN_FAILURE). Never true for a
// failed Open, whatever its code, nor for a transfer on a closed port. The port stays open; it
// has to be closed and opened again once the device is back.
bool isLineLost(const ECommError& e);
// Whether an Open failed because another program holds the device (on Linux its lock or the
// terminal's exclusive flag, on Windows the exclusive open): the line is in use, not broken.
bool isLineBusy(const ECommError& e);
// Whether an Open failed because the device is not there (an adapter pulled out and not back yet).
bool isLineMissing(const ECommError& e);

class TCustomComm;

class TCommEventChars {
public:
    explicit TCommEventChars(TCustomComm* owner) : owner_(owner) {}
    char XonChar() const { return xon_; }
    char XoffChar() const { return xoff_; }
    char ErrorChar() const { return error_; }
    char EofChar() const { return eof_; }
    char EvtChar() const { return evt_; }
    void setXonChar(char c);
    void setXoffChar(char c);
    void setErrorChar(char c);
    void setEofChar(char c);
    void setEvtChar(char c);
    void Assign(const TCommEventChars& other);

private:
    void changed();
    TCustomComm* owner_;
    char xon_ = 17, xoff_ = 19, error_ = 0, eof_ = 0, evt_ = 0;
};

class TCommEventThread;

class TCustomComm : public CommLine {
public:
    using TNotifyEvent = std::function<void(TCustomComm*)>;
    using TCommErrorEvent = std::function<void(TCustomComm*, int errors)>;
    using TCommRxCharEvent = std::function<void(TCustomComm*, int count)>;

    TCustomComm();
    ~TCustomComm() override;
    TCustomComm(const TCustomComm&) = delete;
    TCustomComm& operator=(const TCustomComm&) = delete;

    // Opens DeviceName for this program alone, starts the event thread and applies the settings;
    // raises ECommError. The line opens without flow control (whatever an earlier program left),
    // with DTR and RTS raised; FlowControl then sets the flow control asked for.
    void Open();
    // Stops the event thread and releases the device, exclusive use included; does nothing when
    // closed.
    void Close();
    bool isOpen() const;

    // Returns once the bytes have left the device: count, or -1 when that did not happen in time
    // (a line held by flow control), and then nothing more of them is sent. In time is within
    // WriteTimeout, or within twice the bytes' time on the wire at the speed and framing set plus
    // kWriteMarginMs when that is longer.
    // Raises "Write error" when the write cannot be made (also when closed); a line that hung up
    // raises at once, never waits for the time-out.
    int Write(const void* buffer, int count) override;
    // Returns at once with what has arrived (possibly 0 bytes), or -1 on time-out.
    // Raises "Read error" when the read cannot be made (also when closed, or hung up).
    int Read(void* buffer, int count) override;
    // Bytes waiting in the input queue; -1 when closed. Clears the line's error state.
    // Raises "Read error" when the queue cannot be read (the line hung up).
    int InQueueCount() override;
    // Returns at once when closed (false) or when input is waiting.
    bool WaitInput(std::int64_t timeoutUs) override;

    // Settings that may only change while closed: a different value while open raises
    // "Port already assigned (open)"; the same value is accepted silently.
    const std::string& DeviceName() const { return deviceName_; }
    void setDeviceName(const std::string& name);
    TCommEventTypes MonitorEvents() const { return monitorEvents_; }
    void setMonitorEvents(TCommEventTypes events);
    int ReadBufSize() const { return readBufSize_; }
    void setReadBufSize(int size);
    int WriteBufSize() const { return writeBufSize_; }
    void setWriteBufSize(int size);

    // Settings applied at once when open.
    TBaudrate BaudRate() const { return baudRate_; }
    void setBaudRate(TBaudrate rate);
    TParity Parity() const { return parity_; }
    void setParity(TParity parity);
    TStopbits Stopbits() const { return stopbits_; }
    void setStopbits(TStopbits bits);
    TDatabits Databits() const { return databits_; }
    void setDatabits(TDatabits bits);
    TCommOptions Options() const { return options_; }
    void setOptions(TCommOptions options);
    TFlowControl FlowControl() const { return flowControl_; }
    void setFlowControl(TFlowControl flow);
    TCommEventChars& EventChars() { return eventChars_; }

    // Stored only.
    int ReadTimeout = 1000;
    int WriteTimeout = 1000;
    // What a write may take beyond twice its wire time: the driver's and the adapter's own delays.
    static constexpr int kWriteMarginMs = 100;

    // The settings block as last read from and written to the device.
    const TDeviceControlBlock& DeviceControlBlock() const { return dcb_; }

    TNotifyEvent OnBreak, OnCts, OnDsr, OnRing, OnRlsd, OnRxFlag, OnTxEmpty;
    TCommErrorEvent OnError;
    TCommRxCharEvent OnRxChar;

    // Reads the device settings, applies the properties and writes them back; does nothing
    // while closed. Raises "Error updating DataControlBlock".
    void UpdateDCB();

protected:
    // Opens the device for Open; raises on failure.
    virtual void CreateHandle();
    // Runs on the UI thread for each line event the event thread reports.
    void HandleEvent(std::uint32_t eventMask);

private:
    friend class TCommEventThread;
    int writeDeadlineMs(int count) const;
    struct Platform;
    std::unique_ptr<Platform> platform_;
    TDeviceControlBlock dcb_;
    std::string deviceName_ = "Com2";
    int readBufSize_ = 4096;
    int writeBufSize_ = 2048;
    TCommEventTypes monitorEvents_ = allCommEvents;
    TBaudrate baudRate_ = br9600;
    TParity parity_ = paNone;
    TStopbits stopbits_ = sb10;
    TDatabits databits_ = da8;
    std::unique_ptr<TCommEventThread> eventThread_;
    TCommEventChars eventChars_{this};
    TCommOptions options_ = 0;
    TFlowControl flowControl_ = fcDefault;
};

class TComm : public TCustomComm {};

// The device a port name stands for. On Linux "COM1".."COM4" (any case) is a link or device of
// that name in the working directory when one exists, else /dev/ttyS0../dev/ttyS3; a name that
// starts with '/' is used as it is; any other name is taken relative to the working directory.
// On Windows "COMn" (any case, any number) is the device \\.\COMn, which COM10 and up need and
// the others accept; any other name is used as it is.
std::string resolveDeviceName(const std::string& name);
