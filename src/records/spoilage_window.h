#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;
class QTextBrowser;

namespace ordan {

class SpoilageModel;

// "Классификатор брака": a note on top, the meter's number, the defect code and "Запись в БД"
// in the bottom panel. Created once at start and shown by the model for each registration;
// the frame's close box closes it.
class SpoilageWindow final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 544;
    static constexpr int kHeight = 372;
    static constexpr int kPanelHeight = 41;

    explicit SpoilageWindow(SpoilageModel &model, QWidget *parent = nullptr);
    ~SpoilageWindow() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    SpoilageModel &model_;
    QTextBrowser *note_ = nullptr;
};

} // namespace ordan
