#include "core/field.h"

namespace ordan {

FieldBase::FieldBase(const QString &name, QObject *parent, Kind kind) : QObject(parent), kind_(kind)
{
    setObjectName(name);
}

void FieldBase::setEnabled(bool on)
{
    if (on == enabled_)
        return;
    enabled_ = on;
    Q_EMIT stateChanged();
}

void FieldBase::setVisible(bool on)
{
    if (on == visible_)
        return;
    visible_ = on;
    Q_EMIT stateChanged();
}

void FieldBase::setGreyText(bool on)
{
    if (on == greyText_)
        return;
    greyText_ = on;
    Q_EMIT stateChanged();
}

Action::Action(const QString &name, QObject *parent, const QString &caption, const QString &hint,
               const QString &shortcut)
    : FieldBase(name, parent), caption_(caption), hint_(hint), shortcut_(shortcut)
{}

bool Action::execute()
{
    if (!isEnabled() || !handler_)
        return false;
    handler_();
    return true;
}

void ClearEditMarks(QObject *control)
{
    if (auto *field = qobject_cast<FieldBase *>(control))
        field->setMark(0);
    for (QObject *child : control->children())
        ClearEditMarks(child);
}

void EnableGroup(bool enabled, QObject *container)
{
    for (QObject *child : container->children()) {
        auto *field = qobject_cast<FieldBase *>(child);
        if (!field)
            continue;
        field->setEnabled(enabled);
        if (field->kind() == FieldBase::Kind::Container)
            EnableGroup(enabled, field);
        else if (field->kind() == FieldBase::Kind::Grid)
            field->setGreyText(!enabled);
    }
}

} // namespace ordan
