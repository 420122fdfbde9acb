#include "UploadFiles.h"

#include "FileError.h"
#include "HostPaths.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

const QString kOutputDir = QStringLiteral(".\\DATA2");

namespace {
constexpr int kCopies = 10;

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

void RotateBatchFile(const QString& baseName) {
    const QString today = hostPath(baseName + QStringLiteral(".TXT"));
    if (!exists(today)) return;
    int highest = -1;
    for (int k = 0; k < kCopies; ++k)
        if (exists(copyName(baseName, k))) highest = k;
    int target = highest + 1;
    if (highest == kCopies - 1) {
        QFile::remove(copyName(baseName, 0));
        for (int k = 1; k < kCopies; ++k) renameOntoFree(copyName(baseName, k), copyName(baseName, k - 1));
        target = kCopies - 1;
    }
    const QString to = copyName(baseName, target);
    if (const int error = renameOntoFree(today, to))
        throwFileError(QStringLiteral("%1 -> %2").arg(today, to), error);
}

UploadFile::UploadFile(const QString& windowsPath, Mode mode, Sync sync)
    : path_(hostPath(windowsPath)), sync_(sync) {
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (mode == Mode::Truncate ? O_TRUNC : O_APPEND);
    fd_ = ::open(QFile::encodeName(path_).constData(), flags, 0666);
    if (fd_ < 0) throwFileError(path_, errno);
}

UploadFile::~UploadFile() {
    if (fd_ >= 0) ::close(fd_);
}

void UploadFile::writeLine(const QString& line) {
    if (fd_ < 0) throwFileError(path_, EBADF);
    const QByteArray bytes = line.toLatin1() + "\r\n";
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throwFileError(path_, errno);
        done += n;
    }
    if (sync_ == Sync::EachLine) sync();
}

void UploadFile::sync() {
    if (::fdatasync(fd_) != 0 && errno != EINVAL) throwFileError(path_, errno);
}

void UploadFile::close() {
    if (fd_ < 0) return;
    const int fd = fd_;
    int error = ::fdatasync(fd) == 0 || errno == EINVAL ? 0 : errno;
    fd_ = -1;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error) throwFileError(path_, error);
}
