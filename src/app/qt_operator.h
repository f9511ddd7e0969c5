#pragma once

#include "core/operator.h"

class QWidget;

namespace ordan {

// Message boxes and the file dialog as window-modal dialogs opened without a nested event
// loop; the continuation runs when the operator closes them.
class QtOperator final : public Operator {
public:
    void setParentWindow(QWidget *parent) { parent_ = parent; }

    void showMessage(const QString &text, const QString &caption, BoxIcon icon,
                     std::function<void()> onClosed = {}) override;
    void chooseSaveFile(const QString &filter, const QString &defaultSuffix,
                        std::function<void(const QString &)> onChosen) override;
    void beep() override;

private:
    QWidget *parent_ = nullptr;
};

} // namespace ordan
