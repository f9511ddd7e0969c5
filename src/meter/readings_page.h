#pragma once

#include "meter/meter_parameters.h"

#include <QWidget>

class QTableWidget;

namespace ordan {

// The page "Показания" (TabSheet3): current and billing-day readings and the reset button.
class ReadingsPage final : public QWidget {
    Q_OBJECT
public:
    ReadingsPage(MeterParameters &model, QWidget *parent = nullptr);
};

// A readings grid: two columns of 130 px, five rows of 16 px, the first row and column fixed.
void BindReadingsGrid(QTableWidget *table, Field<ReadingsGrid> &field);

} // namespace ordan
