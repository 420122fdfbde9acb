// The few calls an upload file makes to the system, on a file handle of the platform:
// OutputFilePosix.cpp uses a descriptor (fdatasync, ftruncate), OutputFileWin32.cpp a Win32
// handle (FlushFileBuffers, SetEndOfFile). Each returns 0 or the system's error number, which
// outputErrorText describes.
#pragma once

#include <QString>

#include <cstdint>

using OutputHandle = std::intptr_t;
constexpr OutputHandle kNoOutput = -1;

// Opens the file for reading and writing, creating it; truncate empties it.
int openOutput(const QString& path, bool truncate, OutputHandle& handle);
int closeOutput(OutputHandle handle);
// The file's size, where the next bytes go.
int outputSize(OutputHandle handle, std::int64_t& size);
// Reads up to count bytes at offset into buffer; got says how many came.
int readOutputAt(OutputHandle handle, std::int64_t offset, char* buffer, int count, int& got);
// Writes all of count bytes at the end of the file.
int appendOutput(OutputHandle handle, const char* bytes, std::int64_t count);
// Forces what was written (and the size) to the disk. A file system that cannot do this on a
// file counts as done.
int syncOutput(OutputHandle handle);
// Cuts the file back to size bytes.
int truncateOutput(OutputHandle handle, std::int64_t size);
// The system's description of an error number.
QString outputErrorText(int error);
