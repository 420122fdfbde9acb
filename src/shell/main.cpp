// Start-up: one copy only, the splash, the main window, the event loop.
#include "Main.h"
#include "AppFonts.h"
#include "HostPaths.h"
#include "QtPrompts.h"
#include "SingleInstance.h"
#include "csplash.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(kProgramName);
    QtPrompts boxes;
    installPrompts(&boxes);

    // Korean standard buttons ("확인", "취소") when Qt's translation is installed.
    QTranslator qtKorean;
    if (qtKorean.load(QLocale(QLocale::Korean), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtKorean);
    installProgramFonts();

    // The settings, the COMn links and the collected files live in the working folder, wherever
    // the program was started from (a desktop menu starts it in the home directory).
    const QString workDir = defaultWorkDir();
    if (!QDir().mkpath(workDir) || !QDir::setCurrent(workDir))
        prompts().message(workDir + QStringLiteral(": 작업 폴더를 사용할 수 없습니다"), kProgramName,
                          Prompts::Icon::Error);

    const SingleInstance instance;
    if (!instance.acquired()) {
        prompts().message(QStringLiteral("프로그램이 이미 실행 중 입니다!"), QStringLiteral("확인"),
                          Prompts::Icon::None);
        return 1;
    }

    Splash = new TSplash;
    Splash->show();
    Splash->repaint();
    QApplication::processEvents();

    TMainForm mainForm;
    if (Splash) Splash->close();
    mainForm.show();
    return QApplication::exec();
}
