// The connection profile against a real config.MDB and the in-memory main window: the first start on the
// template, every field through save and load, a missing or doubled row, stored texts that are not what
// they should be, and saves that cannot be written.
#include <gtest/gtest.h>

#include <map>
#include <mutex>

#include "catalogue/config_database.h"
#include "jet/create.h"
#include "jet/database.h"
#include "jet/test_files.h"
#include "profile/connection_profile.h"
#include "profile/display_sizes.h"
#include "runtime/form_model.h"
#include "ui/forms.h"

namespace {

using profile::ProfileState;
using runtime::ModelForm;
using Stored = std::map<std::string, std::string>;

class RunHere final : public catalogue::UiThread {
public:
    void Run(const std::function<void()>& work) override { work(); }
};

class ConnectionProfileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(catalogue::EnsureConfigDatabaseFile(path_));
        ASSERT_TRUE(database_.Open(path_));
    }
    void TearDown() override { database_.CloseConnection(); }

    // A fresh start: the main window and ProfileState as the program makes them, the sizes, then the load.
    void Start(const std::vector<profile::DisplaySize>& modes = {{800, 600}, {1024, 768}, {1280, 1024}}) {
        main_ = std::make_unique<ModelForm>(ui::MainWindowSpec());
        main_->Open();
        state_ = ProfileState{};
        catalogue::LoaderContext context(database_, lock_, ui_);
        profile::BuildDisplayModeList(context, *main_, state_, [modes] { return modes; });
        profile::LoadConnectionProfile(context, *main_, state_);
    }
    void Save() { profile::SaveConnectionProfile(*main_, state_, {&database_, &lock_, &dialogs_}); }
    Stored Row() {
        Stored stored;
        EXPECT_TRUE(profile::ReadStoredProfile(database_, stored));
        return stored;
    }
    int Rows() {
        EXPECT_TRUE(database_.OpenTable("config"));
        return database_.RecordCount();
    }
    std::string LastMessage() const { return dialogs_.Messages().empty() ? "" : dialogs_.Messages().back().text; }

    testfiles::TempDir folder_;
    std::string path_ = folder_.file("config.MDB");
    catalogue::ConfigDatabase database_;
    std::mutex lock_;
    RunHere ui_;
    runtime::ModelDialogs dialogs_;
    std::unique_ptr<ModelForm> main_;
    ProfileState state_;
};

TEST_F(ConnectionProfileTest, TheTemplateLoadsAsTheFirstStartShowsIt) {
    Start();
    ModelForm& m = *main_;
    EXPECT_EQ(m.TrackPosition("滑块条1"), 1);
    EXPECT_EQ(m.Text("标签4"), "800 x 600 像素");
    EXPECT_EQ(m.Text("组合框1"), "最高质量(32 位)");
    EXPECT_EQ(m.Text("组合框2"), "仅在全屏显示时");
    EXPECT_EQ(m.Selection("组合框3"), 5);  // LAN
    EXPECT_EQ(m.Text("组合框4"), "显示警告");
    for (const char* box : {"选择框2", "选择框3", "选择框4", "选择框7", "选择框8", "选择框9", "选择框10", "选择框11",
                            "选择框12", "选择框13", "选择框14"})
        EXPECT_TRUE(m.Checked(box)) << box;
    EXPECT_FALSE(m.Checked("选择框1"));
    EXPECT_TRUE(m.Enabled("滑块条1"));
    EXPECT_EQ(state_.ypxz + state_.yplz + state_.znxz + state_.dkxz + state_.qdxz + state_.spbhxz + state_.qtzcxz, "1200000");
    EXPECT_EQ(state_.zdjcRD + state_.syRD + state_.bsyRD + "/" + state_.RDmc, "100/1121");
    EXPECT_EQ(state_.kd + "x" + state_.gd, "800x600");
    // Every field of the table's template value is what the carried database holds.
    for (const profile::ProfileField& field : profile::ProfileFields()) EXPECT_EQ(Row()[field.column], field.templateValue) << field.column;
}

// Every field changed away from the template, saved, and loaded again on a fresh start; a quote in the gateway
// name goes into the statement as text and comes back exactly.
TEST_F(ConnectionProfileTest, EveryFieldRoundTripsThroughSaveAndLoad) {
    Start();
    ModelForm& m = *main_;
    for (const profile::ProfileField& field : profile::ProfileFields()) {
        switch (field.holder) {
        case profile::FieldHolder::kCheckBox: m.SetChecked(field.control, !m.Checked(field.control)); break;
        case profile::FieldHolder::kEntryIndex:
        case profile::FieldHolder::kEntryNumber: m.SetSelection(field.control, 0); break;
        case profile::FieldHolder::kStateText: state_.*field.member = std::string(field.templateValue) == "1" ? "0" : "1"; break;
        default: break;
        }
    }
    state_.RDmc = "gw's \"x\"";
    state_.RDdl = "2";
    ASSERT_TRUE(m.SlideTo("滑块条1", 3));
    profile::ApplySliderPosition(m, state_);
    Save();
    EXPECT_EQ(LastMessage(), "保存成功...");
    const Stored saved = profile::GatherProfile(m, state_);
    EXPECT_EQ(Row(), saved);
    EXPECT_EQ(saved.at("kd") + saved.at("gd") + saved.at("wz") + saved.at("wz1"), "1280102433");

    Start();
    EXPECT_EQ(profile::GatherProfile(*main_, state_), saved);
    EXPECT_EQ(Rows(), 1);
}

// The slider at its last place counts as full screen: saved so, the next start checks the box, disables the
// slider and remembers that place, so clearing the box leaves it at full screen.
TEST_F(ConnectionProfileTest, TheSliderAtFullScreenComesBackWithTheBoxChecked) {
    Start();
    ASSERT_TRUE(main_->SlideTo("滑块条1", 4));
    profile::ApplySliderPosition(*main_, state_);
    Save();
    EXPECT_EQ(Row()["qpxz"] + Row()["wz"], "14");
    Start();
    EXPECT_TRUE(main_->Checked("选择框1"));
    EXPECT_FALSE(main_->Enabled("滑块条1"));
    EXPECT_EQ(state_.wz1, 4);
    EXPECT_TRUE(state_.kd.empty() && state_.gd.empty());  // no size shown yet since the start
    main_->SetChecked("选择框1", false);
    profile::ApplyAllMonitorsChoice(*main_, state_);
    EXPECT_EQ(main_->Text("标签4"), "全屏");
}

// No row: everything loads empty, the first save inserts with the seven audio and device defaults, the second
// updates. A second row (id "2") ahead of it in table order is what loads; the save still goes to id "1".
TEST_F(ConnectionProfileTest, AMissingRowIsInsertedAndADoubledOneIsReadFirst) {
    ASSERT_TRUE(database_.Execute("delete from config"));
    Start();
    EXPECT_EQ(main_->Selection("组合框1"), 0);
    for (const char* list : {"组合框2", "组合框3", "组合框4"}) EXPECT_EQ(main_->Selection(list), -1) << list;
    EXPECT_FALSE(main_->Checked("选择框2"));
    EXPECT_TRUE(state_.ypxz.empty() && state_.RDmc.empty());
    Save();
    Save();
    EXPECT_EQ(Rows(), 1);
    Stored row = Row();
    EXPECT_EQ(row["ypxz"] + row["yplz"] + row["znxz"] + row["dkxz"] + row["qdxz"] + row["spbhxz"] + row["qtzcxz"], "1200000");
    EXPECT_EQ(row["xnxz"] + row["jpxz"] + row["sfyz"], "");  // nothing chosen: loads back to no entry
    Start();
    EXPECT_EQ(main_->Selection("组合框3"), -1);

    ASSERT_TRUE(database_.Execute("delete from config"));
    ASSERT_TRUE(database_.Execute("insert into config (id, ys, RDmc) values ('2', '1', 'second')"));
    ASSERT_TRUE(database_.Execute("insert into config (id, ys, RDmc) values ('1', '2', 'first')"));
    Start();
    EXPECT_EQ(state_.RDmc, "second");
    state_.RDmc = "saved";
    Save();
    ASSERT_TRUE(database_.OpenFiltered("config", "id='1'"));
    EXPECT_EQ(database_.ReadText("RDmc"), "saved");
}

TEST_F(ConnectionProfileTest, StoredTextsThatAreNotNumbersOrOutOfRangeLoadSafely) {
    struct Case { const char* wz; const char* ys; const char* xnxz; int position; int colour; int speed; };
    const Case cases[] = {
        {"abc", "x", "x", 1, 0, -1},   // not numbers
        {"0", "", "", 1, 0, -1},       // empty
        {"9", "9", "99", 4, -1, -1},   // past the ends: full screen, no entry
        {"-5", "-1", "-2", 1, -1, -1}, // below them
        {" 2x", " 2", "7", 2, 2, 6},   // leading digits count
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.wz);
        ASSERT_TRUE(database_.Execute(std::string("update config set wz='") + c.wz + "', ys='" + c.ys + "', xnxz='" +
                                      c.xnxz + "', qpxz='yes'"));
        Start();
        EXPECT_EQ(main_->TrackPosition("滑块条1"), c.position);
        EXPECT_EQ(main_->Selection("组合框1"), c.colour);
        EXPECT_EQ(main_->Selection("组合框3"), c.speed);
        EXPECT_FALSE(main_->Checked("选择框1"));  // only exactly "1" checks
    }
    // Automatic detection at load: the stored boxes stay, disabled, under the other label.
    EXPECT_EQ(main_->Text("标签11"), "与连接质量相关的功能:");
    EXPECT_FALSE(main_->Enabled("选择框7"));
    EXPECT_TRUE(main_->Checked("选择框8"));
}

// A value longer than its column is refused before anything is written, naming the field; a config table
// without the profile's columns loads empty and its save says it failed; nothing says "保存成功...".
TEST_F(ConnectionProfileTest, SavesThatCannotBeWrittenSaySoAndChangeNothing) {
    Start();
    state_.RDmc = std::string(21, 'g');
    Save();
    EXPECT_EQ(LastMessage(), "RD 网关服务器名称不能超过20个字符...");
    EXPECT_EQ(Row()["RDmc"], "1121");
    EXPECT_EQ(state_.RDmc, std::string(21, 'g'));

    database_.CloseConnection();
    jet::NewTable narrow{u"config", {{u"id", jet::ColumnType::Text, 10, false}, {u"kd", jet::ColumnType::Text, 2, false}},
                         {}, {{std::u16string(u"1"), std::u16string(u"64")}}};
    std::vector<uint8_t> bytes = jet::createDatabase({narrow});
    jet::realFileSystem().remove(path_);
    ASSERT_TRUE(jet::realFileSystem().createNew(path_, bytes.data(), bytes.size()));
    ASSERT_TRUE(database_.Open(path_));
    Start();
    EXPECT_EQ(main_->Selection("组合框4"), -1);
    Save();
    EXPECT_EQ(LastMessage().rfind("设置保存失败...", 0), 0u) << LastMessage();
}

}  // namespace
