#include "CaptionPanel.h"

#include <QLabel>

QLabel* captionPanel(QWidget* parent, const QString& name, const QString& text, bool sunken) {
    auto* panel = new QLabel(text, parent);
    panel->setObjectName(name);
    panel->setFrameStyle(QFrame::Panel | (sunken ? QFrame::Sunken : QFrame::Raised));
    panel->setLineWidth(1);
    panel->setAlignment(Qt::AlignCenter);
    return panel;
}
