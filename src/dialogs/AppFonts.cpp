#include "AppFonts.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontDatabase>

namespace {
void standIn(const QString& family, const QString& standIn, const QString& shippedFile) {
    if (QFontDatabase::hasFamily(family)) return;
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(shippedFile);
    if (QFile::exists(beside)) QFontDatabase::addApplicationFont(beside);
    QFont::insertSubstitution(family, standIn);
}
} // namespace

void installProgramFonts() {
    standIn(QStringLiteral("굴림체"), QStringLiteral("NanumGothicCoding"),
            QStringLiteral("NanumGothicCoding.ttf"));
    standIn(QStringLiteral("굴림"), QStringLiteral("NanumGothic"), QStringLiteral("NanumGothic.ttf"));
    QFont ui(QStringLiteral("굴림"));
    ui.setPixelSize(12);
    QApplication::setFont(ui);
}
