#include "Prompts.h"

#include <QLoggingCategory>

#include <exception>

const QString kProgramName = QStringLiteral("qrx");

namespace {
Prompts* installed = nullptr;
}

Prompts& prompts() {
    Q_ASSERT(installed);
    return *installed;
}

void installPrompts(Prompts* p) {
    installed = p;
}

bool runGuarded(const std::function<void()>& job) {
    try {
        job();
        return true;
    } catch (const std::exception& e) {
        prompts().message(QString::fromLocal8Bit(e.what()), kProgramName, Prompts::Icon::Error);
        return false;
    }
}
