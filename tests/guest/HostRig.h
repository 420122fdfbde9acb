// The host's side of the guest's line (tests/guest/guest-test.sh): the simulators behind the FTDI
// adapter and the 16550, the adapter's plug, and a break on the 16550's line, asked for through
// the work folder the host shares with the guest.
#pragma once

#include <QString>

// The device nodes and files the guest's kernel makes of the host's two lines.
namespace guest {
inline const QString kAdapterNode = QStringLiteral("/dev/ttyUSB0");
inline const QString kAdapterById =
    QStringLiteral("/dev/serial/by-id/usb-QEMU_QEMU_USB_SERIAL_QRXGUEST-if00-port0");
inline const QString kAdapterLatency = QStringLiteral("/sys/bus/usb-serial/devices/ttyUSB0/latency_timer");
inline const QString kUartNode = QStringLiteral("/dev/ttyS1");
} // namespace guest

class HostRig {
public:
    // Sends a request (see guest-test.sh) and returns its number without waiting.
    static int send(const QString& request);
    // Waits, pumping events, for the host to carry out request n; empty when it did, else why not.
    static QString wait(int n, int timeoutMs = 60000);
    // Sends and waits.
    static QString request(const QString& request) { return wait(send(request)); }
    // A file of a line's simulator ("ftdi" or "uart"), as the host writes it.
    static QString simFile(const QString& line, const QString& name);

private:
    static QString folder();
    static int next_;
};
