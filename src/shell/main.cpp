// Start-up: one copy only, the splash, the main window, the event loop.
#include "Main.h"
#include "QtPrompts.h"
#include "SingleInstance.h"
#include "csplash.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QTranslator>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(kProgramName);
    QtPrompts boxes;
    installPrompts(&boxes);

    const SingleInstance instance;
    if (!instance.acquired()) {
        prompts().message(QStringLiteral("프로그램이 이미 실행 중 입니다!"), QStringLiteral("확인"),
                          Prompts::Icon::None);
        return 1;
    }

    // Korean standard buttons ("확인", "취소") when Qt's translation is installed.
    QTranslator qtKorean;
    if (qtKorean.load(QLocale(QLocale::Korean), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtKorean);
    // The dialogs ask for 굴림체 where columns must line up: NanumGothicCoding is dual-width.
    QFont::insertSubstitution(QStringLiteral("굴림체"), QStringLiteral("NanumGothicCoding"));
    QFont::insertSubstitution(QStringLiteral("굴림"), QStringLiteral("NanumGothic"));
    QFont ui(QStringLiteral("굴림"));
    ui.setPixelSize(12);
    QApplication::setFont(ui);

    Splash = new TSplash;
    Splash->show();
    Splash->repaint();
    QApplication::processEvents();

    TMainForm mainForm;
    if (Splash) Splash->close();
    mainForm.show();
    return QApplication::exec();
}
