#include "meter/status_dialog.h"

#include "meter/settings_page.h"
#include "meter/status_text.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QValidator>

namespace ordan {

namespace {

// The arrows keep to the range; typing does not, and the text is decoded as typed.
class TypedSpinBox final : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

protected:
    QValidator::State validate(QString &text, int &) const override
    {
        if (text.isEmpty() || text == QLatin1String("-") || text == QLatin1String("+"))
            return QValidator::Intermediate;
        bool ok = false;
        text.toLongLong(&ok);
        return ok ? QValidator::Acceptable : QValidator::Invalid;
    }
};

QPlainTextEdit *StatusMemo(const QString &name)
{
    auto *memo = new QPlainTextEdit;
    memo->setObjectName(name);
    memo->setReadOnly(true);
    StyleStatusMemo(memo);
    memo->setFixedSize(330, 6 * memo->fontMetrics().lineSpacing() + 12);
    return memo;
}

} // namespace

StatusDialog::StatusDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFormStatus"));
    setWindowTitle(QStringLiteral("Расшифровка  статуса"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);

    auto *label1 = new QLabel(QStringLiteral("Полный статус : "));
    label1->setObjectName(QStringLiteral("Label1"));
    spin1_ = new TypedSpinBox;
    spin1_->setObjectName(QStringLiteral("SpinEdit1"));
    spin1_->setRange(0, 65535);
    memo1_ = StatusMemo(QStringLiteral("Memo1"));

    auto *label2 = new QLabel(QStringLiteral("Радиостатус : "));
    label2->setObjectName(QStringLiteral("Label2"));
    spin2_ = new TypedSpinBox;
    spin2_->setObjectName(QStringLiteral("SpinEdit2"));
    spin2_->setRange(0, 255);
    memo2_ = StatusMemo(QStringLiteral("Memo2"));

    auto *close = new QPushButton(QStringLiteral("Закрыть"));
    close->setObjectName(QStringLiteral("Button1"));
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto *v = new QVBoxLayout(this);
    auto pair = [v](QLabel *label, QSpinBox *spin, QPlainTextEdit *memo) {
        auto *h = new QHBoxLayout;
        h->addWidget(label);
        h->addWidget(spin);
        h->addStretch();
        v->addLayout(h);
        v->addWidget(memo);
    };
    pair(label1, spin1_, memo1_);
    pair(label2, spin2_, memo2_);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close);
    v->addLayout(buttons);
    v->setSizeConstraint(QLayout::SetFixedSize);

    connect(spin1_, &QSpinBox::textChanged, this, &StatusDialog::SpinEdit1Change);
    connect(spin2_, &QSpinBox::textChanged, this, &StatusDialog::SpinEdit2Change);
    SpinEdit1Change(spin1_->text());
    SpinEdit2Change(spin2_->text());
}

void StatusDialog::SpinEdit1Change(const QString &text)
{
    memo1_->setPlainText(FullStatusLines(StatusDialogValue(text)).join(QLatin1Char('\n')));
}

void StatusDialog::SpinEdit2Change(const QString &text)
{
    memo2_->setPlainText(RadioStatusLines(StatusDialogValue(text)).join(QLatin1Char('\n')));
}

} // namespace ordan
