#pragma once

#include "common/services.h"

#include <QWidget>

namespace quorvela {

// The Help window: the program's help page.
class Form3 : public QWidget {
    Q_OBJECT
public:
    explicit Form3(Services services, QWidget* parent = nullptr);

private:
    Services m_services;
};

} // namespace quorvela
