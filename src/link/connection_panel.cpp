#include "link/connection_panel.h"

#include "core/timer.h"
#include "core/timings.h"

#include <algorithm>

namespace ordan {

ConnectionPanel::ConnectionPanel(TimerFactory &timers, QObject *parent)
    : QObject(parent), Panel1(QStringLiteral("Panel1"), this), SpinAddr(QStringLiteral("SpinAddr"), &Panel1, 0, 0, 255),
      SpinTimer(QStringLiteral("SpinTimer"), &Panel1, timing::Ms(timing::kReplyTimeoutDefault),
                timing::Ms(timing::kReplyTimeoutMin), timing::Ms(timing::kReplyTimeoutMax)),
      StatusPanel0(QStringLiteral("StatusPanel0"), this), StatusPanel1(QStringLiteral("StatusPanel1"), this),
      Shape1(QStringLiteral("Shape1"), this, Indicator::Hidden), ComboPort(QStringLiteral("ComboPort"), this, -1),
      NPort(QStringLiteral("NPort"), this, 0), ComboBaud(QStringLiteral("ComboBaud"), this, kDefaultBaudIndex),
      NPortMenu(QStringLiteral("NPortMenu"), this), NBaudMenu(QStringLiteral("NBaudMenu"), this),
      indicatorTimer_(timers.createTimer(timing::Ms(timing::kIndicatorLit)))
{
    SpinAddr.markOnEdit();
    indicatorTimer_->setHandler([this] {
        indicatorTimer_->disable();
        Shape1.set(Indicator::Hidden);
        Q_EMIT indicatorHidden();
    });
    ComboPort.setEditHandler([this] { ComboPortChange(ComboPort.value()); });
    ComboBaud.setEditHandler([this] { ComboBaudChange(ComboBaud.value()); });
}

ConnectionPanel::~ConnectionPanel() = default;

void ConnectionPanel::showIndicator(Indicator colour)
{
    Shape1.set(colour);
    indicatorTimer_->enable();
}

int ConnectionPanel::baud() const
{
    return kBaudRates[static_cast<size_t>(qBound(0, ComboBaud.value(), int(kBaudRates.size()) - 1))];
}

void ConnectionPanel::ListSerialPorts(PortEnumerator &enumerator, int registryPort)
{
    ports_.clear();
    ComboPort.set(-1);
    NPort.set(0);
    const std::vector<QString> names = enumerator.systemPortNames();
    for (const QString &name : names)
        addPort({name, PortNumberOf(name), DeviceOfPortName(name, enumerator.naming())}, registryPort);
    if (names.empty()) {
        for (int n = 1; n <= 8; ++n) {
            const QString device = DeviceForPortNumber(n, enumerator.naming());
            if (enumerator.probe(device))
                addPort({QStringLiteral("Com%1").arg(n), n, device}, registryPort);
        }
    }
    Q_EMIT portsChanged();
}

void ConnectionPanel::addPort(const PortItem &item, int registryPort)
{
    ports_.push_back(item);
    if (item.number != 0 && item.number == registryPort) {
        ComboPort.set(static_cast<int>(ports_.size()) - 1);
        NPort.set(item.number);
    }
}

void ConnectionPanel::selectPathPort(const QString &device)
{
    auto it = std::find_if(ports_.begin(), ports_.end(),
                           [&](const PortItem &i) { return i.device == device || i.name == device; });
    if (it == ports_.end()) {
        const int n = PortNumberOf(device);
        ports_.push_back({device, n != 0 ? n : kPathPortNumber, device, true});
        it = ports_.end() - 1;
    }
    ComboPort.set(static_cast<int>(it - ports_.begin()));
    NPort.set(it->number);
    Q_EMIT portsChanged();
}

const PortItem *ConnectionPanel::chosenPort() const
{
    const int i = ComboPort.value();
    return i >= 0 && i < static_cast<int>(ports_.size()) ? &ports_[static_cast<size_t>(i)] : nullptr;
}

QString ConnectionPanel::chosenDevice(PortNaming naming) const
{
    const PortItem *chosen = chosenPort();
    return chosen ? chosen->device : DeviceForPortNumber(1, naming);
}

QString ConnectionPanel::comboPortText() const
{
    const PortItem *chosen = chosenPort();
    return chosen ? chosen->name : QString();
}

void ConnectionPanel::ComboPortChange(int index)
{
    if (index < 0 || index >= static_cast<int>(ports_.size()))
        return;
    const PortItem &item = ports_[static_cast<size_t>(index)];
    if (item.number == 0) {
        Q_EMIT portRefused(QStringLiteral("'%1' is not a valid integer value").arg(item.name.mid(3)));
        return;
    }
    portNumber_ = item.number;
    NPort.set(item.number);
}

void ConnectionPanel::PortMenuClick(int tag)
{
    NPort.set(tag);
    portNumber_ = tag;
    const auto it =
        std::find_if(ports_.begin(), ports_.end(), [tag](const PortItem &item) { return item.number == tag; });
    ComboPort.set(it == ports_.end() ? -1 : static_cast<int>(it - ports_.begin()));
}

void ConnectionPanel::ComboBaudChange(int index) { ComboBaud.set(qBound(0, index, int(kBaudRates.size()) - 1)); }

void ConnectionPanel::N12001Click(int tag) { ComboBaudChange(tag); }

void ConnectionPanel::setChoiceEnabled(bool on)
{
    ComboPort.setEnabled(on);
    NPortMenu.setEnabled(on);
    ComboBaud.setEnabled(on);
    NBaudMenu.setEnabled(on);
}

} // namespace ordan
