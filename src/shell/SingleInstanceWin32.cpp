#include "SingleInstance.h"

#include <windows.h>

// A name without a "Global\" prefix lives in the session's own namespace: each user signed in
// to the PC may run one copy.
QString SingleInstance::defaultName() {
    return QStringLiteral("sharedHandle");
}

// 1024 bytes of the paging file. The block exists already when another copy made it: that copy
// runs. A copy that crashed took its handle with it, and with the last handle the block is gone.
SingleInstance::SingleInstance(const QString& name) {
    const HANDLE block = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 1024,
                                            reinterpret_cast<const wchar_t*>(name.utf16()));
    if (!block) return;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(block);
        return;
    }
    held_ = reinterpret_cast<std::intptr_t>(block);
}

SingleInstance::~SingleInstance() {
    if (held_ != kNotHeld) CloseHandle(reinterpret_cast<HANDLE>(held_));
}
