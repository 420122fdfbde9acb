// File and number errors: like the port's errors they end the current job and reach the
// default error box with their message.
#pragma once

#include <QString>

#include <stdexcept>

class FileError : public std::runtime_error {
public:
    explicit FileError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// "<path>: <the system's description of errno>".
[[noreturn]] void throwFileError(const QString& path, int error);
