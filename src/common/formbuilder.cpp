#include "common/formbuilder.h"

#include "common/twips.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>

#include <algorithm>
#include <vector>

namespace quorvela {

namespace {

QWidget* makeControl(const ControlDef& def, QWidget* parent, const ControlFactory& factory) {
    const QString caption = def.caption ? QString::fromUtf8(def.caption) : QString();
    switch (def.kind) {
    case ControlKind::Label:
    case ControlKind::Picture:
        return new QLabel(caption, parent);
    case ControlKind::Button:
        return new QPushButton(caption, parent);
    case ControlKind::Frame:
        return new QGroupBox(caption, parent);
    case ControlKind::TextBox:
        return new QLineEdit(caption, parent);
    case ControlKind::ListBox:
        return new QListView(parent);
    case ControlKind::Custom:
        return factory ? factory(def, parent) : nullptr;
    }
    return nullptr;
}

} // namespace

QHash<QString, QWidget*> buildForm(QWidget* form, std::span<const ControlDef> table,
                                   const ControlFactory& factory) {
    QHash<QString, QWidget*> controls;
    for (const ControlDef& def : table) {
        QWidget* parent = def.container ? controls.value(QString::fromUtf8(def.container)) : form;
        Q_ASSERT(parent);
        QWidget* control = makeControl(def, parent, factory);
        if (!control)
            continue;
        control->setObjectName(QString::fromUtf8(def.name));
        control->setGeometry(twipsRect(def.left, def.top, def.width, def.height));
        controls.insert(control->objectName(), control);
    }
    applyTabOrder(controls, table);
    return controls;
}

void applyTabOrder(const QHash<QString, QWidget*>& controls, std::span<const ControlDef> table) {
    std::vector<const ControlDef*> ordered;
    for (const ControlDef& def : table) {
        if (def.tabIndex >= 0)
            ordered.push_back(&def);
    }
    std::stable_sort(ordered.begin(), ordered.end(), [](const ControlDef* a, const ControlDef* b) {
        return a->tabIndex < b->tabIndex;
    });
    QWidget* previous = nullptr;
    for (const ControlDef* def : ordered) {
        QWidget* control = controls.value(QString::fromUtf8(def->name));
        if (!control || control->focusPolicy() == Qt::NoFocus)
            continue;
        if (previous)
            QWidget::setTabOrder(previous, control);
        previous = control;
    }
}

} // namespace quorvela
