// The groups of tst_report, each a QtTest class of its own, and what they share.
#pragma once

#include "Punches.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

int runRulesTests(int argc, char** argv);
int runInputTests(int argc, char** argv);
int runOutputTests(int argc, char** argv);
int runDialogTests(int argc, char** argv);

// "03-04 08:51 1 1234" — month-day, time, mode, employee number — as the file line of a punch in
// 2024 by reader 01 with sequence number seq: "01-000007 2024 03 04 08 51 00 1 0000001234".
QByteArray punchLine(const QString& compact, int seq, int reader = 1);
// The punches of such lines, numbered 1, 2, ... in order.
std::vector<Punch> punchesOf(const QStringList& compact);
QByteArray linesOf(const QStringList& compact);

void writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);
