// The day's upload files under .\DATA2: their names, the rotation of earlier batch files of
// the day, and the output file itself (ASCII lines ended by CR LF).
#pragma once

#include "OutputFile.h"

#include <QString>
#include <QStringList>

// ".\DATA2", the folder both uploads write into; the program never creates it.
extern const QString kOutputDir;
// True when the output folder exists on this machine.
bool outputDirExists();

// ".\DATA2\B20040315.TXT" for prefix 'B' on 15 March 2004; 'A' names the on-line file.
QString UploadFileName(char prefix, int year, int month, int day);

// The host paths of the newest `count` files of a kind in the output folder ('A' on-line, 'B'
// batch with its numbered copies), newest first: a name sorts after every older one.
QStringList newestUploadFiles(char prefix, int count);

// Moves an earlier batch file of the day (base name + ".TXT", base name as Windows path without
// the extension) out of the way: to "-0" when no numbered copy exists, else one above the
// highest copy — "-10", "-11" and on once "-9" is taken: no copy is ever dropped, since the
// readers were told that its records arrived. The day's file keeps its name and the first ten
// runs their "-0" to "-9", as programs that read them know them. A copy is only ever renamed
// onto a free name, and the rename is forced to the disk.
// Raises FileError, leaving the file of the day where it was, when that file cannot be moved:
// the job must not go on and truncate it. Returns the path of the copy the file became, empty
// when there was no file of the day.
QString RotateBatchFile(const QString& baseName);

// An output file open for one job. Every line is forced to the disk before writeLine returns,
// so neither a crash of the program nor a power cut loses a line written. A failed write leaves
// no piece of its line behind, and an append to a file whose last line was cut off (by a crash
// of another program, or an old disk-full) begins a new line first. The file is closed by
// close() (which reports errors) or, on every other way out of a job, by the destructor.
class UploadFile {
public:
    enum class Mode { Truncate, Append };

    // Opens (creates) the file; raises FileError with the system's description.
    UploadFile(const QString& windowsPath, Mode mode);
    ~UploadFile();
    UploadFile(const UploadFile&) = delete;
    UploadFile& operator=(const UploadFile&) = delete;

    // Writes the line (ASCII) and CR LF and forces them to the disk; raises FileError, the file
    // cut back to where the line began.
    void writeLine(const QString& line);
    // The same for a line in UTF-8, for a file a person reads.
    void writeUtf8Line(const QString& line);
    // Closes; raises FileError. Does nothing when already closed.
    void close();
    bool isOpen() const { return handle_ != kNoOutput; }
    const QString& path() const { return path_; }

private:
    // Writes all of bytes at the end of the file and forces them to the disk; 0 or the system's
    // error number.
    int append(const QByteArray& bytes);
    QString path_;
    OutputHandle handle_ = kNoOutput;
};
