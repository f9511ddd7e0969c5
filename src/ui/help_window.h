#pragma once

#include "core/result.h"

#include <QDialog>
#include <QSize>

class QTextEdit;

namespace ordan {

// "Справка": the help file shown read-only, closed by "Выход" or Esc.
class HelpWindow final : public QDialog {
    Q_OBJECT
public:
    static const QString &HelpFileName();
    // A help file is a few hundred kilobytes; anything past this is refused, not loaded.
    static constexpr qint64 kMaxHelpFileBytes = 16 * 1024 * 1024;

    explicit HelpWindow(QWidget *parent = nullptr);

    // Loads the help file; fails with the operator's text when it is missing, unreadable,
    // too large or not RTF (the window then holds no help text).
    Status load(const QString &path);
    QTextEdit *view() const { return view_; }

    // The window's size with its frame.
    static constexpr QSize kOuterSize{640, 480};

protected:
    void showEvent(QShowEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private:
    void fitOuterSize();

    QTextEdit *view_;
};

} // namespace ordan
