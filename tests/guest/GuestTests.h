// The groups of tst_guest, which runs inside the QEMU guest on the kernel's own serial drivers,
// and what they share.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

int runPortTests(int argc, char** argv);
int runCollectorTests(int argc, char** argv);
int runBatchTests(int argc, char** argv);

// Waits, pumping events, until the path (a link followed to its end) is there, or is gone.
bool waitForPath(const QString& path, bool present, int timeoutMs);
QByteArray readAll(const QString& path);
// Empty when the file now holds the bytes, else why not.
QString writeAll(const QString& path, const QByteArray& bytes);
// QRX.CFG in the current folder: port (0..3 = COM1..COM4), speed index, none, 8, 1, readers.
void writeConfig(int port, int speed, int readers);
// Today's upload file ('A' on-line, 'B' batch) under the current folder; suffix "-0" for the
// batch file of the run before.
QString todayFile(char prefix, const QString& suffix = QString());
