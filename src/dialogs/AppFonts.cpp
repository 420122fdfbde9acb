#include "AppFonts.h"

#include <QApplication>
#include <QFont>

void installProgramFonts() {
    QFont::insertSubstitution(QStringLiteral("굴림체"), QStringLiteral("NanumGothicCoding"));
    QFont::insertSubstitution(QStringLiteral("굴림"), QStringLiteral("NanumGothic"));
    QFont ui(QStringLiteral("굴림"));
    ui.setPixelSize(12);
    QApplication::setFont(ui);
}
