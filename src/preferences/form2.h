#pragma once

#include "common/services.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QPushButton;

namespace quorvela {

class Form1;

// The Preferences window: picks the text and background colours of the player's lists.
// It works on a copy held in two swatches; the player sees the colours only on OK.
// The window deletes itself when closed, so it must be made with new.
class Form2 : public QWidget {
    Q_OBJECT
public:
    Form2(Form1* player, Services services, QWidget* parent = nullptr);

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

    QPointer<Form1> m_player;
    Services m_services;
};

} // namespace quorvela
