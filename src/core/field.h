#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace ordan {

// The model behind one control of a page: its value, its edited mark, its enabled and
// visible state. The object name is the control's name, so tests and widgets find a field by
// the same name the window gives the control. Containers (group boxes, panels, pages) are
// fields too, and hold their controls as QObject children.
class FieldBase : public QObject {
    Q_OBJECT
public:
    enum class Kind { Control, Container, Grid };

    FieldBase(const QString &name, QObject *parent, Kind kind = Kind::Control);

    Kind kind() const { return kind_; }

    int mark() const { return mark_; }
    void setMark(int mark) { mark_ = mark; }

    bool isEnabled() const { return enabled_; }
    void setEnabled(bool on);
    bool isVisible() const { return visible_; }
    void setVisible(bool on);
    // Grids and key/value editors show grey text while their group is disabled.
    bool isGreyText() const { return greyText_; }
    void setGreyText(bool on);

Q_SIGNALS:
    void valueChanged();
    void stateChanged();

private:
    Kind kind_;
    int mark_ = 0;
    bool enabled_ = true;
    bool visible_ = true;
    bool greyText_ = false;
};

template <typename T> class Field : public FieldBase {
public:
    Field(const QString &name, QObject *parent, T initial = T{}, Kind kind = Kind::Control)
        : FieldBase(name, parent, kind), value_(std::move(initial))
    {}

    const T &value() const { return value_; }

    // The station's own write: never counts as an edit.
    void set(const T &value)
    {
        T v = constrain(value);
        if (v == value_)
            return;
        value_ = std::move(v);
        Q_EMIT valueChanged();
    }

    // The operator's edit: the value, then the control's change handler.
    void edit(const T &value)
    {
        set(value);
        if (onEdit_)
            onEdit_();
    }

    void setEditHandler(std::function<void()> handler) { onEdit_ = std::move(handler); }
    // The shared change handler of most settings controls: it only sets the edited mark.
    void markOnEdit()
    {
        setEditHandler([this] { setMark(1); });
    }

protected:
    virtual T constrain(const T &value) const { return value; }

private:
    T value_;
    std::function<void()> onEdit_;
};

using BoolField = Field<bool>;
using TextField = Field<QString>;

// A spin edit: values are limited to the range whenever minimum and maximum differ.
class IntField : public Field<int> {
public:
    IntField(const QString &name, QObject *parent, int initial, int minimum, int maximum)
        : Field<int>(name, parent, initial), min_(minimum), max_(maximum)
    {}
    int minimum() const { return min_; }
    int maximum() const { return max_; }

protected:
    int constrain(const int &value) const override
    {
        if (min_ == max_)
            return value;
        return qBound(min_, value, max_);
    }

private:
    int min_;
    int max_;
};

class Container final : public FieldBase {
public:
    Container(const QString &name, QObject *parent) : FieldBase(name, parent, Kind::Container) {}
};

// One command of the action list. A disabled action does nothing, whether it is run by its
// button, its menu item, its shortcut or from code.
class Action final : public FieldBase {
    Q_OBJECT
public:
    Action(const QString &name, QObject *parent, const QString &caption = {}, const QString &hint = {},
           const QString &shortcut = {});

    QString caption() const { return caption_; }
    QString hint() const { return hint_; }
    QString shortcut() const { return shortcut_; }
    void setHandler(std::function<void()> handler) { handler_ = std::move(handler); }

    bool execute();

private:
    QString caption_;
    QString hint_;
    QString shortcut_;
    std::function<void()> handler_;
};

// Sets the edited mark of the control and, for a container, of everything inside it.
void ClearEditMarks(QObject *control);
// Enables or disables every control inside the container, at any depth; grids get grey text
// while disabled. The container itself is left as it is.
void EnableGroup(bool enabled, QObject *container);

} // namespace ordan
