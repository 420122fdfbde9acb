#include "ScriptedPrompts.h"

void ScriptedPrompts::message(const QString& text, const QString& caption, Icon icon) {
    boxes.append({text, caption, icon, false});
    if (onShow) onShow(boxes.last());
}

bool ScriptedPrompts::confirm(const QString& text, const QString& caption, Icon icon) {
    boxes.append({text, caption, icon, true});
    if (onShow) onShow(boxes.last());
    return answers.isEmpty() ? true : answers.takeFirst();
}

QStringList ScriptedPrompts::texts() const {
    QStringList out;
    for (const Box& b : boxes) out << b.text;
    return out;
}
