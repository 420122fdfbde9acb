#include "AtomicSave.h"

#include "FileError.h"

#include <QSaveFile>

void saveAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw FileError(QStringLiteral("%1: %2").arg(path, file.errorString()));
}
