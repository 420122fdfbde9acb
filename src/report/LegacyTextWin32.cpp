#include "LegacyText.h"

#include <windows.h>

#include <vector>

std::optional<QString> fromCp949(const QByteArray& bytes) {
    constexpr UINT kKorean = 949;
    if (bytes.isEmpty()) return QString();
    const int units =
        MultiByteToWideChar(kKorean, MB_ERR_INVALID_CHARS, bytes.constData(), int(bytes.size()), nullptr, 0);
    if (units <= 0) return std::nullopt;
    std::vector<wchar_t> out(static_cast<std::size_t>(units));
    MultiByteToWideChar(kKorean, MB_ERR_INVALID_CHARS, bytes.constData(), int(bytes.size()), out.data(),
                        units);
    return QString::fromWCharArray(out.data(), units);
}
