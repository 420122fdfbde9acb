// The groups of tst_upload, each a QtTest class of its own, and what they share.
#pragma once

#include "ReaderSim.h"
#include "TestGroups.h"

#include <QStringList>

#include <functional>

#include <csignal>
#include <sys/resource.h>

class QAbstractButton;
class QObject;
class SimStation;
class UploadDialog;

int runRecordTests(int argc, char** argv);
int runExchangeTests(int argc, char** argv);
int runBatchTests(int argc, char** argv);
int runOnlineTests(int argc, char** argv);
int runRealLineTests(int argc, char** argv);
int runEraseTests(int argc, char** argv);
// The process the kill test starts and kills: an on-line run on the given device.
int runOnlineVictim(const QString& device, int readers);

// The file lines of every record that the reader stored.
QStringList storedLines(SimStation& station, int reader);
// ".\DATA2\<prefix><today>" as a path under the working directory, without ".TXT".
QString todayBase(char prefix);
// Shows the dialog with one reader chosen, or all readers for 0, and makes the output folder.
void prepare(UploadDialog* dialog, int reader, bool folder = true);
// Presses the button, from inside a running job, as soon as cond holds, or after
// kPressDeadlineMs all the same: a run that never gets there ends, and the test's checks say why.
constexpr qint64 kPressDeadlineMs = 120000;
void pressWhen(const std::function<bool()>& cond, QAbstractButton* button);
// Open descriptors of this process that refer to the file.
int openDescriptorsOf(const QString& path);

// The disk as good as full: writes past `bytes` in any file fail (EFBIG) while it lives.
struct FileSizeLimit {
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    rlimit old{};
};
