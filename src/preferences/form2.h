#pragma once

#include "common/services.h"

#include <QPointer>
#include <QWidget>

namespace quorvela {

class Form1;

// The Preferences window: picks the text and background colours of the player's lists.
class Form2 : public QWidget {
    Q_OBJECT
public:
    Form2(Form1* player, Services services, QWidget* parent = nullptr);

private:
    QPointer<Form1> m_player;
    Services m_services;
};

} // namespace quorvela
