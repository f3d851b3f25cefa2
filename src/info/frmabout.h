#pragma once

#include "common/services.h"

#include <QDialog>

#include <memory>

class QLabel;
class QPushButton;

namespace quorvela {

namespace registry {
class Store;
}

// The About box: name, version, description, and a way to start the system information tool.
class FrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit FrmAbout(Services services, QWidget* parent = nullptr);
    ~FrmAbout() override;

    QLabel* picIcon = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblDescription = nullptr;
    QLabel* lblDisclaimer = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;

    // Where StartSysInfo looks the tool up; nullptr goes back to this desktop's own answer.
    // The store must outlive the box or be replaced first.
    void setRegistryStore(registry::Store* store);

public slots:
    void StartSysInfo();

private:
    Services m_services;
    std::unique_ptr<registry::Store> m_desktopStore;
    registry::Store* m_store = nullptr;
};

} // namespace quorvela
