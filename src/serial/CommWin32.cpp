// The serial device on the Win32 communications interface: a handle opened exclusively for
// overlapped I/O, COMMTIMEOUTS that make every read return at once, ClearCommError for the input
// queue and the line errors, and WaitCommEvent on the event thread, woken by an event of its own.
// At open the log says when an FTDI adapter's latency timer is set above what the README asks.
#include "CommDcbWin32.h"
#include "CommPlatform.h"
#include "SerialLog.h"

#include <windows.h>

#include <setupapi.h>

#include <atomic>
#include <cctype>
#include <cwctype>

namespace {

// A read with the time-outs set at open completes at once with what has arrived. Should a driver
// keep one pending all the same, it is given up after this long, as a timed-out read.
constexpr DWORD kReadCompletionMs = 1000;

constexpr std::uint32_t kErrorBits =
    commerror::RxOver | commerror::Overrun | commerror::RxParity | commerror::Frame | commerror::Break;

std::wstring widened(const std::string& text) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(std::size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), wide.data(), n);
    return wide;
}

std::string narrowed(const wchar_t* text, int length) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(std::size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), n, nullptr, nullptr);
    return out;
}

int lastError() {
    return int(GetLastError());
}

// The device setup class "Ports (COM & LPT)", {4D36E978-E325-11CE-BFC1-08002BE10318}.
constexpr GUID kPortsClass = {0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

// Above this, an FTDI adapter's latency timer slows every answer noticeably: the driver holds what
// the adapter received until the timer runs out (16 ms as it comes, 1 ms answers fastest).
constexpr DWORD kLatencyAdvisedMs = 2;

// The latency timer (ms) that FTDI's driver keeps for the port named `port` ("COM3"): the value
// LatencyTimer beside PortName in the device's parameters key, which Device Manager's Advanced
// port settings write. -1 when no present port of that name has one (another make of adapter, an
// on-board port, or a system without the driver, such as Wine).
long ftdiLatencyMs(const std::wstring& port) {
    const HDEVINFO devices = SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE) return -1;
    long latency = -1;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; latency < 0 && SetupDiEnumDeviceInfo(devices, i, &device); ++i) {
        const HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE) continue;
        wchar_t name[32] = {};
        DWORD size = sizeof name - sizeof name[0]; // room for the terminator RegQueryValueExW may omit
        DWORD type = 0;
        DWORD value = 0;
        DWORD valueSize = sizeof value;
        if (RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size) ==
                ERROR_SUCCESS &&
            type == REG_SZ && _wcsicmp(name, port.c_str()) == 0 &&
            RegQueryValueExW(key, L"LatencyTimer", nullptr, &type, reinterpret_cast<BYTE*>(&value),
                             &valueSize) == ERROR_SUCCESS &&
            type == REG_DWORD)
            latency = long(value);
        RegCloseKey(key);
    }
    SetupDiDestroyDeviceInfoList(devices);
    return latency;
}

// Says in the log when the port is an FTDI adapter whose latency timer is above the advised value.
// `path` is the device path opened ("\\.\COM3").
void logAdapterLatency(const std::wstring& path) {
    const std::wstring prefix = L"\\\\.\\";
    const std::wstring port = path.compare(0, prefix.size(), prefix) == 0 ? path.substr(prefix.size()) : path;
    const long latency = ftdiLatencyMs(port);
    if (latency > long(kLatencyAdvisedMs))
        qCDebug(lcSerial).nospace() << "the FTDI adapter's latency timer is " << latency
                                    << " ms: every answer waits that long; set it to 1 ms (Device Manager, "
                                       "port settings, Advanced, Latency Timer)";
}

class Win32Device final : public CommDevice {
public:
    Win32Device(HANDLE handle, HANDLE ioDone, HANDLE eventDone, HANDLE wake)
        : handle_(handle), ioDone_(ioDone), eventDone_(eventDone), wake_(wake) {}
    ~Win32Device() override {
        CloseHandle(handle_);
        CloseHandle(ioDone_);
        CloseHandle(eventDone_);
        CloseHandle(wake_);
    }

    bool isCharacterDevice() const override { return GetFileType(handle_) == FILE_TYPE_CHAR; }

    // Every read returns at once with the bytes already received, possibly none; writes have no
    // device time-out (Write waits for them itself). The line is taken over without the flow
    // control an earlier program may have left on, and with DTR and RTS raised.
    int makeReadsReturnAtOnce() override {
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = MAXDWORD;
        if (!SetCommTimeouts(handle_, &timeouts)) return lastError();
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (!GetCommState(handle_, &dcb)) return lastError();
        clearFlowControl(dcb);
        return SetCommState(handle_, &dcb) ? 0 : lastError();
    }

    int setQueueSizes(int input, int output) override {
        if (input <= 0 || output <= 0) return ERROR_INVALID_PARAMETER;
        return SetupComm(handle_, DWORD(input), DWORD(output)) ? 0 : lastError();
    }

    int readSettings(TDeviceControlBlock& block) override {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (!GetCommState(handle_, &dcb)) return lastError();
        block = blockFromDcb(dcb);
        return 0;
    }

    // The driver refuses (ERROR_INVALID_PARAMETER) what the UART cannot do.
    int writeSettings(const TDeviceControlBlock& block) override {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (!GetCommState(handle_, &dcb)) return lastError();
        dcbFromBlock(block, dcb);
        return SetCommState(handle_, &dcb) ? 0 : lastError();
    }

    // The write has completed when the driver has handed every byte on towards the UART; the
    // link's wire clock covers the UART's own FIFO. A write that does not complete in time is
    // cancelled, and what the driver still holds of it is dropped, so that it cannot trickle out
    // later in the middle of the next request.
    CommTransfer write(const void* buffer, int count, int timeoutMs) override {
        if (count < 0) return {0, ERROR_INVALID_PARAMETER};
        OVERLAPPED ov{};
        ov.hEvent = ioDone_;
        ResetEvent(ioDone_);
        if (!WriteFile(handle_, buffer, DWORD(count), nullptr, &ov) && GetLastError() != ERROR_IO_PENDING)
            return {0, lastError()};
        DWORD written = 0;
        if (WaitForSingleObject(ioDone_, DWORD(timeoutMs < 0 ? 0 : timeoutMs)) != WAIT_OBJECT_0) {
            CancelIo(handle_);
            // The request and its buffer stay in use until the driver has let go of them.
            const bool done = GetOverlappedResult(handle_, &ov, &written, TRUE);
            if (done && written == DWORD(count)) return {count, 0};
            PurgeComm(handle_, PURGE_TXABORT | PURGE_TXCLEAR);
            return {-1, 0};
        }
        if (!GetOverlappedResult(handle_, &ov, &written, FALSE)) return {0, lastError()};
        return {int(written), 0};
    }

    CommTransfer read(void* buffer, int count) override {
        if (count < 0) return {0, ERROR_INVALID_PARAMETER};
        if (count == 0) return {0, 0};
        OVERLAPPED ov{};
        ov.hEvent = ioDone_;
        ResetEvent(ioDone_);
        if (!ReadFile(handle_, buffer, DWORD(count), nullptr, &ov) && GetLastError() != ERROR_IO_PENDING)
            return {0, lastError()};
        DWORD got = 0;
        if (WaitForSingleObject(ioDone_, kReadCompletionMs) != WAIT_OBJECT_0) {
            CancelIo(handle_);
            if (GetOverlappedResult(handle_, &ov, &got, TRUE) && got > 0) return {int(got), 0};
            return {-1, 0};
        }
        if (!GetOverlappedResult(handle_, &ov, &got, FALSE)) return {0, lastError()};
        return {int(got), 0};
    }

    // ClearCommError reads the queue and clears the error bits in one call, so the bits it
    // clears here are kept for the next clearErrors.
    int queueCount(int& count) override {
        DWORD errors = 0;
        COMSTAT status{};
        if (!ClearCommError(handle_, &errors, &status)) return lastError();
        pendingErrors_ |= std::uint32_t(errors) & kErrorBits;
        count = int(status.cbInQue);
        return 0;
    }

    int clearErrors(std::uint32_t& errors) override {
        DWORD now = 0;
        if (!ClearCommError(handle_, &now, nullptr)) return lastError();
        errors = (std::uint32_t(now) & kErrorBits) | pendingErrors_.exchange(0);
        if (errors) qCDebug(lcSerial) << "line errors (CE_ bits):" << Qt::hex << errors;
        return 0;
    }

    void purge() override {
        PurgeComm(handle_, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    }

    // A handle opened for overlapped use has one WaitCommEvent at a time, and the event thread
    // holds it: the link sleeps its steps instead.
    bool waitInput(std::int64_t) override { return false; }

    std::uint32_t waitEvent(std::uint32_t mask) override {
        for (;;) {
            if (hungUp_) {
                WaitForSingleObject(wake_, INFINITE);
                return 0;
            }
            if (mask != mask_) {
                if (!SetCommMask(handle_, DWORD(mask))) return hangUp(mask, "SetCommMask failed");
                mask_ = mask;
            }
            OVERLAPPED ov{};
            ov.hEvent = eventDone_;
            ResetEvent(eventDone_);
            DWORD events = 0;
            if (!WaitCommEvent(handle_, &events, &ov)) {
                if (GetLastError() != ERROR_IO_PENDING) return hangUp(mask, "WaitCommEvent failed");
                const HANDLE waits[2] = {eventDone_, wake_};
                const DWORD woken = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
                if (woken != WAIT_OBJECT_0) {
                    // Only this thread's own wait is cancelled; the UI thread's transfers go on.
                    CancelIo(handle_);
                    DWORD ignored = 0;
                    GetOverlappedResult(handle_, &ov, &ignored, TRUE);
                    return 0;
                }
                DWORD ignored = 0;
                if (!GetOverlappedResult(handle_, &ov, &ignored, FALSE))
                    return hangUp(mask, "the wait failed");
            }
            // A changed mask ends a wait with no events; so may a driver's own reasons.
            if (const std::uint32_t seen = std::uint32_t(events) & mask) return seen;
        }
    }

    // Sticky until the next wait: a wake that comes before the wait begins still ends it.
    void wakeWaiter() override { SetEvent(wake_); }

private:
    // A device that refuses the wait (pulled, or its driver gone) refuses every later one, so it is
    // not asked again: the event thread waits only for Close.
    std::uint32_t hangUp(std::uint32_t mask, const char* why) {
        qCDebug(lcSerial) << "event thread:" << why << systemErrorText(lastError()).c_str()
                          << "- waiting only for close";
        hungUp_ = true;
        return mask & commevent::Err;
    }

    const HANDLE handle_;
    const HANDLE ioDone_;    // UI thread: the completion of Read and Write, one at a time
    const HANDLE eventDone_; // event thread: the completion of WaitCommEvent
    const HANDLE wake_;      // auto-reset: wakeWaiter
    std::atomic<std::uint32_t> pendingErrors_{0};
    // Event thread only.
    std::uint32_t mask_ = 0;
    bool hungUp_ = false;
};

} // namespace

// What Windows gives for a transfer on a device that went away: a USB adapter's driver answers
// ERROR_DEVICE_REMOVED, ERROR_BAD_COMMAND or ERROR_GEN_FAILURE once the adapter is pulled, aborts
// the transfers it held (ERROR_OPERATION_ABORTED) and refuses the handle (ERROR_ACCESS_DENIED);
// ERROR_DEVICE_NOT_CONNECTED and ERROR_NOT_READY say the same. ERROR_NOT_READY is also what Wine
// makes of a terminal that hung up (EIO).
bool isLostLineError(int error) {
    switch (DWORD(error)) {
    case ERROR_BAD_COMMAND:
    case ERROR_DEVICE_REMOVED:
    case ERROR_GEN_FAILURE:
    case ERROR_OPERATION_ABORTED:
    case ERROR_ACCESS_DENIED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_NOT_READY:
        return true;
    default:
        return false;
    }
}

// The port is open in another program: the exclusive open is refused.
bool isBusyDeviceError(int error) {
    return DWORD(error) == ERROR_ACCESS_DENIED || DWORD(error) == ERROR_SHARING_VIOLATION;
}

bool isMissingDeviceError(int error) {
    return DWORD(error) == ERROR_FILE_NOT_FOUND || DWORD(error) == ERROR_PATH_NOT_FOUND;
}

const int kPortClosedError = ERROR_INVALID_HANDLE;

// In the language of the system (Korean on a Korean Windows), without the closing line end.
std::string systemErrorText(int error) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, DWORD(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (n == 0 || !text) return "error " + std::to_string(error);
    int length = int(n);
    while (length > 0 && std::iswspace(text[length - 1])) --length;
    std::string out = narrowed(text, length);
    LocalFree(text);
    return out;
}

std::string resolveDeviceName(const std::string& name) {
    if (name.size() < 4 || name.size() > 6) return name;
    for (std::size_t i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return name;
    for (std::size_t i = 3; i < name.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return name;
    if (name[3] == '0') return name;
    return "\\\\.\\COM" + name.substr(3);
}

std::unique_ptr<CommDevice> openCommDevice(const std::string& path, int& error) {
    // Share mode 0: nobody else opens the port while it is open here.
    const std::wstring device = widened(path);
    const HANDLE handle = CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = lastError();
        return nullptr;
    }
    const HANDLE ioDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const HANDLE eventDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const HANDLE wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!ioDone || !eventDone || !wake) {
        error = lastError();
        for (HANDLE h : {handle, ioDone, eventDone, wake})
            if (h) CloseHandle(h);
        return nullptr;
    }
    logAdapterLatency(device);
    error = 0;
    return std::make_unique<Win32Device>(handle, ioDone, eventDone, wake);
}
