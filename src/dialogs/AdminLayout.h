// How the administration dialogs are laid out: the computer's clock across the top (clock
// dialogs), the result grid on the left, and on the right the dialog's own controls above the
// run and close buttons.
#pragma once

class QPushButton;
class QTableWidget;
class QWidget;

// Installs the layout on dialog; top may be null.
void layOutAdminDialog(QWidget* dialog, QWidget* top, QWidget* grid, QWidget* side, QPushButton* run,
                       QPushButton* close);
// The grid texts line up by their leading blanks: they are shown in the dual-width 굴림체.
void useAligningFont(QTableWidget* grid);
