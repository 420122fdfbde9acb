// Saves a picture of a window as <name>.png in the folder QRX_SCREENSHOTS names (for the
// README and for looking at the dialogs); does nothing when it is not set.
#pragma once

#include <QString>

class QWidget;

void saveScreenshot(QWidget* window, const QString& name);
