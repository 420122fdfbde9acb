#include "UploadFiles.h"

#include "DurableFiles.h"
#include "FileError.h"
#include "HostPaths.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

const QString kOutputDir = QStringLiteral(".\\DATA2");

namespace {
QString copyName(const QString& base, int k) {
    return hostPath(base + QStringLiteral("-%1.TXT").arg(k));
}

bool exists(const QString& path) {
    return QFileInfo::exists(path);
}

// 0, or the errno of the failure; an existing target counts as a failure.
int renameOntoFree(const QString& from, const QString& to) {
    if (exists(to)) return EEXIST;
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0 ? 0
                                                                                                    : errno;
}
} // namespace

bool outputDirExists() {
    return QFileInfo(hostPath(kOutputDir)).isDir();
}

QString UploadFileName(char prefix, int year, int month, int day) {
    return kOutputDir + QStringLiteral("\\") + QChar(prefix) + QString::number(year).left(4) +
           QStringLiteral("%1%2.TXT").arg(month, 2, 10, QLatin1Char('0')).arg(day, 2, 10, QLatin1Char('0'));
}

QStringList newestUploadFiles(char prefix, int count) {
    const QDir dir(hostPath(kOutputDir));
    QStringList names =
        dir.entryList({QChar(prefix) + QStringLiteral("????????*.TXT")}, QDir::Files, QDir::Name);
    std::reverse(names.begin(), names.end());
    QStringList paths;
    for (const QString& name : names.mid(0, count)) paths << dir.filePath(name);
    return paths;
}

QString RotateBatchFile(const QString& baseName) {
    const QString today = hostPath(baseName + QStringLiteral(".TXT"));
    if (!exists(today)) return {};
    // The copies of the day: "-0", "-1", ..., as many as there were runs; never one dropped.
    const QFileInfo base(hostPath(baseName));
    const QString prefix = base.fileName() + QLatin1Char('-');
    int highest = -1;
    for (const QString& name : base.dir().entryList({prefix + QStringLiteral("*.TXT")}, QDir::Files)) {
        bool number = false;
        const int k = name.mid(prefix.size()).chopped(4).toInt(&number);
        if (number && k >= 0) highest = std::max(highest, k);
    }
    const QString to = copyName(baseName, highest + 1);
    if (const int error = renameOntoFree(today, to))
        throwFileError(QStringLiteral("%1 -> %2").arg(today, to), error);
    if (const int error = syncFolder(base.absolutePath())) throwFileError(base.absolutePath(), error);
    return to;
}

namespace {
// The line end a file's last bytes still need: none when it is empty or ends a line.
QByteArray missingLineEnd(int fd) {
    const off_t size = ::lseek(fd, 0, SEEK_END);
    if (size <= 0) return {};
    char last[2] = {};
    const off_t from = size >= 2 ? size - 2 : 0;
    const ssize_t n = ::pread(fd, last, size_t(size - from), from);
    if (n == 2 && last[0] == '\r' && last[1] == '\n') return {};
    if (n >= 1 && last[n - 1] == '\r') return "\n";
    return "\r\n";
}
} // namespace

UploadFile::UploadFile(const QString& windowsPath, Mode mode) : path_(hostPath(windowsPath)) {
    const bool created = !exists(path_);
    const int flags = O_RDWR | O_CREAT | O_CLOEXEC | (mode == Mode::Truncate ? O_TRUNC : O_APPEND);
    fd_ = ::open(QFile::encodeName(path_).constData(), flags, 0666);
    if (fd_ < 0) throwFileError(path_, errno);
    // A new file's name must reach the disk too, or a power cut takes its lines with it.
    if (created)
        if (const int error = syncFolder(QFileInfo(path_).absolutePath())) {
            ::close(fd_);
            fd_ = -1;
            throwFileError(path_, error);
        }
    if (mode == Mode::Append) {
        if (const int error = append(missingLineEnd(fd_))) {
            ::close(fd_);
            fd_ = -1;
            throwFileError(path_, error);
        }
    }
}

UploadFile::~UploadFile() {
    if (fd_ >= 0) ::close(fd_);
}

int UploadFile::append(const QByteArray& bytes) {
    if (bytes.isEmpty()) return 0;
    const off_t start = ::lseek(fd_, 0, SEEK_END);
    if (start < 0) return errno;
    int error = 0;
    qsizetype done = 0;
    while (done < bytes.size() && error == 0) {
        const ssize_t n = ::write(fd_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0)
            error = errno;
        else
            done += n;
    }
    if (error == 0 && ::fdatasync(fd_) != 0 && errno != EINVAL) error = errno;
    // What did not reach the disk whole is taken back, so that the file ends with whole lines.
    if (error && ::ftruncate(fd_, start) == 0) ::fdatasync(fd_);
    return error;
}

void UploadFile::writeLine(const QString& line) {
    if (fd_ < 0) throwFileError(path_, EBADF);
    if (const int error = append(line.toLatin1() + "\r\n")) throwFileError(path_, error);
}

void UploadFile::close() {
    if (fd_ < 0) return;
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) throwFileError(path_, errno);
}
