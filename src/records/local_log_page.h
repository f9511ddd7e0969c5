#pragma once

#include "records/local_log_view.h"

#include <QWidget>

class QTableView;

namespace ordan {

// The page "База данных" (TabSheet5): the filter panel, the count, the read-only grid.
class LocalLogPage final : public QWidget {
    Q_OBJECT
public:
    explicit LocalLogPage(LocalLogView &view, QWidget *parent = nullptr);

    QTableView *grid() const { return grid_; }

private:
    QTableView *grid_ = nullptr;
};

} // namespace ordan
