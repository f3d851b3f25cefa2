#include "info/form3.h"

namespace quorvela {

Form3::Form3(Services services, QWidget* parent) : QWidget(parent), m_services(services) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Help"));
}

} // namespace quorvela
