#include "DownloadTests.h"

#include <QApplication>
#include <QFont>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // As the program does, so that screenshots show the dialogs' real fonts.
    QFont::insertSubstitution(QStringLiteral("굴림체"), QStringLiteral("NanumGothicCoding"));
    QFont::insertSubstitution(QStringLiteral("굴림"), QStringLiteral("NanumGothic"));
    QFont ui(QStringLiteral("굴림"));
    ui.setPixelSize(12);
    QApplication::setFont(ui);
    int failed = 0;
    failed += runFileLineTests(argc, argv);
    failed += runCustomerDownloadTests(argc, argv);
    failed += runCustomerRecordTests(argc, argv);
    failed += runMealDownloadTests(argc, argv);
    failed += runFixedAmountTests(argc, argv);
    return failed;
}
