#include "FileError.h"

#include <cstring>

void throwFileError(const QString& path, int error) {
    throw FileError(QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(error))));
}
