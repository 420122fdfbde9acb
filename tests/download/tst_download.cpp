#include "DownloadTests.h"

#include "AppFonts.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    installProgramFonts();
    int failed = 0;
    failed += runFileLineTests(argc, argv);
    failed += runCustomerDownloadTests(argc, argv);
    failed += runCustomerRecordTests(argc, argv);
    failed += runMealDownloadTests(argc, argv);
    failed += runFixedAmountTests(argc, argv);
    return failed;
}
