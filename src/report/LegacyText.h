// Text in the Korean code page that Excel on a Korean Windows PC saves (CP949: EUC-KR and the
// extra Hangul syllables of Unified Hangul Code). The platform's own converter reads it:
// iconv on Linux (LegacyTextPosix.cpp), MultiByteToWideChar on Windows (LegacyTextWin32.cpp).
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The text, or nothing when the bytes are not CP949.
std::optional<QString> fromCp949(const QByteArray& bytes);
