#pragma once
// Reads and operates the hosted control through its accessibility tree, the
// way assistive technology does: buttons by their accessible names, texts of
// the labels the control exposes.

#include <QString>
#include <QStringList>

class QAccessibleInterface;
class QWidget;

namespace pelex::host {

/// The first visible element under `root` whose accessible name is `name`
/// and that offers the press action; null when there is none.
QAccessibleInterface* findPressable(QWidget* root, const QString& name);

/// Presses the visible, pressable element named `name`. Returns false when
/// there is none.
bool press(QWidget* root, const QString& name);

/// The texts of the visible static-text elements under `root`, in tree order.
QStringList visibleTexts(QWidget* root);

/// True when the visible element named `name` (of any role) exists under `root`.
bool isShown(QWidget* root, const QString& name);

}  // namespace pelex::host
