#pragma once

#include "common/services.h"

#include <QDialog>

namespace quorvela {

// The About box: name, version, description, and a way to start the system information tool.
class FrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit FrmAbout(Services services, QWidget* parent = nullptr);

private:
    Services m_services;
};

} // namespace quorvela
