#include "Main.h"

#include "About.h"
#include "Childwin.h"
#include "ConfigFile.h"
#include "FBatch.h"
#include "FCOMCHK.h"
#include "FGaekDel.h"
#include "FGaekDn.h"
#include "FGaekGn.h"
#include "FGaekHk.h"
#include "FGoDn.h"
#include "FGoHk.h"
#include "FOnline.h"
#include "FPanDel.h"
#include "FPanGn.h"
#include "FSikDn.h"
#include "FTimeSheet.h"
#include "Glyphs.h"
#include "Prompts.h"
#include "RecordExchange.h"
#include "THWAK.h"
#include "UploadFiles.h"
#include "configf.h"
#include "csplash.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QShortcut>
#include <QStatusBar>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <utility>

namespace {
const char* const kCaption = "근태관리  QRX-500 (On,Sub)  98/2000/XP  r1.1";
const char* const kDamagedConfig = "QRX.CFG 파일이 손상되어 리더갯수를 1대로 합니다";
// The port indicator while a lost line keeps the port closed.
const char* const kLineClosed = "통신끊김";
constexpr int kClientWidth = 602;
constexpr int kClientHeight = 499;
constexpr int kSpeedPanelHeight = 30;
} // namespace

QPoint MdiClient::pictureOrigin(QSize client, QSize picture) {
    return {(client.width() - picture.width()) / 2, (client.height() - picture.height()) / 2};
}

void MdiClient::paintEvent(QPaintEvent* event) {
    QMdiArea::paintEvent(event);
    if (picture.isNull()) return;
    QPainter p(viewport());
    p.drawPixmap(pictureOrigin(viewport()->size(), picture.size()), picture);
}

TMainForm::TMainForm(int startDelayMs)
    : QMainWindow(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                               Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                               Qt::MSWindowsFixedSizeDialogHint) {
    QThread::msleep(ulong(startDelayMs));
    setObjectName("MainForm");
    setWindowTitle(QString::fromUtf8(kCaption));
    Comm.setDeviceName("Com2");
    Comm.setBaudRate(br1200);
    Comm.setMonitorEvents(allCommEvents);
    Comm.setOptions(0);
    Link.SelectedReader = 1;
    Link.ReaderCount = 1;

    client = new MdiClient(this);
    client->setObjectName("ClientArea");
    client->setBackground(palette().dark());
    client->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(client);
    buildMenus();
    buildSpeedButtons();
    statusBar()->setObjectName("StatusBar");
    statusBar()->setSizeGripEnabled(false);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    Link.timing().follow(Comm);
    Timer1.followLine(Link.timing());
    Link.setPortControl(PortControl{[this] { return Comm.isOpen(); }, [this] { openPort(); },
                                    [this] {
                                        Comm.Close();
                                        lineIndicator_ = imsi->text();
                                        imsi->setText(QString::fromUtf8(kLineClosed));
                                    }});
}

TMainForm::~TMainForm() {
    Comm.Close();
    // Forced to the disk as the program ends, the ledger is trusted after a power cut too.
    try {
        Link.ledger.checkpoint();
    } catch (const std::exception&) {
        // Nothing left to tell it to: the next start takes the file as it finds it.
    }
}

QAction* TMainForm::addCommand(QMenu* menu, const char* name, const QString& caption,
                               const QKeySequence& shortcut, void (TMainForm::*handler)()) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    action->setShortcut(shortcut);
    if (handler) connect(action, &QAction::triggered, this, handler);
    return action;
}

void TMainForm::buildMenus() {
    QMenu* config = menuBar()->addMenu(QStringLiteral("기본설정"));
    config->setObjectName("MAIN_CONFIG");
    addCommand(config, "CONFIG_COMMSET", QStringLiteral("통신환경 설정"), QKeySequence("Ctrl+J"),
               &TMainForm::CONFIG_COMMSETClick);
    addCommand(config, "MAIN_COMCHK", QStringLiteral("통신상태 확인"), QKeySequence("Ctrl+C"),
               &TMainForm::MAIN_COMCHKClick);
    config->addSeparator();
    addCommand(config, "CONFIG_TIMESET", QStringLiteral("리더 시간설정"), QKeySequence("Ctrl+A"),
               &TMainForm::CONFIG_TIMESETClick);
    addCommand(config, "CONFIG_TIME", QStringLiteral("리더 시간확인"), QKeySequence("Ctrl+S"),
               &TMainForm::CONFIG_TIMEClick);

    QMenu* standard = menuBar()->addMenu(QStringLiteral("시간관리"));
    standard->setObjectName("MAIN_STANDARD");
    addCommand(standard, "AUTO_TIME_SET", QStringLiteral("자동 근태모드 설정"), QKeySequence("Ctrl+T"),
               &TMainForm::AUTO_TIME_SETClick);
    // A hidden item keeps its shortcut: Qt drops the shortcuts of invisible actions, so the
    // window carries it.
    addCommand(standard, "AUTO_TIME_CHECK", QStringLiteral("자동 근태모드 확인"), QKeySequence(), nullptr)
        ->setVisible(false);
    auto* hidden = new QShortcut(QKeySequence("Ctrl+U"), this, this, &TMainForm::AUTO_TIME_CHECKClick);
    hidden->setObjectName("AUTO_TIME_CHECK_Shortcut");

    QMenu* up = menuBar()->addMenu(QStringLiteral("수집자료 처리"));
    up->setObjectName("MAIN_UP");
    addCommand(up, "UP_BATCH", QStringLiteral("수집자료 올려받기 (일괄작업)"), QKeySequence("Ctrl+D"),
               &TMainForm::UP_BATCHClick);
    addCommand(up, "ONLINE1", QStringLiteral("수집자료 올려받기 (ON-LINE)"), QKeySequence("Ctrl+O"),
               &TMainForm::ONLINE1Click);
    addCommand(up, "UP_GUN", QStringLiteral("수집자료 건수 확인"), QKeySequence("Ctrl+W"),
               &TMainForm::UP_GUNClick);
    addCommand(up, "UP_REPORT", QStringLiteral("근태 현황"), QKeySequence("Ctrl+R"),
               &TMainForm::UP_REPORTClick);
    up->addSeparator();
    addCommand(up, "UP_DEL", QStringLiteral("수집자료 전체 삭제"), QKeySequence("Ctrl+B"),
               &TMainForm::UP_DELClick);

    QMenu* end = menuBar()->addMenu(QStringLiteral("종 료"));
    end->setObjectName("MAIN_END");
    addCommand(end, "ABOUT_QRX", QStringLiteral("QRX에 대해.."), QKeySequence(), &TMainForm::ABOUT_QRXClick)
        ->setVisible(false);
    addCommand(end, "END_EXIT", QStringLiteral("종료"), QKeySequence("Ctrl+X"), &TMainForm::END_EXITClick);
}

void TMainForm::addSpeedButton(QWidget* bar, const char* name, const QString& hint, int glyph,
                               void (TMainForm::*handler)()) {
    auto* button = new QToolButton(bar);
    button->setObjectName(name);
    button->setIcon(glyphIcon(Glyph(glyph)));
    button->setIconSize(QSize(24, 24));
    button->setAutoRaise(true);
    button->setToolTip(hint);
    button->setStatusTip(hint);
    // The button shows only its glyph; a screen reader says the hint.
    button->setAccessibleName(hint);
    button->setFixedSize(28, 28);
    connect(button, &QToolButton::clicked, this, handler);
    bar->layout()->addWidget(button);
}

void TMainForm::buildSpeedButtons() {
    auto* toolbar = addToolBar(QStringLiteral("SpeedBar"));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->toggleViewAction()->setVisible(false);
    auto* bar = new QWidget(toolbar);
    bar->setObjectName("SpeedPanel");
    bar->setFixedHeight(kSpeedPanelHeight);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(2, 1, 2, 1);
    row->setSpacing(1);
    addSpeedButton(bar, "SpeedButton1", QStringLiteral("통신환경 설정"), int(Glyph::Settings),
                   &TMainForm::CONFIG_COMMSETClick);
    addSpeedButton(bar, "SpeedButton16", QStringLiteral("통신상태 확인"), int(Glyph::Status),
                   &TMainForm::MAIN_COMCHKClick);
    addSpeedButton(bar, "SpeedButton2", QStringLiteral("리더 시간확인"), int(Glyph::ClockRead),
                   &TMainForm::CONFIG_TIMEClick);
    addSpeedButton(bar, "SpeedButton3", QStringLiteral("리더 시간설정"), int(Glyph::ClockSet),
                   &TMainForm::CONFIG_TIMESETClick);
    addSpeedButton(bar, "SpeedButton9", QStringLiteral("자동 근태모드 설정"), int(Glyph::ModeTable),
                   &TMainForm::STANDARD_GOClick);
    row->addSpacing(8);
    addSpeedButton(bar, "SpeedButton7", QStringLiteral("수집자료 올려받기 (일괄작업)"), int(Glyph::Batch),
                   &TMainForm::UP_BATCHClick);
    addSpeedButton(bar, "SpeedButton4", QStringLiteral("수집자료 올려받기 (ON-LINE)"), int(Glyph::Online),
                   &TMainForm::ONLINE1Click);
    addSpeedButton(bar, "SpeedButton12", QStringLiteral("수집자료 건수확인"), int(Glyph::Count),
                   &TMainForm::UP_GUNClick);
    addSpeedButton(bar, "SpeedButton17", QStringLiteral("근태 현황"), int(Glyph::TimeSheet),
                   &TMainForm::UP_REPORTClick);
    addSpeedButton(bar, "SpeedButton14", QStringLiteral("수집자료 전체삭제"), int(Glyph::Erase),
                   &TMainForm::UP_DELClick);
    row->addSpacing(8);
    addSpeedButton(bar, "SpeedButton15", QStringLiteral("종료"), int(Glyph::Exit), &TMainForm::END_EXITClick);
    addSpeedButton(bar, "SpeedButton5", QStringLiteral("자동 근태모드 확인"), int(Glyph::Meal),
                   &TMainForm::STANDARD_SICKDNClick);
    bar->findChild<QToolButton*>("SpeedButton5")->setVisible(false);
    row->addStretch();
    imsi = new QLabel(bar);
    imsi->setObjectName("imsi");
    imsi->setFixedSize(130, 24);
    imsi->setAlignment(Qt::AlignCenter);
    imsi->setStyleSheet(QStringLiteral("background: black; color: yellow; font-weight: bold;"));
    row->addWidget(imsi);
    bar->setFixedWidth(kClientWidth - 8);
    toolbar->addWidget(bar);
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // Without a window manager the window may never be activated: the first show stands in.
    QTimer::singleShot(0, this, &TMainForm::FormActivate);
}

void TMainForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

void TMainForm::FormActivate() {
    if (activated_) return;
    activated_ = true;
    runGuarded([this] {
        if (!QFile::exists(ConfigFileName)) {
            openDialog<TForm_Config>(Comm, Link.ReaderCount, imsi, ConfigFileName);
            configLoaded_ = true;
        }
        openPort();
    });
}

void TMainForm::loadConfig() {
    if (QFile::exists(ConfigFileName)) {
        const LineSettings settings = decodeConfig(readConfigFile(ConfigFileName));
        applySettings(settings, Comm);
        imsi->setText(settings.indicator);
        Link.ReaderCount = settings.readerCount;
        if (settings.damaged) Link.ShowNotice(QString::fromUtf8(kDamagedConfig));
    }
    configLoaded_ = true;
}

// Every job opens the port through here when it is closed: not before the ledger of what the
// readers may still hold is kept beside the settings, nor on a default port while the settings
// cannot be read. The line's timing follows the settings even when the port does not open, so
// that the next successful open does not run on the old speed's waits.
void TMainForm::openPort() {
    if (Link.ledger.path().isEmpty()) Session.attachLedger(QDir::currentPath());
    if (!configLoaded_) loadConfig();
    Link.timing().follow(Comm);
    Timer1.followLine(Link.timing());
    openLine(Comm);
    if (!lineIndicator_.isEmpty()) imsi->setText(std::exchange(lineIndicator_, QString()));
}

template <class Dialog, class... Args> void TMainForm::openDialog(Args&&... args) {
    auto* dialog = new Dialog(std::forward<Args>(args)..., this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->exec();
}

void TMainForm::CONFIG_COMMSETClick() {
    Comm.Close();
    // The settings dialog writes the indicator anew; a lost line's mark must not come back over it.
    if (!lineIndicator_.isEmpty()) imsi->setText(std::exchange(lineIndicator_, QString()));
    openDialog<TForm_Config>(Comm, Link.ReaderCount, imsi, ConfigFileName);
    configLoaded_ = configLoaded_ || QFile::exists(ConfigFileName);
    runGuarded([this] { openPort(); });
}

void TMainForm::MAIN_COMCHKClick() {
    openDialog<TComCheck>(Link);
}
void TMainForm::CONFIG_TIMESETClick() {
    openDialog<TMDIChild>(Link, QStringLiteral("리더 시간설정"));
}
void TMainForm::CONFIG_TIMEClick() {
    openDialog<TForm_Th>(Link);
}
void TMainForm::AUTO_TIME_SETClick() {
    openDialog<TGoHk>(Link);
}
void TMainForm::STANDARD_GOClick() {
    openDialog<TGoHk>(Link);
}
void TMainForm::AUTO_TIME_CHECKClick() {
    openDialog<TGODN>(Link);
}
void TMainForm::STANDARD_GODNClick() {
    openDialog<TGODN>(Link);
}
void TMainForm::STANDARD_SICKDNClick() {
    openDialog<TSikDn>(Link);
}
void TMainForm::UP_BATCHClick() {
    openDialog<TBatch>(Link);
}
void TMainForm::ONLINE1Click() {
    openDialog<TOnline>(Link, Comm);
}
void TMainForm::UP_ONLINEClick() {
    openDialog<TOnline>(Link, Comm);
}
void TMainForm::ONLINETEST1Click() {
    openDialog<TOnline>(Link, Comm);
}
void TMainForm::UP_GUNClick() {
    openDialog<TPanGn>(Link);
}
void TMainForm::UP_DELClick() {
    openDialog<TPanDel>(Link);
}
void TMainForm::UP_REPORTClick() {
    openDialog<TTimeSheet>();
}
void TMainForm::DOWN_GODNClick() {
    openDialog<TGaekDn>(Link);
}
void TMainForm::DOWN_GOClick() {
    openDialog<TGaekHk>(Link);
}
void TMainForm::DOWN_GOGUNClick() {
    openDialog<TGaekGn>(Link);
}
void TMainForm::DOWN_GODELClick() {
    openDialog<TGaekDel>(Link);
}

void TMainForm::ABOUT_QRXClick() {
    if (!Splash) Splash = new TSplash;
    Splash->show();
    Splash->repaint();
}

void TMainForm::HelpAboutItemClick() {
    openDialog<TAboutBox>();
}

void TMainForm::END_EXITClick() {
    Comm.Close();
    close();
}
