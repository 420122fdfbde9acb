#include "SimTests.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int failed = 0;
    failed += runCodecTests(argc, argv);
    failed += runAnswerTests(argc, argv);
    failed += runFaultTests(argc, argv);
    failed += runLineTests(argc, argv);
    failed += runLineModelTests(argc, argv);
    failed += runStateTests(argc, argv);
    return failed;
}
