// Files the report writes for the clerk (workbook, CSV, PDF, the rules): whole or not at all.
#pragma once

#include <QByteArray>
#include <QString>

// Writes the bytes to a new file beside the target and puts it in the target's place only once
// it is whole and on the disk, so that an earlier file of that name stays until then and no
// half-written file ever stands under it. Raises FileError with the system's description.
void saveAtomically(const QString& path, const QByteArray& bytes);
