// How the administration dialogs are laid out: the computer's clock across the top (clock
// dialogs), the result grid on the left, and on the right the dialog's own controls above the
// run and close buttons.
#pragma once

class QPushButton;
class QWidget;

// Installs the layout on dialog; top may be null.
void layOutAdminDialog(QWidget* dialog, QWidget* top, QWidget* grid, QWidget* side, QPushButton* run,
                       QPushButton* close);
