// The message boxes on the screen.
#pragma once

#include "Prompts.h"

class QtPrompts : public Prompts {
public:
    void message(const QString& text, const QString& caption, Icon icon) override;
    bool confirm(const QString& text, const QString& caption, Icon icon) override;
};
