#include "AdminTests.h"

#include "AppFonts.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    installProgramFonts();
    int failed = 0;
    failed += runProtocolTests(argc, argv);
    failed += runDialogTests(argc, argv);
    failed += runSharedTests(argc, argv);
    return failed;
}
