// The groups of tst_upload, each a QtTest class of its own, and what they share.
#pragma once

#include "ReaderSim.h"

#include <QString>
#include <QStringList>

#include <functional>

class QAbstractButton;
class QObject;

// Runs one group. Test functions named on the command line are passed on only to the group that
// has them, and a group none of whose functions is named is skipped.
int runGroup(QObject& group, int argc, char** argv);

int runRecordTests(int argc, char** argv);
int runExchangeTests(int argc, char** argv);
int runBatchTests(int argc, char** argv);
int runOnlineTests(int argc, char** argv);
// The process the kill test starts and kills: an on-line run on the given device.
int runOnlineVictim(const QString& device, int readers);

// The file line the host must write for a record the simulator stored, built from its bytes.
QString expectedFileLine(int reader, const sim::RecordBytes& record);
// The lines of a file whose every line ends with CR LF; fails the test on a bare or missing end.
QStringList crlfLines(const QByteArray& bytes);
// ".\DATA2\<prefix><today>" as a path under the working directory, without ".TXT".
QString todayBase(char prefix);
// Presses the button, from inside a running job, as soon as cond holds.
void pressWhen(const std::function<bool()>& cond, QAbstractButton* button);
// Open descriptors of this process that refer to the file.
int openDescriptorsOf(const QString& path);
