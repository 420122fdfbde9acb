#include "CommInt.h"
#include "CommEventThread.h"
#include "CommPlatform.h"
#include "SerialLog.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace {

const char* const kAlreadyOpen = "Port already assigned (open)";
const char* const kCannotOpen = "Error accessing specified device";
const char* const kNotCharDevice = "Invalid device handle, access denied";
const char* const kBufferSizes = "Error initializing Read/Write Buffers";
const char* const kWriteError = "Write error";
const char* const kReadError = "Read error";
const char* const kSettings = "Error updating DataControlBlock";
const char* const kTimeouts = "Error updating CommTimeouts";

[[noreturn]] void raiseCommError(const char* text, int code) {
    ECommError error(text, code);
    qCDebug(lcSerial) << "error:" << error.what();
    throw error;
}

void checkClosed(bool open) {
    if (open) raiseCommError(kAlreadyOpen, -1);
}

constexpr std::uint32_t kOptionFlags[] = {dcbflag::Parity, dcbflag::DsrSensitivity, dcbflag::TxContinueOnXoff,
                                          dcbflag::ErrorChar, dcbflag::Null};

} // namespace

ECommError::ECommError(const std::string& text, int code)
    : std::runtime_error(text + " (Error: " + std::to_string(code) + ") "), ErrorCode(code) {}

// A transfer error means a lost line only when the platform says its code does; an open that
// fails with any code is not a lost line: there was none yet.
bool isLineLost(const ECommError& e) {
    const auto raisedBy = [&e](const char* text) {
        return std::strncmp(e.what(), text, std::strlen(text)) == 0;
    };
    return (raisedBy(kReadError) || raisedBy(kWriteError)) && isLostLineError(e.ErrorCode);
}

bool isLineBusy(const ECommError& e) {
    return std::strncmp(e.what(), kCannotOpen, std::strlen(kCannotOpen)) == 0 &&
           isBusyDeviceError(e.ErrorCode);
}

bool isLineMissing(const ECommError& e) {
    return std::strncmp(e.what(), kCannotOpen, std::strlen(kCannotOpen)) == 0 &&
           isMissingDeviceError(e.ErrorCode);
}

int baudRateValue(TBaudrate rate) {
    static constexpr int values[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                     19200, 38400, 56000, 57600, 115200, 128000, 256000};
    return values[rate];
}

std::uint32_t eventMaskOf(TCommEventTypes events) {
    static constexpr std::uint32_t bits[] = {commevent::Break,  commevent::Cts,    commevent::Dsr,
                                             commevent::Err,    commevent::Ring,   commevent::Rlsd,
                                             commevent::RxChar, commevent::RxFlag, commevent::TxEmpty};
    std::uint32_t mask = 0;
    for (int e = evBreak; e <= evTxEmpty; ++e)
        if (events & eventBit(TCommEventType(e))) mask |= bits[e];
    return mask;
}

void TCommEventChars::setXonChar(char c) {
    xon_ = c;
    changed();
}
void TCommEventChars::setXoffChar(char c) {
    xoff_ = c;
    changed();
}
void TCommEventChars::setErrorChar(char c) {
    error_ = c;
    changed();
}
void TCommEventChars::setEofChar(char c) {
    eof_ = c;
    changed();
}
void TCommEventChars::setEvtChar(char c) {
    evt_ = c;
    changed();
}

void TCommEventChars::Assign(const TCommEventChars& other) {
    xon_ = other.xon_;
    xoff_ = other.xoff_;
    error_ = other.error_;
    eof_ = other.eof_;
    evt_ = other.evt_;
    changed();
}

void TCommEventChars::changed() {
    if (owner_) owner_->UpdateDCB();
}

// The component's private state: the open device (null while closed) and the lock that
// serialises Read and Write.
struct TCustomComm::Platform {
    std::unique_ptr<CommDevice> device;
    std::mutex io;
};

TCustomComm::TCustomComm() : platform_(std::make_unique<Platform>()) {}

TCustomComm::~TCustomComm() {
    Close();
}

bool TCustomComm::isOpen() const {
    return platform_->device != nullptr;
}

void TCustomComm::CreateHandle() {
    const std::string path = resolveDeviceName(deviceName_);
    int error = 0;
    std::unique_ptr<CommDevice> device = openCommDevice(path, error);
    if (!device) {
        qCDebug(lcSerial) << "cannot open" << deviceName_.c_str() << "as" << path.c_str();
        raiseCommError(kCannotOpen, error);
    }
    if (!device->isCharacterDevice()) raiseCommError(kNotCharDevice, -1);
    platform_->device = std::move(device);
    qCDebug(lcSerial) << "opened" << deviceName_.c_str() << "as" << path.c_str();
}

// The port comes up fully set or not at all: a port left open with half its settings would be
// taken for a working line, and kept by its caller while that reports it closed. The event thread
// starts last, once there is nothing left to fail.
void TCustomComm::Open() {
    checkClosed(isOpen());
    CreateHandle();
    try {
        CommDevice& device = *platform_->device;
        if (int error = device.makeReadsReturnAtOnce()) raiseCommError(kTimeouts, error);
        UpdateDCB();
        if (int error = device.setQueueSizes(readBufSize_, writeBufSize_))
            raiseCommError(kBufferSizes, error);
        eventThread_ = std::make_unique<TCommEventThread>(*this, device, eventMaskOf(monitorEvents_));
    } catch (...) {
        Close();
        throw;
    }
}

void TCustomComm::Close() {
    if (!isOpen()) return;
    if (eventThread_) eventThread_->Stop();
    eventThread_.reset();
    platform_->device.reset();
    qCDebug(lcSerial) << "closed" << deviceName_.c_str();
}

// A fixed WriteTimeout would cut a long frame on a slow line: 200 bytes take 1.7 s at 1200 bit/s.
int TCustomComm::writeDeadlineMs(int count) const {
    const int stopBits = stopbits_ == sb10 ? 1 : 2; // one and a half counted as two
    const int bits = 1 + (databits_ + 4) + (parity_ == paNone ? 0 : 1) + stopBits;
    const long long wireMs =
        (std::max(count, 0) * 1000LL * bits + baudRateValue(baudRate_) - 1) / baudRateValue(baudRate_);
    return int(std::max<long long>(WriteTimeout, 2 * wireMs + kWriteMarginMs));
}

int TCustomComm::Write(const void* buffer, int count) {
    std::lock_guard<std::mutex> lock(platform_->io);
    if (!isOpen()) raiseCommError(kWriteError, kPortClosedError);
    const int deadlineMs = writeDeadlineMs(count);
    const CommTransfer done = platform_->device->write(buffer, count, deadlineMs);
    if (done.error) raiseCommError(kWriteError, done.error);
    if (done.count < 0) qCDebug(lcSerial) << "write timed out after" << deadlineMs << "ms, its rest dropped";
    return done.count;
}

int TCustomComm::Read(void* buffer, int count) {
    std::lock_guard<std::mutex> lock(platform_->io);
    if (!isOpen()) raiseCommError(kReadError, kPortClosedError);
    const CommTransfer done = platform_->device->read(buffer, count);
    if (done.error) raiseCommError(kReadError, done.error);
    return done.count;
}

// A line whose queue cannot be read (hung up, unplugged) raises rather than reporting an empty
// queue for ever.
int TCustomComm::InQueueCount() {
    if (!isOpen()) return -1;
    std::uint32_t errors = 0;
    platform_->device->clearErrors(errors);
    int count = 0;
    if (int error = platform_->device->queueCount(count)) raiseCommError(kReadError, error);
    return count;
}

bool TCustomComm::WaitInput(std::int64_t timeoutUs) {
    if (!isOpen()) return false;
    return platform_->device->waitInput(timeoutUs);
}

void TCustomComm::setDeviceName(const std::string& name) {
    if (name == deviceName_) return;
    checkClosed(isOpen());
    deviceName_ = name;
}

void TCustomComm::setMonitorEvents(TCommEventTypes events) {
    if (events == monitorEvents_) return;
    checkClosed(isOpen());
    monitorEvents_ = events;
}

void TCustomComm::setReadBufSize(int size) {
    if (size == readBufSize_) return;
    checkClosed(isOpen());
    readBufSize_ = size;
}

void TCustomComm::setWriteBufSize(int size) {
    if (size == writeBufSize_) return;
    checkClosed(isOpen());
    writeBufSize_ = size;
}

void TCustomComm::setBaudRate(TBaudrate rate) {
    if (rate == baudRate_) return;
    baudRate_ = rate;
    UpdateDCB();
}

void TCustomComm::setParity(TParity parity) {
    if (parity == parity_) return;
    parity_ = parity;
    UpdateDCB();
}

void TCustomComm::setStopbits(TStopbits bits) {
    if (bits == stopbits_) return;
    stopbits_ = bits;
    UpdateDCB();
}

void TCustomComm::setDatabits(TDatabits bits) {
    if (bits == databits_) return;
    databits_ = bits;
    UpdateDCB();
}

void TCustomComm::setOptions(TCommOptions options) {
    if (options == options_) return;
    options_ = options;
    UpdateDCB();
}

void TCustomComm::setFlowControl(TFlowControl flow) {
    if (flow == flowControl_) return;
    flowControl_ = flow;
    UpdateDCB();
}

void TCustomComm::UpdateDCB() {
    if (!isOpen()) return;
    CommDevice& device = *platform_->device;
    TDeviceControlBlock dcb;
    if (int error = device.readSettings(dcb)) raiseCommError(kSettings, error);

    dcb.BaudRate = std::uint32_t(baudRateValue(baudRate_));
    dcb.Parity = std::uint8_t(parity_);
    dcb.StopBits = std::uint8_t(stopbits_);
    dcb.ByteSize = std::uint8_t(databits_ + 4);
    dcb.XonChar = eventChars_.XonChar();
    dcb.XoffChar = eventChars_.XoffChar();
    dcb.ErrorChar = eventChars_.ErrorChar();
    dcb.EofChar = eventChars_.EofChar();
    dcb.EvtChar = eventChars_.EvtChar();
    dcb.XonLim = dcb.XoffLim = std::uint16_t(readBufSize_ / 4);

    switch (flowControl_) {
    case fcNone:
        dcb.Flags = dcbflag::Binary;
        break;
    case fcCTS:
        dcb.Flags |= dcbflag::OutxCtsFlow | dcbflag::RtsHandshake;
        break;
    case fcDTR:
        dcb.Flags |= dcbflag::OutxDsrFlow | dcbflag::DtrHandshake;
        break;
    case fcSoftware:
        dcb.Flags |= dcbflag::OutX | dcbflag::InX;
        break;
    case fcDefault:
        break;
    }
    for (int o = coParityCheck; o <= coNullStrip; ++o) {
        if (options_ & optionBit(TCommOption(o)))
            dcb.Flags |= kOptionFlags[o];
        else
            dcb.Flags &= ~kOptionFlags[o];
    }

    // Kept even when the device refuses it: the block is what was last written.
    dcb_ = dcb;
    if (int error = device.writeSettings(dcb)) raiseCommError(kSettings, error);
}

// The line's error state is read and cleared before any handler runs, so a handler that closes
// the port does not pull the device from under the rest.
void TCustomComm::HandleEvent(std::uint32_t eventMask) {
    std::uint32_t errors = 0;
    int count = 0;
    if (CommDevice* device = platform_->device.get()) {
        device->clearErrors(errors);
        if (device->queueCount(count) != 0) count = 0;
    }
    if ((eventMask & commevent::Break) && OnBreak) OnBreak(this);
    if ((eventMask & commevent::Cts) && OnCts) OnCts(this);
    if ((eventMask & commevent::Dsr) && OnDsr) OnDsr(this);
    if ((eventMask & commevent::Err) && OnError) OnError(this, int(errors));
    if ((eventMask & commevent::Ring) && OnRing) OnRing(this);
    if ((eventMask & commevent::Rlsd) && OnRlsd) OnRlsd(this);
    if ((eventMask & commevent::RxChar) && count > 0 && OnRxChar) OnRxChar(this, count);
    if ((eventMask & commevent::RxFlag) && OnRxFlag) OnRxFlag(this);
    if ((eventMask & commevent::TxEmpty) && OnTxEmpty) OnTxEmpty(this);
}
