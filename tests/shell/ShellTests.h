// The groups of tst_shell, each a QtTest class of its own, and what they share.
#pragma once

#include "Main.h"
#include "ReaderSim.h"
#include "ScriptedPrompts.h"

#include <QTemporaryDir>

#include <functional>
#include <memory>

class QDialog;

int runShellTests(int argc, char** argv);
int runAccessibilityTests(int argc, char** argv);
int runKeyboardTests(int argc, char** argv);

// The main window as the demo runs it: four simulated readers on COM2 at 9600 bit/s (QRX.CFG
// says so; readers take records before the window opens), a fresh working directory with DATA2
// that is also HOME, scripted message boxes; the window shown and active, its port open.
class SimDesk {
public:
    explicit SimDesk(const std::function<void(sim::SimLine&)>& readers = {});
    ~SimDesk();

    QTemporaryDir dir;
    sim::SimLine line{4};
    ScriptedPrompts boxes;
    std::unique_ptr<TMainForm> form;

    QByteArray readFile(const QString& relative) const;

private:
    QString oldCwd_;
    QByteArray oldHome_;
};

// A command of the main window and the caption of the dialog it opens.
struct DialogCommand {
    const char* handler;
    void (TMainForm::*open)();
    const char* caption;
};
// Every dialog the main window can open, once each.
extern const std::vector<DialogCommand> kDialogCommands;
const DialogCommand& dialogCommand(const char* handler);

// Calls open, which opens a modal dialog, and runs act on that dialog once it is up and has the
// keyboard; returns when the dialog has closed. A dialog that act leaves open fails the test
// and is closed.
void onDialog(const std::function<void()>& open, const std::function<void(QDialog*)>& act);
// A key pressed on the control that has the keyboard, as the keyboard would.
void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// The object name of the control that has the keyboard.
QString focusName();
