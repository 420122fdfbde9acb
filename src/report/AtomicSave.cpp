#include "AtomicSave.h"

#include "FileError.h"

#include <QSaveFile>

void saveAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    // Unbuffered, a write cut short by a full disk shows in its count: QSaveFile's own buffer
    // would lose that error and commit the shortened file.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || file.write(bytes) != bytes.size() ||
        !file.commit())
        throw FileError(QStringLiteral("%1: %2").arg(path, file.errorString()));
}
