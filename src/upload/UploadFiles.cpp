#include "UploadFiles.h"

#include "DurableFiles.h"
#include "FileError.h"
#include "HostPaths.h"
#include "OutputFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <limits>
#include <vector>

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

// Newer files sort after older ones by their date, then (the batch copies of one day) the copy
// "-0", "-1", ..., "-10" and on in number, then the day's file itself. A name that is not an
// upload file's (a "Backup.TXT" beside them) is none.
QStringList newestUploadFiles(char prefix, int count) {
    const QDir dir(hostPath(kOutputDir));
    const QRegularExpression pattern(QStringLiteral("^%1(\\d{8})(?:-(\\d{1,6}))?\\.TXT$").arg(QChar(prefix)),
                                     QRegularExpression::CaseInsensitiveOption);
    std::vector<std::pair<std::pair<QString, qint64>, QString>> files;
    for (const QString& name : dir.entryList(QDir::Files)) {
        const QRegularExpressionMatch m = pattern.match(name);
        if (!m.hasMatch()) continue;
        const qint64 copy =
            m.captured(2).isEmpty() ? std::numeric_limits<qint64>::max() : m.captured(2).toLongLong();
        files.push_back({{m.captured(1), copy}, name});
    }
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    QStringList paths;
    for (std::size_t i = 0; i < files.size() && int(i) < count; ++i) paths << dir.filePath(files[i].second);
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
[[noreturn]] void throwOutputError(const QString& path, int error) {
    throw FileError(QStringLiteral("%1: %2").arg(path, outputErrorText(error)));
}

// The line end a file's last bytes still need: none when it is empty or ends a line.
QByteArray missingLineEnd(OutputHandle handle) {
    std::int64_t size = 0;
    if (outputSize(handle, size) != 0 || size <= 0) return {};
    char last[2] = {};
    const std::int64_t from = size >= 2 ? size - 2 : 0;
    int n = 0;
    if (readOutputAt(handle, from, last, int(size - from), n) != 0) n = 0;
    if (n == 2 && last[0] == '\r' && last[1] == '\n') return {};
    if (n >= 1 && last[n - 1] == '\r') return "\n";
    return "\r\n";
}
} // namespace

UploadFile::UploadFile(const QString& windowsPath, Mode mode) : path_(hostPath(windowsPath)) {
    const bool created = !exists(path_);
    if (const int error = openOutput(path_, mode == Mode::Truncate, handle_)) throwOutputError(path_, error);
    // A new file's name must reach the disk too, or a power cut takes its lines with it.
    if (created)
        if (const int error = syncFolder(QFileInfo(path_).absolutePath())) {
            closeOutput(handle_);
            handle_ = kNoOutput;
            throwOutputError(path_, error);
        }
    if (mode == Mode::Append) {
        if (const int error = append(missingLineEnd(handle_))) {
            closeOutput(handle_);
            handle_ = kNoOutput;
            throwOutputError(path_, error);
        }
    }
}

UploadFile::~UploadFile() {
    if (handle_ != kNoOutput) closeOutput(handle_);
}

int UploadFile::append(const QByteArray& bytes) {
    if (bytes.isEmpty()) return 0;
    std::int64_t start = 0;
    if (const int error = outputSize(handle_, start)) return error;
    int error = appendOutput(handle_, bytes.constData(), bytes.size());
    if (error == 0) error = syncOutput(handle_);
    // What did not reach the disk whole is taken back, so that the file ends with whole lines.
    if (error && truncateOutput(handle_, start) == 0) syncOutput(handle_);
    return error;
}

void UploadFile::writeLine(const QString& line) {
    if (handle_ == kNoOutput) throwFileError(path_, EBADF);
    if (const int error = append(line.toLatin1() + "\r\n")) throwOutputError(path_, error);
}

void UploadFile::writeUtf8Line(const QString& line) {
    if (handle_ == kNoOutput) throwFileError(path_, EBADF);
    if (const int error = append(line.toUtf8() + "\r\n")) throwOutputError(path_, error);
}

void UploadFile::close() {
    if (handle_ == kNoOutput) return;
    const OutputHandle handle = handle_;
    handle_ = kNoOutput;
    if (const int error = closeOutput(handle)) throwOutputError(path_, error);
}
