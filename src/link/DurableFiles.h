// What the ledger and the record files need from the platform to outlive a killed program and a
// power cut: forcing a file's and a folder's contents to the disk, and telling one run of the
// computer (from power-on to shutdown) from the next.
#pragma once

#include <QString>

class QFile;

// Forces what was written to the open file onto the disk; 0 or the platform's error number.
int syncFile(QFile& file);
// Forces a folder's entries (a file created or renamed in it) onto the disk; 0 or the error.
int syncFolder(const QString& path);
// Names the computer's current run: the same from power-on to shutdown, another after a restart
// (and so after a power cut). Empty when the platform cannot tell.
QString bootId();
