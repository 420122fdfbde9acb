// The serial component's log: open, close, errors and hang-ups. Off by default; switch it on with
// QT_LOGGING_RULES="qrx.serial.debug=true".
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcSerial)
