#pragma once

#include <QWidget>

class QLabel;

namespace ordan {

class LineMode;
class Station;

// The line's result at arm's length: the meter's number with "Готово" on green or the reason
// on red, the shift's counters, the number the next unnumbered meter gets, and the switch.
// It shows the station's line mode and passes the operator's edits on; nothing more.
class LineModeWindow final : public QWidget {
    Q_OBJECT
public:
    LineModeWindow(Station &station, LineMode &line, QWidget *parent = nullptr);

private:
    void renderResult();
    void renderCounters();

    Station &station_;
    LineMode &line_;
    QLabel *result_ = nullptr;
    QLabel *counters_ = nullptr;
};

} // namespace ordan
