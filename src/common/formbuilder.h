#pragma once

#include <QHash>
#include <QString>
#include <QWidget>

#include <functional>
#include <span>

namespace quorvela {

// A window's controls are written down as a fixed table, one row per control, in the order
// they are created; buildForm() turns the table into widgets.
enum class ControlKind {
    Label,   // QLabel
    Button,  // QPushButton
    Frame,   // QGroupBox, a captioned panel that holds other controls
    TextBox, // QLineEdit
    ListBox, // QListView
    Picture, // QLabel showing a pixmap
    Custom,  // made by the caller's factory
};

struct ControlDef {
    const char* name;
    ControlKind kind;
    const char* container;        // nullptr: the form itself
    const char* caption;          // nullptr: none
    int left, top, width, height; // twips, relative to the container
    int tabIndex;                 // -1: takes no part in the tab order
};

// Makes the widget for a Custom row.
using ControlFactory = std::function<QWidget*(const ControlDef&, QWidget* parent)>;

// Creates every control of the table inside form, with its name as objectName, its caption,
// its geometry and the table's tab order; returns them by name.
QHash<QString, QWidget*> buildForm(QWidget* form, std::span<const ControlDef> table,
                                   const ControlFactory& factory = {});

// A control made by buildForm(), by its name and type; nullptr when there is none such.
template <typename T>
[[nodiscard]] T* controlOf(const QHash<QString, QWidget*>& controls, const char* name) {
    return qobject_cast<T*>(controls.value(QString::fromUtf8(name)));
}

// Chains the focus order of the given controls by their tab index.
void applyTabOrder(const QHash<QString, QWidget*>& controls, std::span<const ControlDef> table);

} // namespace quorvela
