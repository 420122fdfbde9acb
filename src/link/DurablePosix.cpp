#include "DurableFiles.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

int syncFile(QFile& file) {
    if (!file.flush()) return EIO;
    // A file on a filesystem that keeps nothing (a pipe, a pseudo filesystem) has nothing to force.
    if (::fdatasync(file.handle()) != 0 && errno != EINVAL) return errno;
    return 0;
}

int syncFolder(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int error = ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
    ::close(fd);
    return error;
}

QString bootId() {
    QFile file(QStringLiteral("/proc/sys/kernel/random/boot_id"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromLatin1(file.readAll().trimmed());
}
