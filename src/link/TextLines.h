// A text input file read line by line, each line cut to the length of the reader's line buffer
// (the rest of a longer line is skipped), lines ended by CR LF or LF.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

class TextLines {
public:
    // Opens the file read-only; raises FileError when it cannot.
    explicit TextLines(const QString& path);
    bool atEnd() const;
    // The next line without its end, at most maxChars characters.
    QByteArray next(int maxChars);
    int lineNumber() const { return lineNumber_; }
    // Lines in the whole file; the file is read from its first line again afterwards.
    int countLines();
    void rewind();
    const QString& path() const { return path_; }

private:
    QString path_;
    QFile file_;
    int lineNumber_ = 0;
};

// Packs pairs of decimal digits into bytes, the first digit of a pair in the high half:
// "1234" is 12 34. Characters missing at the end of a short text count as '0'. Returns false
// (and leaves out nothing: bytes is always filled) when a present character is not a digit.
bool packDigitPairs(const QByteArray& text, int bytes, QByteArray& packed);
