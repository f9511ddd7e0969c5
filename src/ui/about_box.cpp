#include "ui/about_box.h"

#include "core/system_facts.h"
#include "core/window_title.h"
#include "ui/about_text.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace ordan {

namespace {

QLabel *Link(const QString &name, const QString &text, QWidget *parent, std::function<void()> onClick)
{
    auto *label =
        new QLabel(QStringLiteral("<a href=\"#\" style=\"color:blue\">%1</a>").arg(text.toHtmlEscaped()), parent);
    label->setObjectName(name);
    label->setCursor(Qt::PointingHandCursor);
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    QObject::connect(label, &QLabel::linkActivated, parent, [onClick = std::move(onClick)] { onClick(); });
    return label;
}

} // namespace

const QString &AboutBox::WebAddress()
{
    static const QString address = QStringLiteral("https://www.velmora.example");
    return address;
}

const QString &AboutBox::EmailAddress()
{
    static const QString address = QStringLiteral("support@velmora.example");
    return address;
}

AboutBox::AboutBox(SystemFacts &facts, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      facts_(facts)
{
    setObjectName(QStringLiteral("TAboutBox"));
    setWindowTitle(QStringLiteral("О программе"));
    setModal(true);
    setFixedSize(394, 281);
    // The box was drawn for 8-point text; larger text would not fit its fixed size.
    QFont compact = font();
    compact.setPointSizeF(qMin<qreal>(compact.pointSizeF(), 8));
    setFont(compact);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(8, 8, 8, 8);
    column->setSpacing(6);
    column->addWidget(buildProductPanel());
    column->addLayout(buildContactsRow());
    column->addLayout(buildMemoryRow());
}

QWidget *AboutBox::buildProductPanel()
{
    auto *top = new QFrame(this);
    top->setObjectName(QStringLiteral("Panel1"));
    top->setFrameShape(QFrame::StyledPanel);
    top->setFrameShadow(QFrame::Sunken);
    auto *topGrid = new QGridLayout(top);
    auto *iconFrame = new QFrame(top);
    iconFrame->setFrameShape(QFrame::Panel);
    iconFrame->setFrameShadow(QFrame::Sunken);
    auto *iconLayout = new QVBoxLayout(iconFrame);
    iconLayout->setContentsMargins(2, 2, 2, 2);
    auto *image2 = new QLabel(iconFrame);
    image2->setObjectName(QStringLiteral("Image2"));
    image2->setFixedSize(32, 32);
    image2->setPixmap(QPixmap(QStringLiteral(":/icons/ordan.png")));
    iconLayout->addWidget(image2);
    topGrid->addWidget(iconFrame, 0, 0, 4, 1, Qt::AlignTop);
    QFont bold = font();
    bold.setBold(true);
    auto *product = new QLabel(QStringLiteral("3-х тарифный 3-х фазный эл. счетчик"), top);
    product->setObjectName(QStringLiteral("ProductName"));
    product->setFont(bold);
    auto *title = new QLabel(WindowTitle(), top);
    title->setObjectName(QStringLiteral("Label11"));
    title->setFont(bold);
    auto *version = new QLabel(QStringLiteral("Версия 1.5"), top);
    version->setObjectName(QStringLiteral("Version"));
    auto *rights = new QLabel(QStringLiteral("© ООО «Велмора». Все права защищены."), top);
    rights->setObjectName(QStringLiteral("Copyright"));
    topGrid->addWidget(product, 0, 1);
    topGrid->addWidget(title, 1, 1);
    topGrid->addWidget(version, 2, 1);
    topGrid->addWidget(rights, 3, 1);
    topGrid->setColumnStretch(1, 1);
    return top;
}

QLayout *AboutBox::buildContactsRow()
{
    auto *middle = new QHBoxLayout;
    auto *contacts = new QGroupBox(QStringLiteral("Наши координаты"), this);
    // Beside the picture the group is about 200 px wide: each caption stands above its value,
    // which is indented under it, so no address or number is cut off.
    auto *grid = new QGridLayout(contacts);
    grid->setVerticalSpacing(0);
    grid->setHorizontalSpacing(0);
    grid->setContentsMargins(6, 2, 4, 4);
    grid->setColumnMinimumWidth(0, 10);
    int row = 0;
    auto caption = [&](const QString &text) { grid->addWidget(new QLabel(text, contacts), row++, 0, 1, 2); };
    auto value = [&](QLabel *label) { grid->addWidget(label, row++, 1); };
    caption(QStringLiteral("Web-страница:"));
    value(Link(QStringLiteral("Label3"), WebAddress(), contacts, [this] { facts_.openWithShell(QUrl(WebAddress())); }));
    caption(QStringLiteral("E-mail:"));
    value(Link(QStringLiteral("Label6"), EmailAddress(), contacts,
               [this] { facts_.openWithShell(QUrl(QStringLiteral("mailto:") + EmailAddress())); }));
    caption(QStringLiteral("Телефоны:"));
    auto *phone1 = new QLabel(QStringLiteral("+7 (000) 000-00-01"), contacts);
    phone1->setObjectName(QStringLiteral("Label8"));
    auto *phone2 = new QLabel(QStringLiteral("+7 (000) 000-00-02"), contacts);
    phone2->setObjectName(QStringLiteral("Label9"));
    value(phone1);
    value(phone2);
    grid->setColumnStretch(1, 1);
    middle->addWidget(contacts, 1);
    auto *image1 = new QLabel(this);
    image1->setObjectName(QStringLiteral("Image1"));
    image1->setFixedSize(165, 93);
    image1->setPixmap(QPixmap(QStringLiteral(":/icons/meter.png")));
    middle->addWidget(image1, 0, Qt::AlignVCenter);
    return middle;
}

QLayout *AboutBox::buildMemoryRow()
{
    auto *bottom = new QHBoxLayout;
    auto *memory = new QVBoxLayout;
    label1_ = new QLabel(this);
    label1_->setObjectName(QStringLiteral("Label1"));
    label2_ = new QLabel(this);
    label2_->setObjectName(QStringLiteral("Label2"));
    memory->addWidget(label1_);
    memory->addWidget(label2_);
    bottom->addLayout(memory, 1);
    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    bottom->addWidget(ok, 0, Qt::AlignBottom);
    return bottom;
}

void AboutBox::showEvent(QShowEvent *event)
{
    FormActivate();
    QDialog::showEvent(event);
}

void AboutBox::FormActivate()
{
    const QLocale locale;
    label1_->setText(TotalMemoryLine(facts_.totalPhysicalMemory(), locale));
    label2_->setText(AvailableMemoryLine(facts_.availablePhysicalMemory(), locale));
}

} // namespace ordan
