// The one seam for every message box: notices, confirmations, completion boxes and the
// default error box. The program installs boxes on the screen; tests install a scripted one.
#pragma once

#include <QString>

#include <functional>

class Prompts {
public:
    enum class Icon { None, Information, Warning, Error, Question };
    virtual ~Prompts() = default;
    // A modal box with a single OK button.
    virtual void message(const QString& text, const QString& caption, Icon icon) = 0;
    // A modal box with OK and Cancel; true when the user pressed OK.
    virtual bool confirm(const QString& text, const QString& caption, Icon icon) = 0;
};

// The application's prompts; installed once at start-up (or by a test).
Prompts& prompts();
void installPrompts(Prompts* p);

// The program's name: the caption of the default error box.
extern const QString kProgramName;

// Runs a job that may raise (port, file and number errors); an error ends the job and is shown
// in the default error box. Returns false when the job ended by an error.
bool runGuarded(const std::function<void()>& job);
