// QRX.CFG: six binary bytes in the working directory: port (0..3 = COM1..COM4), speed
// (0..4 = 1200, 2400, 4800, 9600, 19200), parity (0 none, 1 even, 2 odd), data bits (0 = 7,
// else 8), stop bits (1 = 2, else 1) and the number of readers (1..12).
#pragma once

#include "CommInt.h"

#include <QString>

#include <array>

using ConfigBytes = std::array<quint8, 6>;

struct LineSettings {
    std::string deviceName;
    TBaudrate baudRate;
    TParity parity;
    TDatabits databits;
    TStopbits stopbits;
    int readerCount;
    QString indicator; // the port indicator: "COM2 9600Bps"
    bool damaged;      // the file was short or its reader count was outside 1..12
};

// What the six bytes mean; out-of-range values take the defaults (COM1, 9600, none, 8, 1) and
// a damaged reader count is taken as 1.
LineSettings decodeConfig(const QByteArray& bytes);
// Reads the file; raises FileError when it cannot.
QByteArray readConfigFile(const QString& fileName);
// Creates or truncates the file and writes the six bytes; raises FileError when it cannot.
void writeConfigFile(const QString& fileName, const ConfigBytes& values);
void applySettings(const LineSettings& settings, TCustomComm& comm);

QString deviceNameForPort(int port);
TBaudrate baudRateForSpeed(int speed);
QString speedText(TBaudrate rate);
