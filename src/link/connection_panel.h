#pragma once

#include "core/field.h"
#include "link/port_list.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

namespace ordan {

class Timer;
class TimerFactory;

enum class Indicator { Hidden, Green, Red };

// The connection panel and the status bar: the port and the speed chosen, the bus address, the
// reply time-out, the two status texts and the write indicator. The engine reads the address
// and the time-out and writes the status texts and the indicator; the station connects with
// the port and the speed it holds.
class ConnectionPanel final : public QObject {
    Q_OBJECT
public:
    explicit ConnectionPanel(TimerFactory &timers, QObject *parent = nullptr);
    ~ConnectionPanel() override;

    Container Panel1;
    IntField SpinAddr;  // bus address 0..255
    IntField SpinTimer; // reply time-out, ms
    TextField StatusPanel0;
    TextField StatusPanel1;
    Field<Indicator> Shape1;

    Field<int> ComboPort; // index into ports(), -1 without a selection
    Field<int> NPort;     // tag (port number) of the marked port item, 0 when none is marked
    Field<int> ComboBaud; // index into kBaudRates; the marked speed item has the same tag
    Container NPortMenu;
    Container NBaudMenu;

    // The outcome of a write, shown for 2 s; then the indicator goes out and
    // `indicatorHidden` follows.
    void showIndicator(Indicator colour);

    // The port list: the system's ports, else the numbered ports 1..8 that answer a probe;
    // the one stored as "Port" is selected.
    void ListSerialPorts(PortEnumerator &enumerator, int registryPort);
    // Selects a device given by its path, adding it to the list when the system did not list it.
    void selectPathPort(const QString &device);
    const std::vector<PortItem> &ports() const { return ports_; }
    // The chosen item, or none.
    const PortItem *chosenPort() const;
    // The device opened: the chosen port's, or port 1's when nothing is chosen.
    QString chosenDevice(PortNaming naming) const;
    QString comboPortText() const;
    int portNumber() const { return portNumber_; }
    // The port number used when nothing is chosen is port 1.
    void resetPortNumber() { portNumber_ = chosenPort() ? chosenPort()->number : 1; }
    int baud() const;

    void ComboPortChange(int index);
    void PortMenuClick(int tag);
    void ComboBaudChange(int index);
    void N12001Click(int tag);
    // The port and speed can be changed only while disconnected.
    void setChoiceEnabled(bool on);

Q_SIGNALS:
    void portsChanged();
    void indicatorHidden();
    // A port chosen in the list that cannot be used; the text is for the general error report.
    void portRefused(const QString &error);

private:
    void addPort(const PortItem &item, int registryPort);

    std::unique_ptr<Timer> indicatorTimer_; // 2 s
    std::vector<PortItem> ports_;
    int portNumber_ = 1;
};

} // namespace ordan
