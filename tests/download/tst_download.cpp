#include "DownloadTests.h"

#include "AppFonts.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    installProgramFonts();
    int failed = 0;
    failed += runCustomerTests(argc, argv);
    failed += runFileDownloadTests(argc, argv);
    return failed;
}
