// The text and number formats the dialogs and the collector share.
#pragma once

#include <QString>

// The dialogs keep their Korean texts as UTF-8 string constants.
inline QString utf8(const char* text) {
    return QString::fromUtf8(text);
}

// "%0:2.2d": at least two digits, zero-padded ("01", "12", "123").
inline QString twoDigits(int n) {
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}
// "%0:.6d": at least six digits, zero-padded.
inline QString sixDigits(int n) {
    return QStringLiteral("%1").arg(n, 6, 10, QLatin1Char('0'));
}
// "%0:2.2d건": a download counter ("00건", "07건", "123건").
inline QString countText(int n) {
    return twoDigits(n) + QStringLiteral("건");
}
