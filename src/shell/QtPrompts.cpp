#include "QtPrompts.h"

#include <QApplication>
#include <QMessageBox>

namespace {
QMessageBox::Icon boxIcon(Prompts::Icon icon) {
    switch (icon) {
    case Prompts::Icon::Information:
        return QMessageBox::Information;
    case Prompts::Icon::Warning:
        return QMessageBox::Warning;
    case Prompts::Icon::Error:
        return QMessageBox::Critical;
    case Prompts::Icon::Question:
        return QMessageBox::Question;
    case Prompts::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

int showBox(const QString& text, const QString& caption, Prompts::Icon icon,
            QMessageBox::StandardButtons buttons) {
    QMessageBox box(boxIcon(icon), caption, text, buttons, QApplication::activeWindow());
    return box.exec();
}
} // namespace

void QtPrompts::message(const QString& text, const QString& caption, Icon icon) {
    showBox(text, caption, icon, QMessageBox::Ok);
}

bool QtPrompts::confirm(const QString& text, const QString& caption, Icon icon) {
    return showBox(text, caption, icon, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}
