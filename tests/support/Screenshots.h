// Pictures of windows for the README and for looking at the dialogs, saved as <name>.png in the
// folder QRX_SCREENSHOTS names; without it these do nothing.
#pragma once

#include <QString>

class QWidget;

// The window as it paints itself, without the desktop's frame.
void saveScreenshot(QWidget* window, const QString& name);
// The window as the desktop shows it: cut from the screen along its frame (title bar and
// border, when a window manager draws them), with whatever stands over it, such as its dialog.
void saveDesktopPicture(QWidget* window, const QString& name);
