// The colours of a control's text and background, as the player's lists and swatches take them.
#include "widgets/controlcolors.h"

#include <QApplication>
#include <QVariant>
#include <QWidget>

namespace quorvela {

namespace {

constexpr const char* ForeProperty = "quorvelaForeColor";
constexpr const char* BackProperty = "quorvelaBackColor";

// System colours are looked up in the palette the control would have by default, not in
// the one we have already painted over.
QColor resolveFor(const QWidget* control, color::Value value) {
    return color::resolve(value, QApplication::palette(control));
}

color::Value storedOr(const QWidget* control, const char* property, color::Value fallback) {
    const QVariant v = control->property(property);
    return v.isValid() ? v.value<color::Value>() : fallback;
}

} // namespace

void setForeColor(QWidget* control, color::Value value) {
    control->setProperty(ForeProperty, QVariant::fromValue(value));
    QPalette p = control->palette();
    const QColor c = resolveFor(control, value);
    for (auto role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText}) {
        p.setColor(QPalette::Active, role, c);
        p.setColor(QPalette::Inactive, role, c);
    }
    control->setPalette(p);
}

void setBackColor(QWidget* control, color::Value value) {
    control->setProperty(BackProperty, QVariant::fromValue(value));
    QPalette p = control->palette();
    const QColor c = resolveFor(control, value);
    for (auto role : {QPalette::Base, QPalette::Window, QPalette::Button}) {
        p.setColor(QPalette::Active, role, c);
        p.setColor(QPalette::Inactive, role, c);
    }
    control->setPalette(p);
    control->setAutoFillBackground(true);
}

color::Value foreColor(const QWidget* control) {
    return storedOr(control, ForeProperty, color::WindowText);
}

color::Value backColor(const QWidget* control) {
    return storedOr(control, BackProperty, color::WindowBackground);
}

} // namespace quorvela
