#pragma once

#include "common/services.h"
#include "settings/colorvalue.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QPushButton;

namespace quorvela {

// The window whose list colours the Preferences window offers and sets: the player window.
class ListColors {
public:
    virtual ~ListColors() = default;

    [[nodiscard]] virtual color::Value listBackColor() const = 0;
    [[nodiscard]] virtual color::Value listForeColor() const = 0;
    // Nothing changes once the window has been unloaded: its colours have been saved then.
    virtual void setListColors(color::Value back, color::Value fore) = 0;
};

// The Preferences window: picks the text and background colours of the player's lists.
// It works on a copy held in two swatches; the player sees the colours only on OK.
// The window deletes itself when closed, so it must be made with new.
class Form2 : public QWidget {
    Q_OBJECT
public:
    // player: the window whose lists it colours, a ListColors; it may go first.
    Form2(QWidget* player, Services services, QWidget* parent = nullptr);

    // Controls, by the names they carry as objectName too.
    QPushButton* Command1 = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* Command2 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;

public slots:
    void pickBackgroundColor();
    void pickTextColor();
    void applyAndClose();

private:
    void createControls();
    void loadFromPlayer();
    void pickColorFor(QLabel* swatch);

    [[nodiscard]] ListColors* playerLists() const;

    QPointer<QWidget> m_player;
    Services m_services;
};

} // namespace quorvela
