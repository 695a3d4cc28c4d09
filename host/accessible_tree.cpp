#include "host/accessible_tree.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QWidget>
#include <functional>

namespace pelex::host {

namespace {

// Visits every visible element under `iface`, depth first, until `visit` returns true.
QAccessibleInterface* walk(QAccessibleInterface* iface, const std::function<bool(QAccessibleInterface*)>& visit) {
    if (!iface || !iface->isValid() || iface->state().invisible) return nullptr;
    if (visit(iface)) return iface;
    for (int i = 0; i < iface->childCount(); ++i)
        if (auto* found = walk(iface->child(i), visit)) return found;
    return nullptr;
}

bool canPress(QAccessibleInterface* iface) {
    auto* actions = iface->actionInterface();
    return actions && actions->actionNames().contains(QAccessibleActionInterface::pressAction());
}

}  // namespace

QAccessibleInterface* findPressable(QWidget* root, const QString& name) {
    return walk(QAccessible::queryAccessibleInterface(root), [&](QAccessibleInterface* i) {
        return i->text(QAccessible::Name) == name && canPress(i) && !i->state().disabled;
    });
}

bool press(QWidget* root, const QString& name) {
    auto* iface = findPressable(root, name);
    if (!iface) return false;
    iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    return true;
}

QStringList visibleTexts(QWidget* root) {
    QStringList texts;
    walk(QAccessible::queryAccessibleInterface(root), [&](QAccessibleInterface* i) {
        if (i->role() == QAccessible::StaticText) {
            const QString value = i->text(QAccessible::Value);
            texts << (value.isEmpty() ? i->text(QAccessible::Name) : value);
        }
        return false;
    });
    return texts;
}

bool isShown(QWidget* root, const QString& name) {
    return walk(QAccessible::queryAccessibleInterface(root),
                [&](QAccessibleInterface* i) { return i->text(QAccessible::Name) == name; }) != nullptr;
}

}  // namespace pelex::host
