#include "TextLines.h"

#include "FileError.h"

#include <cerrno>

TextLines::TextLines(const QString& path) : path_(path), file_(path) {
    if (!file_.open(QIODevice::ReadOnly)) throwFileError(path, errno ? errno : EIO);
}

bool TextLines::atEnd() const {
    return file_.atEnd();
}

QByteArray TextLines::next(int maxChars) {
    QByteArray line = file_.readLine();
    if (line.isEmpty() && file_.error() != QFileDevice::NoError) throwFileError(path_, EIO);
    ++lineNumber_;
    while (line.endsWith('\n') || line.endsWith('\r')) line.chop(1);
    return line.left(maxChars);
}

int TextLines::countLines() {
    rewind();
    int count = 0;
    while (!atEnd()) {
        next(0);
        ++count;
    }
    rewind();
    return count;
}

void TextLines::rewind() {
    file_.seek(0);
    lineNumber_ = 0;
}

bool packDigitPairs(const QByteArray& text, int bytes, QByteArray& packed) {
    packed = QByteArray(bytes, '\0');
    bool digits = true;
    for (int i = 0; i < 2 * bytes; ++i) {
        const char c = i < text.size() ? text.at(i) : '0';
        digits = digits && c >= '0' && c <= '9';
        const quint8 value = quint8(c - '0');
        packed[i / 2] = char(quint8(packed.at(i / 2)) | (i % 2 == 0 ? quint8(value << 4) : value));
    }
    return digits;
}
