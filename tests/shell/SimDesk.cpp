#include "ShellTests.h"

#include "SimStation.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QPointer>
#include <QTimer>
#include <QtTest>

SimDesk::SimDesk(const std::function<void(sim::SimLine&)>& readers)
    : oldCwd_(QDir::currentPath()), oldHome_(qgetenv("HOME")) {
    QDir::setCurrent(dir.path());
    qputenv("HOME", dir.path().toUtf8());
    QDir().mkdir(QStringLiteral("DATA2"));
    QFile config(dir.filePath(QStringLiteral("QRX.CFG")));
    if (config.open(QIODevice::WriteOnly)) config.write(QByteArray::fromHex("010300010004"));
    config.close();
    line.makeLink("COM2");
    if (readers) readers(line);
    form = std::make_unique<TMainForm>(0);
    form->show();
    if (!QTest::qWaitForWindowActive(form.get())) qWarning("the main window did not become active");
    waitFor([this] { return form->Comm.isOpen(); });
}

SimDesk::~SimDesk() {
    form.reset();
    QDir::setCurrent(oldCwd_);
    qputenv("HOME", oldHome_);
}

QByteArray SimDesk::readFile(const QString& relative) const {
    QFile f(dir.filePath(relative));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const std::vector<DialogCommand> kDialogCommands{
    {"CONFIG_COMMSETClick", &TMainForm::CONFIG_COMMSETClick, "통신환경 설정"},
    {"MAIN_COMCHKClick", &TMainForm::MAIN_COMCHKClick, "통신상태 확인"},
    {"CONFIG_TIMESETClick", &TMainForm::CONFIG_TIMESETClick, "리더 시간설정"},
    {"CONFIG_TIMEClick", &TMainForm::CONFIG_TIMEClick, "리더 시간확인"},
    {"AUTO_TIME_SETClick", &TMainForm::AUTO_TIME_SETClick, "자동 근태모드 설정"},
    {"AUTO_TIME_CHECKClick", &TMainForm::AUTO_TIME_CHECKClick, "고정금액 DOWNLOAD"},
    {"STANDARD_SICKDNClick", &TMainForm::STANDARD_SICKDNClick, "식사가능시간/금액  DOWNLOAD"},
    {"UP_BATCHClick", &TMainForm::UP_BATCHClick, "수집자료 올려받기 (일괄작업)"},
    {"ONLINE1Click", &TMainForm::ONLINE1Click, "수집자료 올려받기 (ON-LINE)"},
    {"UP_GUNClick", &TMainForm::UP_GUNClick, "수집자료 건수 확인"},
    {"UP_DELClick", &TMainForm::UP_DELClick, "수집자료 전체삭제"},
    {"UP_REPORTClick", &TMainForm::UP_REPORTClick, "근태 현황"},
    {"DOWN_GODNClick", &TMainForm::DOWN_GODNClick, "고객자료 DOWNLOAD"},
    {"DOWN_GOClick", &TMainForm::DOWN_GOClick, "고객자료 개인별 확인/관리"},
    {"DOWN_GOGUNClick", &TMainForm::DOWN_GOGUNClick, "DOWNLOAD DATA 건수확인"},
    {"DOWN_GODELClick", &TMainForm::DOWN_GODELClick, "고객자료 전체삭제"},
    {"HelpAboutItemClick", &TMainForm::HelpAboutItemClick, "About"},
};

const DialogCommand& dialogCommand(const char* handler) {
    for (const DialogCommand& c : kDialogCommands)
        if (qstrcmp(c.handler, handler) == 0) return c;
    qFatal("no command %s", handler);
}

void onDialog(const std::function<void()>& open, const std::function<void(QDialog*)>& act) {
    bool acted = false;
    // Opening may pump events before the dialog is up (a shortcut does), so the dialog is
    // waited for rather than expected at the first turn of the event loop.
    QTimer poll;
    QDeadlineTimer deadline(10000);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QPointer<QDialog> dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog && !deadline.hasExpired()) return;
        poll.stop();
        acted = true;
        QVERIFY2(dialog, "no dialog came up");
        const auto closeLeftOpen = qScopeGuard([&dialog] {
            if (!dialog || !dialog->isVisible()) return;
            if (!QTest::currentTestFailed()) QTest::qFail("the dialog stayed open", __FILE__, __LINE__);
            dialog->done(QDialog::Rejected);
        });
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        QVERIFY(waitFor([&dialog] { return dialog->isAncestorOf(QApplication::focusWidget()); }));
        act(dialog);
    });
    poll.start(5);
    open();
    QVERIFY2(acted, "the command returned before its dialog came up");
}

void press(Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QTest::keyClick(static_cast<QWidget*>(nullptr), key, modifiers);
}

QString focusName() {
    const QWidget* focus = QApplication::focusWidget();
    return focus ? focus->objectName() : QString();
}
