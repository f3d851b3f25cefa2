#include "mpris/mprisrootadaptor.h"

#include "mpris/mprisservice.h"

namespace quorvela {

MprisRootAdaptor::MprisRootAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), m_service(service) {}

void MprisRootAdaptor::Raise() {
    m_service->raise();
}

void MprisRootAdaptor::Quit() {
    m_service->quit();
}

} // namespace quorvela
