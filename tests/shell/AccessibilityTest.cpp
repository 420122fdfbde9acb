// What a screen reader finds: every control of the main window and of every dialog it opens
// carries a name, and the pie gauge reads as a percentage.
#include "ShellTests.h"

#include "PieGauge.h"
#include "ProgressCounters.h"
#include "TestGroups.h"

#include <QAccessible>
#include <QDialog>
#include <QtTest>

namespace {
// Controls a user operates, or reads a value from, by name.
bool needsName(QAccessible::Role role) {
    switch (role) {
    case QAccessible::Button:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown:
    case QAccessible::SpinBox:
    case QAccessible::Slider:
    case QAccessible::ScrollBar:
    case QAccessible::EditableText:
    case QAccessible::ComboBox:
    case QAccessible::ProgressBar:
    case QAccessible::MenuItem:
        return true;
    default:
        return false;
    }
}

QString describe(QAccessibleInterface* node) {
    const QObject* object = node->object();
    return QStringLiteral("%1 %2").arg(QString::fromLatin1(object ? object->metaObject()->className() : "?"),
                                       object ? object->objectName() : QString());
}

// Walks the tree below node; a control the user cannot see (a hidden one, or one in a hidden
// part) is not asked for.
void collectUnnamed(QAccessibleInterface* node, QStringList& unnamed, int& controls) {
    if (!node || node->state().invisible) return;
    if (needsName(node->role())) {
        ++controls;
        if (node->text(QAccessible::Name).trimmed().isEmpty()) unnamed << describe(node);
    }
    for (int i = 0; i < node->childCount(); ++i) collectUnnamed(node->child(i), unnamed, controls);
}

// The unnamed controls of a shown window; fails when the walk finds no control at all.
QStringList unnamedControls(QWidget* window) {
    QStringList unnamed;
    int controls = 0;
    collectUnnamed(QAccessible::queryAccessibleInterface(window), unnamed, controls);
    if (controls == 0) unnamed << QStringLiteral("(no control found: the tree was not walked)");
    return unnamed;
}
} // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void mainWindowControlsAreNamed() {
        SimDesk desk;
        const QStringList unnamed = unnamedControls(desk.form.get());
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));
    }

    // Each dialog as its command opens it; Esc then closes it, as 종료 would.
    void everyDialogControlIsNamed_data() {
        QTest::addColumn<QByteArray>("handler");
        for (const DialogCommand& c : kDialogCommands) QTest::newRow(c.handler) << QByteArray(c.handler);
    }
    void everyDialogControlIsNamed() {
        QFETCH(QByteArray, handler);
        const DialogCommand& command = dialogCommand(handler.constData());
        SimDesk desk;
        QStringList unnamed;
        QString caption;
        bool closedByEsc = false;
        onDialog([&] { ((*desk.form).*command.open)(); },
                 [&](QDialog* dialog) {
                     caption = dialog->windowTitle();
                     unnamed = unnamedControls(dialog);
                     press(Qt::Key_Escape);
                     closedByEsc = !dialog->isVisible();
                 });
        QCOMPARE(caption, QString::fromUtf8(command.caption));
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));
        QVERIFY(closedByEsc);
        QVERIFY(desk.boxes.boxes.isEmpty());
    }

    // A progress bar whose value is the percentage the pie shows, named by its caption.
    void gaugeReadsAsAPercentage() {
        ProgressCounters counters(nullptr);
        counters.setTotal(8);
        counters.setDone(3);
        QAccessibleInterface* gauge = QAccessible::queryAccessibleInterface(counters.Gauge1);
        QVERIFY(gauge);
        QCOMPARE(gauge->role(), QAccessible::ProgressBar);
        QCOMPARE(gauge->text(QAccessible::Name), QStringLiteral("Work Progress"));
        QCOMPARE(gauge->text(QAccessible::Value), QStringLiteral("37%"));
        QAccessibleValueInterface* value = gauge->valueInterface();
        QVERIFY(value);
        QCOMPARE(value->currentValue().toInt(), 37);
        QCOMPARE(value->maximumValue().toInt(), 100);
        counters.setDone(8);
        QCOMPARE(gauge->text(QAccessible::Value), QStringLiteral("100%"));

        PieGauge alone;
        alone.setMaxValue(4);
        alone.setProgress(1);
        QCOMPARE(QAccessible::queryAccessibleInterface(&alone)->text(QAccessible::Name),
                 QStringLiteral("25%"));
    }
};

int runAccessibilityTests(int argc, char** argv) {
    AccessibilityTest test;
    return runGroup(test, argc, argv);
}

#include "AccessibilityTest.moc"
