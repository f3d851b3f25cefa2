#include "info/frmabout.h"

namespace quorvela {

FrmAbout::FrmAbout(Services services, QWidget* parent) : QDialog(parent), m_services(services) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Quorvela"));
}

} // namespace quorvela
