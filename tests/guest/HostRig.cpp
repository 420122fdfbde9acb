#include "HostRig.h"

#include "SimStation.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

int HostRig::next_ = 0;

QString HostRig::folder() {
    return QString::fromLocal8Bit(qgetenv("QRX_GUEST_WORK"));
}

// Written whole under its name at once: the host polls for the name.
int HostRig::send(const QString& request) {
    const int n = next_++;
    QSaveFile file(folder() + QStringLiteral("/host/req.%1").arg(n));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(request.toUtf8() + '\n');
        file.commit();
    }
    return n;
}

QString HostRig::wait(int n, int timeoutMs) {
    QFile done(folder() + QStringLiteral("/host/done.%1").arg(n));
    if (!waitFor([&done] { return done.exists(); }, timeoutMs))
        return QStringLiteral("the host did not answer request %1").arg(n);
    if (!done.open(QIODevice::ReadOnly)) return done.errorString();
    const QString answer = QString::fromUtf8(done.readAll()).trimmed();
    return answer == QLatin1String("ok") ? QString() : answer;
}

QString HostRig::simFile(const QString& line, const QString& name) {
    return folder() + QLatin1Char('/') + line + QLatin1Char('/') + name;
}
