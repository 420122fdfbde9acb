// The about box: a fixed dialog with placeholder labels and an OK button.
#pragma once

#include <QDialog>

class TAboutBox : public QDialog {
public:
    explicit TAboutBox(QWidget* parent = nullptr);
};
