#pragma once

#include "app/PortEnumerator.h"
#include "config/workflow/ReaderLink.h"

namespace veltra {

// The device link's enumeration (serial ports, USB readers, network search).
class DeviceLinkPortEnumerator : public PortEnumerator {
public:
    explicit DeviceLinkPortEnumerator(ReaderLink& link = qnLink()) : link_(link) {}

    QStringList list(PortKind kind) override;
    bool ping(const QString& name) override;
    int devicesWithoutDriver() override;
    bool cdcDriverInstalled() override;

private:
    ReaderLink& link_;
};

} // namespace veltra
