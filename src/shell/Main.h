// The main window: menus, speed buttons, port indicator and status line; it owns the serial port,
// the reader link and the main timer, and opens one modal dialog per command.
#pragma once

#include "CommInt.h"
#include "LineSession.h"
#include "ReaderLink.h"
#include "TickTimer.h"

#include <QMainWindow>
#include <QMdiArea>
#include <QPixmap>

class QAction;
class QLabel;
class QToolButton;

// The client area; paints the background picture unscaled and centred.
class MdiClient : public QMdiArea {
public:
    using QMdiArea::QMdiArea;
    QPixmap picture;
    // Where a picture lands: centred, a larger one clipped evenly on both sides.
    static QPoint pictureOrigin(QSize client, QSize picture);

protected:
    void paintEvent(QPaintEvent* event) override;
};

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // startDelayMs: how long creation keeps the splash window up.
    explicit TMainForm(int startDelayMs = 1000);
    ~TMainForm() override;

    TComm Comm;
    ReaderLink Link{Comm, qtLinkEnv()};
    TickTimer Timer1{Link};
    LineSession Session{Link, [] { return QDate::currentDate(); }};
    QString ConfigFileName = QStringLiteral("QRX.CFG");
    QLabel* imsi;
    MdiClient* client;

    // Loads the settings (or asks for them) and opens the port, once.
    void FormActivate();

    void CONFIG_COMMSETClick();
    void MAIN_COMCHKClick();
    void CONFIG_TIMESETClick();
    void CONFIG_TIMEClick();
    void AUTO_TIME_SETClick();
    void STANDARD_GOClick();
    void AUTO_TIME_CHECKClick();
    void STANDARD_GODNClick();
    void STANDARD_SICKDNClick();
    void UP_BATCHClick();
    void ONLINE1Click();
    void UP_ONLINEClick();
    void ONLINETEST1Click();
    void UP_GUNClick();
    void UP_DELClick();
    void UP_REPORTClick();
    void DOWN_GODNClick();
    void DOWN_GOClick();
    void DOWN_GOGUNClick();
    void DOWN_GODELClick();
    void ABOUT_QRXClick();
    void HelpAboutItemClick();
    void END_EXITClick();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildMenus();
    void buildSpeedButtons();
    QAction* addCommand(QMenu* menu, const char* name, const QString& caption, const QKeySequence& shortcut,
                        void (TMainForm::*handler)());
    void addSpeedButton(QWidget* bar, const char* name, const QString& hint, int glyph,
                        void (TMainForm::*handler)());
    void openPort();
    // Reads QRX.CFG into the port's settings, once it can be read; raises what reading raises.
    void loadConfig();
    template <class Dialog, class... Args> void openDialog(Args&&... args);
    bool activated_ = false;
    bool configLoaded_ = false;
    QString lineIndicator_; // the indicator's text while it shows a lost line
};
