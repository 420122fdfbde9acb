#include "LegacyText.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

std::optional<QString> fromCp949(const QByteArray& bytes) {
    if (bytes.isEmpty()) return QString();
    const iconv_t cd = iconv_open("UTF-16LE", "CP949");
    if (cd == iconv_t(-1)) return std::nullopt;
    // Each byte becomes at most one UTF-16 unit.
    std::vector<char16_t> out(std::size_t(bytes.size()));
    char* in = const_cast<char*>(bytes.constData());
    std::size_t inLeft = std::size_t(bytes.size());
    char* to = reinterpret_cast<char*>(out.data());
    std::size_t toLeft = out.size() * sizeof(char16_t);
    const std::size_t done = iconv(cd, &in, &inLeft, &to, &toLeft);
    iconv_close(cd);
    if (done == std::size_t(-1) || inLeft != 0) return std::nullopt;
    return QString::fromUtf16(out.data(), qsizetype(out.size() - toLeft / sizeof(char16_t)));
}
