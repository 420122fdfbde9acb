#include "AdminTests.h"

#include <QApplication>
#include <QFont>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The program's fonts, so that screenshots show what the user sees.
    QFont::insertSubstitution(QStringLiteral("굴림체"), QStringLiteral("NanumGothicCoding"));
    QFont::insertSubstitution(QStringLiteral("굴림"), QStringLiteral("NanumGothic"));
    QFont ui(QStringLiteral("굴림"));
    ui.setPixelSize(12);
    QApplication::setFont(ui);
    int failed = 0;
    failed += runProtocolTests(argc, argv);
    failed += runPanelTests(argc, argv);
    failed += runDialogTests(argc, argv);
    failed += runRunGuardTests(argc, argv);
    return failed;
}
