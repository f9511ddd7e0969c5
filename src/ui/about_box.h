#pragma once

#include <QDialog>

class QLabel;
class QLayout;

namespace ordan {

class SystemFacts;

// "О программе": product, version, the maker's contacts and the workstation's memory, which
// is read again every time the window is shown.
class AboutBox final : public QDialog {
    Q_OBJECT
public:
    static const QString &WebAddress();
    static const QString &EmailAddress();

    AboutBox(SystemFacts &facts, QWidget *parent = nullptr);

    QLabel *totalMemoryLabel() const { return label1_; }
    QLabel *availableMemoryLabel() const { return label2_; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    // The three bands of the box, top to bottom.
    QWidget *buildProductPanel();
    QLayout *buildContactsRow();
    QLayout *buildMemoryRow(); // the memory lines and OK
    void FormActivate();

    SystemFacts &facts_;
    QLabel *label1_;
    QLabel *label2_;
};

} // namespace ordan
