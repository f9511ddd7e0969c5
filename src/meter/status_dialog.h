#pragma once

#include <QDialog>

class QPlainTextEdit;
class QSpinBox;

namespace ordan {

// TFormStatus, "Расшифровка  статуса": decodes status numbers typed by hand. Created once
// and reused, so the numbers typed last are there when it is opened again.
class StatusDialog final : public QDialog {
    Q_OBJECT
public:
    explicit StatusDialog(QWidget *parent = nullptr);

    QSpinBox *fullStatusEdit() const { return spin1_; }
    QSpinBox *radioStatusEdit() const { return spin2_; }
    QPlainTextEdit *fullStatusMemo() const { return memo1_; }
    QPlainTextEdit *radioStatusMemo() const { return memo2_; }

    void SpinEdit1Change(const QString &text);
    void SpinEdit2Change(const QString &text);

private:
    QSpinBox *spin1_;
    QSpinBox *spin2_;
    QPlainTextEdit *memo1_;
    QPlainTextEdit *memo2_;
};

} // namespace ordan
