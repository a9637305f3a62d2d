// Appending rows to a list view (Form::ListAppendRows): what is already there and the selection stay, the
// new rows come after them with their cells padded and their item values, and a row that does not fit the
// columns is refused before anything changes. Checked on the in-memory window and on its row-by-row way
// (the one a window without a quicker fill of its own gets), which must agree.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "runtime/form_model.h"

namespace runtime {
namespace {

WindowSpec ListWindow() {
    WindowSpec design;
    design.name = "ListWindow";
    design.caption = "List";
    design.width = 300;
    design.height = 200;
    ControlSpec list;
    list.name = "列表";
    list.kind = ControlKind::ListView;
    list.width = 280;
    list.height = 180;
    list.columns = {{"编号", 40}, {"地址", 120}, {"备注", 100}};
    design.controls.push_back(list);
    ControlSpec button;
    button.name = "按钮";
    button.kind = ControlKind::Button;
    button.width = 60;
    button.height = 20;
    design.controls.push_back(button);
    return design;
}

// The window as the base class fills it: one row at a time through DoListAddRow and DoSetListRowValue.
class RowByRowForm final : public ModelForm {
public:
    using ModelForm::ModelForm;

protected:
    void DoListAppendRows(int index, const std::vector<ListRow>& rows) override { Form::DoListAppendRows(index, rows); }
};

class ListAppendTest : public ::testing::TestWithParam<bool> {
protected:
    ListAppendTest() {
        if (GetParam()) {
            form_ = std::make_unique<RowByRowForm>(ListWindow());
        } else {
            form_ = std::make_unique<ModelForm>(ListWindow());
        }
        form_->Open();
    }
    Form& form() { return *form_; }

    std::unique_ptr<ModelForm> form_;
};

TEST_P(ListAppendTest, RowsGoAfterTheOnesThereWithTheirValuesAndTheSelectionStays) {
    form().SetListRows("列表", {{{"1", "10.0.0.1", "甲"}, 0}, {{"2", "10.0.0.2", "乙"}, 5}});
    form().SetListSelectedRow("列表", 1);
    form().ListAppendRows("列表", {{{"3", "10.0.0.3", "丙"}, -9}, {{"4", "host.example.cn"}, 0}});

    const std::vector<ListRow> expected = {{{"1", "10.0.0.1", "甲"}, 0},
                                           {{"2", "10.0.0.2", "乙"}, 5},
                                           {{"3", "10.0.0.3", "丙"}, -9},
                                           {{"4", "host.example.cn", ""}, 0}};
    EXPECT_EQ(form().ListRows("列表"), expected);
    EXPECT_EQ(form().ListSelectedRow("列表"), 1);
    EXPECT_EQ(form().ListRowValue("列表", 2), -9);
    // The new rows are ordinary rows: they can be changed and selected like the others.
    form().SetListCell("列表", 3, 2, "丁");
    form().SetListSelectedRow("列表", 3);
    EXPECT_EQ(form().ListCell("列表", 3, 2), "丁");
    EXPECT_EQ(form().ListSelectedRow("列表"), 3);
}

TEST_P(ListAppendTest, PartsAddUpToTheWholeListAndNothingIsAnEmptyPart) {
    std::vector<ListRow> whole;
    for (int i = 0; i < 25; ++i) whole.push_back({{std::to_string(i + 1), "10.1.0." + std::to_string(i), ""}, i * 3});
    form().ListAppendRows("列表", {});
    EXPECT_EQ(form().ListRowCount("列表"), 0);
    for (size_t begin = 0; begin < whole.size(); begin += 7) {
        std::vector<ListRow> part(whole.begin() + static_cast<std::ptrdiff_t>(begin),
                                  whole.begin() + static_cast<std::ptrdiff_t>(std::min(whole.size(), begin + 7)));
        form().ListAppendRows("列表", part);
    }
    form().ListAppendRows("列表", {});
    EXPECT_EQ(form().ListRows("列表"), whole);
}

TEST_P(ListAppendTest, ARowTooWideIsRefusedBeforeAnyRowGoesIn) {
    form().SetListRows("列表", {{{"1", "a"}, 0}});
    form().SetListSelectedRow("列表", 0);
    EXPECT_THROW(form().ListAppendRows("列表", {{{"2", "b"}, 0}, {{"3", "c", "d", "too many"}, 0}}), std::out_of_range);
    EXPECT_EQ(form().ListRows("列表"), (std::vector<ListRow>{{{"1", "a", ""}, 0}}));
    EXPECT_EQ(form().ListSelectedRow("列表"), 0);
}

TEST_P(ListAppendTest, OnlyListViewsTakeRows) {
    EXPECT_THROW(form().ListAppendRows("按钮", {{{"1"}, 0}}), std::logic_error);
    EXPECT_THROW(form().ListAppendRows("没有这个", {{{"1"}, 0}}), std::logic_error);
}

// SetListRows still replaces everything and clears the selection, now that it shares the appending.
TEST_P(ListAppendTest, ReplacingAfterAppendingStartsAfresh) {
    form().ListAppendRows("列表", {{{"1", "x"}, 1}, {{"2", "y"}, 2}});
    form().SetListSelectedRow("列表", 1);
    form().SetListRows("列表", {{{"9", "z"}, 0}});
    EXPECT_EQ(form().ListRows("列表"), (std::vector<ListRow>{{{"9", "z", ""}, 0}}));
    EXPECT_EQ(form().ListSelectedRow("列表"), -1);
}

INSTANTIATE_TEST_SUITE_P(BothFills, ListAppendTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "RowByRow" : "ModelForm";
                         });

}  // namespace
}  // namespace runtime
