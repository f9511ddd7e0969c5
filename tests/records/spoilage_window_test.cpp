// The defect window over its model.
#include "app/station_fixture.h"
#include "records/central_recorder.h"
#include "records/spoilage_model.h"
#include "records/spoilage_window.h"

#include "meter/meter_panel.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace ordan {
namespace {

// Knows meter 1001 as electro_id 5 and nothing else.
class OneMeterSession final : public SqlSession {
public:
    std::optional<SqlRows> exec(const QString &statement, const QVariantList &params) override
    {
        if (statement.startsWith(u"SELECT * FROM electrometer"_s)) {
            SqlRows rows;
            rows.columns = {u"electro_id"_s, u"number"_s, u"type_id"_s};
            if (!params.isEmpty() && params[0].toInt() == 1001)
                rows.rows.push_back({5, 1001, 18});
            return rows;
        }
        error_ = u"not here"_s;
        return std::nullopt;
    }
    bool begin() override { return false; }
    bool commit() override { return false; }
    bool rollback() override { return false; }
    std::optional<SqlDialect> dialect() override { return SqlDialect::Sqlite; }
    QString lastError() const override { return error_; }

private:
    QString error_;
};

struct SpoilageWindowTest : ::testing::Test {
    test::StationRig rig;
    OneMeterSession db;
    std::unique_ptr<CentralRecorder> central;
    std::unique_ptr<SpoilageModel> model;
    std::unique_ptr<QWidget> main;
    SpoilageWindow *window = nullptr;

    void SetUp() override
    {
        QFile marker(QDir(rig.dir.path()).filePath(u"SettingSql.velm"_s));
        ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
        Station &s = rig.make();
        central = std::make_unique<CentralRecorder>(
            CentralRecorder::Parts{db, rig.recordsWorker, s.meter().parameters(), s.meter().hooks, s.schedule(),
                                   s.ActionFixDb, s.op(), s.facts(), s.modes()});
        model = std::make_unique<SpoilageModel>(*central, s.meter().parameters(), s.ActionSpoilage);
        main = std::make_unique<QWidget>();
        window = new SpoilageWindow(*model, main.get());
        s.FormCreate();
    }
    void TearDown() override
    {
        main.reset();
        model.reset();
        central.reset();
    }

    template <typename W> W *child(const QString &name) { return window->findChild<W *>(name); }
};

TEST_F(SpoilageWindowTest, LooksAsDesigned)
{
    EXPECT_EQ(window->objectName(), u"TFormSpoilage"_s);
    EXPECT_EQ(window->windowTitle(), u"Классификатор брака"_s);
    EXPECT_EQ(window->size(), QSize(544, 372));
    EXPECT_TRUE(window->isModal());
    auto *number = child<QLineEdit>(u"LabeledEdit1"_s);
    auto *code = child<QLineEdit>(u"LabeledEdit2"_s);
    auto *button = child<QPushButton>(u"BitBtn1"_s);
    ASSERT_TRUE(number && code && button);
    EXPECT_TRUE(number->isReadOnly());
    EXPECT_FALSE(code->isReadOnly());
    EXPECT_EQ(code->maxLength(), 64); // the width of spoilage.code
    EXPECT_EQ(button->text(), u"Запись в БД"_s);
    auto *panel = child<QWidget>(u"Panel1"_s);
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->height(), 41);
    auto *note = child<QTextBrowser>(u"WebBrowser1"_s);
    ASSERT_TRUE(note);
    EXPECT_TRUE(note->toPlainText().contains(u"Запись в БД"_s));
    // Labels sit left of their edits, in this order.
    const auto labels = panel->findChildren<QLabel *>();
    ASSERT_EQ(labels.size(), 2);
    EXPECT_EQ(labels[0]->text(), u"Счетчик №"_s);
    EXPECT_EQ(labels[1]->text(), u"Код брака"_s);
    EXPECT_EQ(labels[0]->buddy(), number);
    EXPECT_EQ(labels[1]->buddy(), code);
}

TEST_F(SpoilageWindowTest, F4ShowsTheMeterAndEveryShowingStartsEmpty)
{
    Station &s = *rig.station;
    s.meter().parameters().SpinEdit_Number.set(1001);
    ASSERT_TRUE(s.ActionSpoilage.execute());
    ASSERT_TRUE(window->isVisible());
    auto *number = child<QLineEdit>(u"LabeledEdit1"_s);
    auto *code = child<QLineEdit>(u"LabeledEdit2"_s);
    auto *button = child<QPushButton>(u"BitBtn1"_s);
    EXPECT_EQ(number->text(), u"1001"_s);
    EXPECT_EQ(model->electroId(), 5);
    EXPECT_FALSE(button->isEnabled());
    QTest::keyClicks(code, u"  "_s);
    EXPECT_FALSE(button->isEnabled());
    QTest::keyClicks(code, u"A7"_s);
    EXPECT_TRUE(button->isEnabled());
    window->close();
    ASSERT_TRUE(s.ActionSpoilage.execute());
    EXPECT_EQ(code->text(), QString());
    EXPECT_FALSE(button->isEnabled());
    window->close();

    s.meter().parameters().SpinEdit_Number.set(1002);
    s.ActionSpoilage.execute();
    EXPECT_FALSE(window->isVisible());
    ASSERT_EQ(rig.op.boxes.size(), 1u);
    EXPECT_EQ(rig.op.boxes[0].caption, u"Ошибка записи"_s);
}

} // namespace
} // namespace ordan
