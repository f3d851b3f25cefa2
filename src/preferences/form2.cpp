#include "preferences/form2.h"

#include "player/form1.h"

namespace quorvela {

Form2::Form2(Form1* player, Services services, QWidget* parent)
    : QWidget(parent), m_player(player), m_services(services) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Preferences"));
}

} // namespace quorvela
