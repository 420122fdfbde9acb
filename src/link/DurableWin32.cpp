#include "DurableFiles.h"

#include <QFile>

#include <cerrno>
#include <io.h>
#include <windows.h>

// The error numbers are the C library's, as on other systems: what failed is said by the path
// the caller names, and FlushFileBuffers fails only as a write to the disk does.
int syncFile(QFile& file) {
    if (!file.flush()) return EIO;
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()));
    if (handle == INVALID_HANDLE_VALUE) return EBADF;
    return FlushFileBuffers(handle) ? 0 : EIO;
}

// NTFS writes every change to a folder's entries (a file created, a rename) to its log before
// the change is done, so there is nothing to force for the folder itself.
int syncFolder(const QString&) {
    return 0;
}

// The minute the computer started: the clock now less the time since the start. A start read
// a minute off (the reading straddles a minute) only makes an unforced ledger look older than it
// is, which costs a few repeat requests, never a record.
QString bootId() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t{};
    t.LowPart = now.dwLowDateTime;
    t.HighPart = now.dwHighDateTime;
    const unsigned long long nowMs = t.QuadPart / 10000ULL;
    return QString::number((nowMs - GetTickCount64()) / 60000ULL);
}
