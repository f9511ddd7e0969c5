#pragma once

namespace ordan {

// The pages of the main window, in the order of its tabs.
enum class MainPage { Settings, Schedule, Readings, Journal, ExchangeLog, Database };
inline constexpr int kMainPageCount = 6;

inline constexpr int PageIndex(MainPage page) { return static_cast<int>(page); }

} // namespace ordan
