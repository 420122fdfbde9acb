#include "SerialLog.h"

Q_LOGGING_CATEGORY(lcSerial, "qrx.serial", QtInfoMsg)
