#include "OutputFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

int openOutput(const QString& path, bool truncate, OutputHandle& handle) {
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDWR | O_CREAT | O_CLOEXEC | (truncate ? O_TRUNC : O_APPEND), 0666);
    if (fd < 0) return errno;
    handle = fd;
    return 0;
}

int closeOutput(OutputHandle handle) {
    return ::close(int(handle)) == 0 ? 0 : errno;
}

int outputSize(OutputHandle handle, std::int64_t& size) {
    const off_t end = ::lseek(int(handle), 0, SEEK_END);
    if (end < 0) return errno;
    size = end;
    return 0;
}

int readOutputAt(OutputHandle handle, std::int64_t offset, char* buffer, int count, int& got) {
    const ssize_t n = ::pread(int(handle), buffer, size_t(count), off_t(offset));
    if (n < 0) return errno;
    got = int(n);
    return 0;
}

// The descriptor was opened with O_APPEND (or is at the end of what this job wrote).
int appendOutput(OutputHandle handle, const char* bytes, std::int64_t count) {
    std::int64_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(int(handle), bytes + done, size_t(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        done += n;
    }
    return 0;
}

// A file system without a data sync of its own answers EINVAL.
int syncOutput(OutputHandle handle) {
    return ::fdatasync(int(handle)) == 0 || errno == EINVAL ? 0 : errno;
}

int truncateOutput(OutputHandle handle, std::int64_t size) {
    return ::ftruncate(int(handle), off_t(size)) == 0 ? 0 : errno;
}

QString outputErrorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}
