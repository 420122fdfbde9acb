// A scripted stand-in for the message boxes: records every box and answers from a script.
#pragma once

#include "Prompts.h"

#include <QList>
#include <QStringList>

class ScriptedPrompts : public Prompts {
public:
    struct Box {
        QString text;
        QString caption;
        Icon icon;
        bool confirmation;
    };
    ScriptedPrompts() { installPrompts(this); }
    ~ScriptedPrompts() override { installPrompts(nullptr); }

    void message(const QString& text, const QString& caption, Icon icon) override;
    bool confirm(const QString& text, const QString& caption, Icon icon) override;

    // Answers for the coming confirmations, first to last; OK when the script is empty.
    QList<bool> answers;
    // Runs inside every box while it is "open" (a test can press buttons of the dialog).
    std::function<void(const Box&)> onShow;
    QList<Box> boxes;
    QStringList texts() const;
};
