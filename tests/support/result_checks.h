#pragma once

#include "core/result.h"

#include <QString>

namespace ordan {

// Whether `result` succeeded, its failure text left in `error` for the checks that follow:
// ASSERT_TRUE(Succeeded(table.append(row), error)) << error.toStdString();
template <typename R> bool Succeeded(const R &result, QString &error)
{
    error = result.error();
    return result.ok();
}

// The result itself, its failure text left in `error`:
// EXPECT_EQ(Noted(table.rowCount(), error), 3) << error.toStdString();
template <typename R> R Noted(R result, QString &error)
{
    error = result.error();
    return result;
}

} // namespace ordan
