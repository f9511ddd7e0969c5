#pragma once

#include "journals/journal_export.h"

#include <cmath>

namespace ordan::fuzz {

// An export that touches no file and takes what the spreadsheet would: cells from row and
// column 1, finite numbers.
class NoFiles final : public ExportFiles {
public:
    bool exists(const QString &) const override { return false; }
    Status remove(const QString &) override { return {}; }
    Status createBlank(const QString &) override { return {}; }
    Status open(const QString &) override { return {}; }
    bool setText(int row, int column, const QString &) override { return row >= 1 && column >= 1; }
    bool setNumber(int row, int column, double number) override
    {
        return row >= 1 && column >= 1 && std::isfinite(number);
    }
    Status save(const QString &) override { return {}; }
    void close() override {}
};

} // namespace ordan::fuzz
