#include "program/ui/vizuwarevarform.h"
#include "program/ui/vizuwarevartableform.h"
#include "program/vizuvartable.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "support/qtapp.h"

#include <optional>

using namespace quenor;

namespace {

QApplication& App() { return quenor::test::TestApp(); }

class VarDialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        dialog.SetTable(&table);
        dialog.showMessage = [this](const QString& text) { messages.push_back(text); };
        dialog.VarDialog().showMessage = dialog.showMessage;
    }

    QStringList Row(int i) const
    {
        const QTreeWidgetItem* item = dialog.VarList()->topLevelItem(i);
        QStringList out;
        for (int c = 0; c < 4; ++c)
            out << item->text(c);
        return out;
    }

    void Select(const QString& name)
    {
        const auto items = dialog.VarList()->findItems(name, Qt::MatchExactly, 0);
        ASSERT_EQ(items.size(), 1);
        dialog.VarList()->setCurrentItem(items.front());
    }

    // Runs of the variable dialog: each fills it and answers.
    struct Answer {
        QString name;
        int type;
        std::optional<QString> location;  // nothing: "Auto"
        int result = QDialog::Accepted;
    };
    void Answers(std::vector<Answer> answers)
    {
        answers_ = std::move(answers);
        runs = 0;
        dialog.runVarDialog = [this](TVizuWareVar& var) {
            seen.push_back({var.Name(), var.TypeIndex(),
                            var.LocationChecked() ? std::optional<QString>(var.LocationText()) : std::nullopt});
            if (runs >= static_cast<int>(answers_.size()))
                return static_cast<int>(QDialog::Rejected);
            const Answer& a = answers_[static_cast<std::size_t>(runs++)];
            var.SetName(a.name);
            var.SetTypeIndex(a.type);
            if (a.location) {
                var.SetLocationChecked(true);
                var.LocationEdit()->setText(*a.location);
            } else {
                var.SetLocationChecked(false);
            }
            return a.result;
        };
    }

    QApplication& app = App();  // before any widget
    TVizuVarTable table;
    TVizuWareVarTable dialog;
    QStringList messages;
    std::vector<Answer> seen;
    int runs = 0;

private:
    std::vector<Answer> answers_;
};

}  // namespace

TEST_F(VarDialogs, ListShowsTheSystemVariables)
{
    ASSERT_EQ(dialog.VarList()->topLevelItemCount(), 11);
    EXPECT_EQ(Row(0), (QStringList{"Inputs", "8 bit signed", "0", "System"}));
    EXPECT_EQ(Row(7), (QStringList{"Timer 1", "16 bit signed", "10", "System"}));
    EXPECT_EQ(dialog.VarList()->headerItem()->text(2), QStringLiteral("Location"));
    EXPECT_EQ(TVizuWareVarTable::TypeText(2), QStringLiteral("32 bit signed"));
    EXPECT_EQ(TVizuWareVarTable::TypeText(7), QStringLiteral("Unknown!"));
}

TEST_F(VarDialogs, AddFixedAndAutomaticVariables)
{
    Answers({{"Speed", 2, QStringLiteral("18")}});
    dialog.AddClick();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(seen.front().name, QString());  // the dialog starts empty, "Auto"
    EXPECT_FALSE(seen.front().location.has_value());
    ASSERT_EQ(dialog.VarList()->topLevelItemCount(), 12);
    EXPECT_EQ(Row(11), (QStringList{"Speed", "32 bit signed", "18", "User"}));
    const SVarElem* v = table.Find("Speed");
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->access, 3);
    EXPECT_EQ(v->system, 0);

    Answers({{"Count", 0, std::nullopt}});
    dialog.AddClick();
    EXPECT_EQ(Row(12), (QStringList{"Count", "8 bit signed", "Auto", "User"}));
    EXPECT_EQ(table.Find("Count")->automatic, 1);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(VarDialogs, AddErrorShowsTheDialogAgain)
{
    Answers({{"Inputs", 0, std::nullopt}, {"Pos", 1, QStringLiteral("5")}, {"Pos", 1, QStringLiteral("abc")},
             {"Pos", 1, QStringLiteral("300")}, {"Pos", 1, QStringLiteral("40")}});
    dialog.AddClick();
    EXPECT_EQ(runs, 5);
    ASSERT_EQ(messages.size(), 4);
    EXPECT_EQ(messages[0], QStringLiteral("Unable to add variable: Variable name (Inputs) already used!"));
    EXPECT_EQ(messages[1],
              QStringLiteral("Unable to add variable: Specified variable location and size would overlap other "
                             "variables!"));
    EXPECT_TRUE(messages[2].contains("abc"));
    EXPECT_TRUE(messages[3].contains("300"));
    EXPECT_EQ(table.Count(), 12);
    EXPECT_EQ(table.Find("Pos")->location, 40);
}

TEST_F(VarDialogs, CancelAddsNothing)
{
    Answers({{"Speed", 2, QStringLiteral("18"), QDialog::Rejected}});
    dialog.AddClick();
    EXPECT_EQ(table.Count(), 11);
}

TEST_F(VarDialogs, EditOnlyUserVariables)
{
    SVarElem v;
    v.name = "Speed";
    v.sizeType = kVar16;
    v.location = 30;
    ASSERT_EQ(table.Add(v), "");
    dialog.FillList();

    Answers({{"Velocity", 2, QStringLiteral("40")}});
    Select("Timer 2");
    dialog.EditClick();
    EXPECT_EQ(runs, 0);

    Select("Speed");
    dialog.EditClick();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].name, QStringLiteral("Speed"));
    EXPECT_EQ(seen[0].type, 1);
    EXPECT_EQ(seen[0].location, std::optional<QString>(QStringLiteral("30")));
    EXPECT_EQ(table.Find("Speed"), nullptr);
    ASSERT_NE(table.Find("Velocity"), nullptr);
    EXPECT_EQ(table.Find("Velocity")->location, 40);
    EXPECT_EQ(Row(11), (QStringList{"Velocity", "32 bit signed", "40", "User"}));
}

TEST_F(VarDialogs, EditErrorKeepsTheVariable)
{
    SVarElem v;
    v.name = "Speed";
    v.automatic = 1;
    ASSERT_EQ(table.Add(v), "");
    dialog.FillList();
    Select("Speed");
    Answers({{"Timer 3", 0, std::nullopt}});
    dialog.EditClick();
    EXPECT_EQ(seen[0].location, std::nullopt);  // automatic shows "Auto"
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], QStringLiteral("Unable to edit variable: Variable name (Timer 3) already used!"));
    EXPECT_EQ(runs, 1);
    EXPECT_NE(table.Find("Speed"), nullptr);
    EXPECT_EQ(table.Count(), 12);
}

TEST_F(VarDialogs, RemoveOnlyUserVariables)
{
    SVarElem v;
    v.name = "Speed";
    v.automatic = 1;
    ASSERT_EQ(table.Add(v), "");
    dialog.FillList();
    Select("Outputs");
    dialog.RemoveClick();
    EXPECT_EQ(table.Count(), 12);
    Select("Speed");
    dialog.RemoveClick();
    EXPECT_EQ(table.Count(), 11);
    EXPECT_EQ(dialog.VarList()->topLevelItemCount(), 11);
}

TEST(VarDialog, LocationCheckBoxDrivesTheEdit)
{
    App();
    TVizuWareVar var;
    QStringList messages;
    var.showMessage = [&](const QString& text) { messages << text; };
    EXPECT_FALSE(var.LocationEdit()->isEnabled());
    EXPECT_EQ(var.LocationEdit()->text(), QStringLiteral("Auto"));
    var.LocationCheckBox()->click();
    EXPECT_TRUE(var.LocationEdit()->isEnabled());
    EXPECT_EQ(var.LocationEdit()->text(), QString());
    var.LocationCheckBox()->click();
    EXPECT_FALSE(var.LocationEdit()->isEnabled());
    EXPECT_EQ(var.LocationEdit()->text(), QStringLiteral("Auto"));
    EXPECT_EQ(var.TypeComboBox()->count(), 3);
    EXPECT_EQ(var.TypeComboBox()->itemText(1), QStringLiteral("16 bit"));

    // A location preset before showing stays.
    var.SetLocation(12);
    var.show();
    EXPECT_EQ(var.LocationEdit()->text(), QStringLiteral("12"));
    EXPECT_EQ(var.Location(), std::optional<int>(12));

    // OK with a location that is not a number keeps the dialog open.
    var.SetName(QStringLiteral("Speed"));
    var.LocationEdit()->setText(QStringLiteral("1x"));
    var.accept();
    EXPECT_TRUE(var.isVisible());
    ASSERT_EQ(messages.size(), 1);
    var.LocationEdit()->setText(QStringLiteral("255"));
    var.accept();
    EXPECT_FALSE(var.isVisible());
    EXPECT_EQ(var.result(), QDialog::Accepted);
}
