#pragma once

#include <QString>

#include <functional>

namespace ordan {

enum class BoxIcon { Error, Warning, Information };

// What the station asks of the person at the bench. Nothing here blocks: a box or dialog the
// station waits for takes a continuation that runs once the operator has closed it.
class Operator {
public:
    virtual ~Operator() = default;

    virtual void showMessage(const QString &text, const QString &caption, BoxIcon icon,
                             std::function<void()> onClosed = {}) = 0;
    // Calls onChosen with the chosen path, or with an empty string when the operator cancels.
    virtual void chooseSaveFile(const QString &filter, const QString &defaultSuffix,
                                std::function<void(const QString &)> onChosen) = 0;
    virtual void beep() = 0;
};

} // namespace ordan
