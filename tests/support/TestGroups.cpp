#include "TestGroups.h"

#include <QByteArray>
#include <QMetaObject>
#include <QObject>
#include <QTest>

#include <cctype>
#include <vector>

int runGroup(QObject& group, int argc, char** argv) {
    const QMetaObject* meta = group.metaObject();
    std::vector<char*> args{argv[0]};
    bool named = false, mine = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (std::isalpha(static_cast<unsigned char>(arg.at(0))) && QByteArray(argv[i - 1]) != "-o") {
            named = true;
            if (meta->indexOfMethod(arg.split(':').first() + "()") < 0) continue;
            mine = true;
        }
        args.push_back(argv[i]);
    }
    return named && !mine ? 0 : QTest::qExec(&group, int(args.size()), args.data());
}
