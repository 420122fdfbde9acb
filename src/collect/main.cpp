// qrx-collect: collects the readers' punch records continuously, without a window.
#include "CollectOptions.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    CollectOptions options;
    const QString error = parseCollectOptions(app.arguments().mid(1), QDir::homePath(), options);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "qrx-collect: %s\n%s", qPrintable(error), kCollectUsage);
        return 2;
    }
    if (options.help) {
        std::fputs(kCollectUsage, stdout);
        return 0;
    }
    if (options.version) {
        std::printf("qrx-collect %s\n", QRX_VERSION);
        return 0;
    }
    return 0;
}
