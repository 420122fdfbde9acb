#include "UploadTests.h"

#include "AppFonts.h"
#include "ClockSnapshot.h"
#include "HostPaths.h"
#include "UploadFiles.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>
#include <QtTest>

#include <cctype>

QString expectedFileLine(int reader, const sim::RecordBytes& r) {
    const auto digits = [&r](int from, int count) {
        return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(r.data() + from), count).toHex());
    };
    return QStringLiteral("%1-%2 %3 %4 %5 %6 %7 %8 %9 %10")
        .arg(reader, 2, 10, QLatin1Char('0'))
        .arg(digits(0, 3), digits(9, 2), digits(11, 1), digits(12, 1), digits(13, 1), digits(14, 1),
             digits(15, 1), QString(QChar(char16_t((r[8] & 0x0F) | 0x30))), digits(3, 5));
}

QStringList crlfLines(const QByteArray& bytes) {
    if (bytes.isEmpty()) return {};
    if (!bytes.endsWith("\r\n")) {
        QTest::qFail("the file does not end with CR LF", __FILE__, __LINE__);
        return {};
    }
    QStringList lines = QString::fromLatin1(bytes.chopped(2)).split(QStringLiteral("\r\n"));
    for (const QString& line : lines)
        if (line.contains(QLatin1Char('\n')) || line.contains(QLatin1Char('\r'))) {
            QTest::qFail("a line does not end with CR LF", __FILE__, __LINE__);
            return {};
        }
    return lines;
}

QString todayBase(char prefix) {
    const ClockSnapshot now = ClockSnapshot::now();
    return hostPath(UploadFileName(prefix, now.year, now.month, now.day)).chopped(4);
}

void pressWhen(const std::function<bool()>& cond, QAbstractButton* button) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QPointer<QAbstractButton> target(button);
    QObject::connect(timer, &QTimer::timeout, [timer, cond, target] {
        if (!target) {
            timer->deleteLater();
            return;
        }
        if (!cond()) return;
        timer->stop();
        timer->deleteLater();
        target->click();
    });
    timer->start();
}

int openDescriptorsOf(const QString& path) {
    const QString wanted = QFileInfo(path).absoluteFilePath();
    int count = 0;
    for (const QFileInfo& fd : QDir(QStringLiteral("/proc/self/fd"))
                                   .entryInfoList(QDir::System | QDir::AllEntries | QDir::NoDotAndDotDot))
        if (fd.symLinkTarget() == wanted) ++count;
    return count;
}

int runGroup(QObject& group, int argc, char** argv) {
    const QMetaObject* meta = group.metaObject();
    const auto has = [meta](const QByteArray& name) {
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i)
            if (meta->method(i).name() == name) return true;
        return false;
    };
    std::vector<char*> args{argv[0]};
    bool named = false, mine = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        const bool function = !arg.isEmpty() && std::isalpha(static_cast<unsigned char>(arg.at(0))) &&
                              QByteArray(argv[i - 1]) != "-o";
        if (function) {
            named = true;
            if (!has(arg.split(':').first())) continue;
            mine = true;
        }
        args.push_back(argv[i]);
    }
    if (named && !mine) return 0;
    return QTest::qExec(&group, int(args.size()), args.data());
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    installProgramFonts();
    const QStringList args = app.arguments();
    if (args.size() == 4 && args.at(1) == QLatin1String("--online-victim"))
        return runOnlineVictim(args.at(2), args.at(3).toInt());
    int failed = 0;
    failed += runRecordTests(argc, argv);
    failed += runExchangeTests(argc, argv);
    failed += runBatchTests(argc, argv);
    failed += runOnlineTests(argc, argv);
    return failed;
}
