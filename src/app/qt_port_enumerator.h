#pragma once

#include "link/port_list.h"

namespace ordan {

class QtPortEnumerator final : public PortEnumerator {
public:
    std::vector<QString> systemPortNames() override;
    bool probe(const QString &device) override;
    bool deviceExists(const QString &device) override;
    PortNaming naming() const override;
};

} // namespace ordan
