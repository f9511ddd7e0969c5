#include "records/spoilage_window.h"

#include "records/production_db.h"
#include "records/spoilage_model.h"
#include "ui/field_binding.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace ordan {

namespace {

const QString &Note()
{
    static const QString note =
        QStringLiteral("<p><b>Регистрация брака</b></p>"
                       "<p>Введите код брака в поле «Код брака» и нажмите «Запись в БД».</p>"
                       "<p>Брак относится к программированию этого счетчика за сегодняшний день: оно "
                       "отмечается как неуспешное, а если его не было, создается неуспешное программирование "
                       "на этом рабочем месте. Пока брак не закрыт ремонтом, программирование счетчика в БД "
                       "не записывается («Прибор в ремонте.»).</p>"
                       "<p>Для второго кода брака того же счетчика измените код и нажмите кнопку снова.</p>");
    return note;
}

} // namespace

SpoilageWindow::SpoilageWindow(SpoilageModel &model, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      model_(model)
{
    setObjectName(QStringLiteral("TFormSpoilage"));
    setWindowTitle(QStringLiteral("Классификатор брака"));
    setModal(true);
    resize(kWidth, kHeight);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    note_ = new QTextBrowser(this);
    note_->setObjectName(QStringLiteral("WebBrowser1"));
    note_->setOpenLinks(false);
    note_->setHtml(Note());
    column->addWidget(note_, 1);

    auto *panel = new QWidget(this);
    panel->setObjectName(model_.Panel1.objectName());
    panel->setFixedHeight(kPanelHeight);
    auto *row = new QHBoxLayout(panel);
    row->setContentsMargins(8, 4, 8, 4);
    auto *numberLabel = new QLabel(QStringLiteral("Счетчик №"), panel);
    auto *number = new QLineEdit(panel);
    number->setReadOnly(true);
    Bind(number, model_.LabeledEdit1);
    numberLabel->setBuddy(number);
    auto *codeLabel = new QLabel(QStringLiteral("Код брака"), panel);
    auto *code = new QLineEdit(panel);
    code->setMaxLength(kDefectCodeMaxLength);
    Bind(code, model_.LabeledEdit2);
    codeLabel->setBuddy(code);
    auto *record = new QPushButton(panel);
    Bind(record, model_.BitBtn1);
    row->addWidget(numberLabel);
    row->addWidget(number, 1);
    row->addSpacing(8);
    row->addWidget(codeLabel);
    row->addWidget(code, 1);
    row->addSpacing(8);
    row->addWidget(record);
    column->addWidget(panel);

    model_.showWindow = [this] { open(); };
}

SpoilageWindow::~SpoilageWindow() { model_.showWindow = {}; }

void SpoilageWindow::showEvent(QShowEvent *event)
{
    // Every showing starts with an empty code and the button disabled; the window's own
    // boxes (a failed registration) do not count as a new showing.
    model_.FormActivate();
    QDialog::showEvent(event);
}

} // namespace ordan
