// The framed, centred labels the dialogs caption their controls and show their figures in.
#pragma once

class QLabel;
class QString;
class QWidget;

// A captioned panel: a framed label, sunken or raised.
QLabel* captionPanel(QWidget* parent, const QString& name, const QString& text, bool sunken = true);
