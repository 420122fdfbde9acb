#include "OutputFile.h"

#include <QDir>

#include <windows.h>

namespace {
HANDLE win32(OutputHandle handle) {
    return reinterpret_cast<HANDLE>(handle);
}

int lastError() {
    return int(GetLastError());
}
} // namespace

// Others may read the file (and append to it, as the collector and the on-line upload both may)
// while it is open here.
int openOutput(const QString& path, bool truncate, OutputHandle& handle) {
    const HANDLE h = CreateFileW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16()),
                                 GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 truncate ? CREATE_ALWAYS : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return lastError();
    handle = reinterpret_cast<OutputHandle>(h);
    return 0;
}

int closeOutput(OutputHandle handle) {
    return CloseHandle(win32(handle)) ? 0 : lastError();
}

int outputSize(OutputHandle handle, std::int64_t& size) {
    LARGE_INTEGER end{};
    if (!GetFileSizeEx(win32(handle), &end)) return lastError();
    size = end.QuadPart;
    return 0;
}

int readOutputAt(OutputHandle handle, std::int64_t offset, char* buffer, int count, int& got) {
    OVERLAPPED at{};
    at.Offset = DWORD(offset & 0xFFFFFFFF);
    at.OffsetHigh = DWORD(offset >> 32);
    DWORD n = 0;
    if (!ReadFile(win32(handle), buffer, DWORD(count), &n, &at) && GetLastError() != ERROR_HANDLE_EOF)
        return lastError();
    got = int(n);
    return 0;
}

// The handle's position is set to the end first: another program may have appended meanwhile.
int appendOutput(OutputHandle handle, const char* bytes, std::int64_t count) {
    LARGE_INTEGER none{};
    if (!SetFilePointerEx(win32(handle), none, nullptr, FILE_END)) return lastError();
    std::int64_t done = 0;
    while (done < count) {
        DWORD n = 0;
        if (!WriteFile(win32(handle), bytes + done, DWORD(count - done), &n, nullptr)) return lastError();
        if (n == 0) return ERROR_WRITE_FAULT;
        done += n;
    }
    return 0;
}

int syncOutput(OutputHandle handle) {
    return FlushFileBuffers(win32(handle)) ? 0 : lastError();
}

int truncateOutput(OutputHandle handle, std::int64_t size) {
    LARGE_INTEGER at{};
    at.QuadPart = size;
    if (!SetFilePointerEx(win32(handle), at, nullptr, FILE_BEGIN)) return lastError();
    return SetEndOfFile(win32(handle)) ? 0 : lastError();
}

// In the language of the system, without the closing line end.
QString outputErrorText(int error) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, DWORD(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (n == 0 || !text) return QStringLiteral("error %1").arg(error);
    const QString out = QString::fromWCharArray(text, int(n)).trimmed();
    LocalFree(text);
    return out;
}
