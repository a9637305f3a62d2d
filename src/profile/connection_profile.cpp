#include "profile/connection_profile.h"

#include "catalogue/server_records.h"
#include "profile/display_sizes.h"
#include "runtime/text_codec.h"
#include "runtime/text_number.h"

namespace profile {
namespace {

using runtime::Form;

// The six experience boxes the speed presets set (选择框7 .. 选择框12).
constexpr const char* kExperienceBoxes[] = {"选择框7", "选择框8", "选择框9", "选择框10", "选择框11", "选择框12"};
constexpr int kAutomaticSpeed = 6;  // "自动检测连接质量"

// The seven audio and device choices, and the defaults they all go back to when one of them is empty.
struct Default {
    std::string ProfileState::*member;
    const char* value;
};
constexpr Default kDeviceDefaults[] = {{&ProfileState::ypxz, "1"}, {&ProfileState::yplz, "2"},
                                       {&ProfileState::znxz, "0"}, {&ProfileState::dkxz, "0"},
                                       {&ProfileState::qdxz, "0"}, {&ProfileState::spbhxz, "0"},
                                       {&ProfileState::qtzcxz, "0"}};

// A drop-down list's entry for a loaded number, or -1 (no entry) when the list has none there.
int EntryOrNone(const Form& mainWindow, const char* control, int index) {
    int count = static_cast<int>(mainWindow.Entries(control).size());
    return index >= 0 && index < count ? index : -1;
}

std::string EntryText(const Form& mainWindow, const char* control, int offset) {
    int index = mainWindow.Selection(control);
    int count = static_cast<int>(mainWindow.Entries(control).size());
    return index >= 0 && index < count ? std::to_string(index + offset) : "";
}

// The first value longer than its column, as a message naming the field; "" when every value fits.
std::string TooLongMessage(const std::map<std::string, std::string>& values) {
    for (const ProfileField& field : ProfileFields()) {
        const std::string& value = values.at(field.column);
        if (static_cast<int>(runtime::GbkToUtf16(value).size()) <= field.width) continue;
        return std::string(field.label ? field.label : field.column) + "不能超过" + std::to_string(field.width) +
               "个字符...";
    }
    return "";
}

std::string InsertStatement(const std::map<std::string, std::string>& values) {
    std::string columns, texts;
    for (const ProfileField& field : ProfileFields()) {
        columns += std::string(columns.empty() ? "" : ",") + "`" + field.column + "`";
        texts += std::string(texts.empty() ? "" : ",") + catalogue::SqlText(values.at(field.column));
    }
    return "INSERT INTO `config`(" + columns + ") VALUES (" + texts + ")";
}

std::string UpdateStatement(const std::map<std::string, std::string>& values) {
    std::string assignments;
    for (const ProfileField& field : ProfileFields()) {
        if (field.holder == FieldHolder::kRowKey) continue;
        assignments += std::string(assignments.empty() ? "" : ",") + "`" + field.column +
                       "`=" + catalogue::SqlText(values.at(field.column));
    }
    return "UPDATE `config` SET " + assignments + " WHERE `id` = '1'";
}

}  // namespace

const std::vector<ProfileField>& ProfileFields() {
    using H = FieldHolder;
    using S = ProfileState;
    static const std::vector<ProfileField> fields = {
        {"id", 10, "1", H::kRowKey, nullptr, nullptr, false, nullptr},
        {"kd", 10, "640", H::kStateText, nullptr, &S::kd, false, nullptr},
        {"gd", 10, "480", H::kStateText, nullptr, &S::gd, false, nullptr},
        {"wz", 5, "1", H::kSliderPosition, kSizeSlider, nullptr, true, nullptr},
        {"qpxz", 5, "0", H::kFullScreen, kAllMonitors, nullptr, true, nullptr},
        {"ys", 5, "3", H::kEntryIndex, "组合框1", nullptr, true, nullptr},
        {"qpsxlan", 5, "1", H::kCheckBox, "选择框2", nullptr, true, nullptr},
        {"ypxz", 5, "1", H::kStateText, nullptr, &S::ypxz, true, nullptr},
        {"yplz", 5, "2", H::kStateText, nullptr, &S::yplz, true, nullptr},
        {"jpxz", 5, "3", H::kEntryNumber, "组合框2", nullptr, true, nullptr},
        {"dyxz", 5, "1", H::kCheckBox, "选择框3", nullptr, true, nullptr},
        {"jtxz", 5, "1", H::kCheckBox, "选择框4", nullptr, true, nullptr},
        {"znxz", 5, "0", H::kStateText, nullptr, &S::znxz, true, nullptr},
        {"qdxz", 5, "0", H::kStateText, nullptr, &S::qdxz, true, nullptr},
        {"xnxz", 5, "6", H::kEntryNumber, kSpeed, nullptr, true, nullptr},
        {"bjxz", 5, "1", H::kCheckBox, "选择框7", nullptr, true, nullptr},
        {"ztxz", 5, "1", H::kCheckBox, "选择框8", nullptr, true, nullptr},
        {"hcxz", 5, "1", H::kCheckBox, "选择框9", nullptr, true, nullptr},
        {"tdxz", 5, "1", H::kCheckBox, "选择框10", nullptr, true, nullptr},
        {"dhxz", 5, "1", H::kCheckBox, "选择框11", nullptr, true, nullptr},
        {"sjxz", 5, "1", H::kCheckBox, "选择框12", nullptr, true, nullptr},
        {"twhcxz", 5, "1", H::kCheckBox, "选择框13", nullptr, true, nullptr},
        {"dxclxz", 5, "1", H::kCheckBox, "选择框14", nullptr, true, nullptr},
        {"sfyz", 5, "2", H::kEntryNumber, "组合框4", nullptr, true, nullptr},
        {"dkxz", 5, "0", H::kStateText, nullptr, &S::dkxz, true, nullptr},
        {"spbhxz", 5, "0", H::kStateText, nullptr, &S::spbhxz, true, nullptr},
        {"qtzcxz", 5, "0", H::kStateText, nullptr, &S::qtzcxz, true, nullptr},
        {"wz1", 5, "1", H::kRememberedPosition, nullptr, nullptr, false, nullptr},
        {"zdjcRD", 5, "1", H::kStateText, nullptr, &S::zdjcRD, true, nullptr},
        {"syRD", 5, "0", H::kStateText, nullptr, &S::syRD, true, nullptr},
        {"RDmc", 20, "1121", H::kStateText, nullptr, &S::RDmc, true, "RD 网关服务器名称"},
        {"RDdl", 5, "0", H::kStateText, nullptr, &S::RDdl, true, nullptr},
        {"bsybdRD", 5, "0", H::kStateText, nullptr, &S::bsybdRD, true, nullptr},
        {"bsyRD", 5, "0", H::kStateText, nullptr, &S::bsyRD, true, nullptr},
        {"RDpj", 5, "0", H::kStateText, nullptr, &S::RDpj, true, nullptr},
    };
    return fields;
}

catalogue::TableNeeds ProfileTableNeeds() {
    catalogue::TableNeeds needs{.table = "config", .keyColumn = "id", .keyValue = "1"};
    for (const ProfileField& field : ProfileFields()) needs.columns.push_back(field.column);
    return needs;
}

bool ReadStoredProfile(catalogue::ConfigDatabase& database, std::map<std::string, std::string>& stored) {
    stored.clear();
    if (!database.OpenTable("config")) return false;
    // The first row in table order; past the last row (no row at all) and a missing column read as "".
    for (const ProfileField& field : ProfileFields()) stored[field.column] = database.ReadText(field.column);
    database.Close();
    return true;
}

void ApplyStoredProfile(Form& mainWindow, ProfileState& state, const std::map<std::string, std::string>& stored) {
    auto text = [&](const char* column) {
        auto found = stored.find(column);
        return found == stored.end() ? std::string() : found->second;
    };
    for (const ProfileField& field : ProfileFields()) {
        if (!field.loaded) continue;
        const std::string value = text(field.column);
        switch (field.holder) {
        case FieldHolder::kStateText: state.*field.member = value; break;
        case FieldHolder::kCheckBox: mainWindow.SetChecked(field.control, value == "1"); break;
        case FieldHolder::kEntryIndex:
            mainWindow.SetSelection(field.control, EntryOrNone(mainWindow, field.control, runtime::TextToInt(value)));
            break;
        case FieldHolder::kEntryNumber:
            mainWindow.SetSelection(field.control,
                                    EntryOrNone(mainWindow, field.control, runtime::TextToInt(value) - 1));
            break;
        case FieldHolder::kSliderPosition: mainWindow.SetTrackPosition(field.control, runtime::TextToInt(value)); break;
        case FieldHolder::kFullScreen:
            mainWindow.SetChecked(field.control, value == "1");
            mainWindow.SetEnabled(kSizeSlider, value != "1");
            break;
        case FieldHolder::kRowKey:
        case FieldHolder::kRememberedPosition: break;
        }
    }
    ApplySliderPosition(mainWindow, state);
    // The speed preset itself is not applied at load: the boxes keep their stored states. Automatic detection
    // only changes the label and disables them.
    if (mainWindow.Selection(kSpeed) == kAutomaticSpeed) {
        mainWindow.SetText(kSpeedLabel, "与连接质量相关的功能:");
        for (const char* box : kExperienceBoxes) mainWindow.SetEnabled(box, false);
    }
    state.loaded = true;
}

std::map<std::string, std::string> GatherProfile(const Form& mainWindow, const ProfileState& state) {
    std::map<std::string, std::string> values;
    for (const ProfileField& field : ProfileFields()) {
        std::string& value = values[field.column];
        switch (field.holder) {
        case FieldHolder::kRowKey: value = "1"; break;
        case FieldHolder::kStateText: value = state.*field.member; break;
        case FieldHolder::kCheckBox: value = mainWindow.Checked(field.control) ? "1" : "0"; break;
        case FieldHolder::kEntryIndex: value = EntryText(mainWindow, field.control, 0); break;
        case FieldHolder::kEntryNumber: value = EntryText(mainWindow, field.control, 1); break;
        case FieldHolder::kSliderPosition: value = std::to_string(mainWindow.TrackPosition(field.control)); break;
        case FieldHolder::kFullScreen:
            value = mainWindow.TrackPosition(kSizeSlider) == mainWindow.TrackMax(kSizeSlider) ||
                            mainWindow.Checked(field.control)
                        ? "1"
                        : "0";
            break;
        case FieldHolder::kRememberedPosition: value = std::to_string(state.wz1); break;
        }
    }
    return values;
}

void LoadConnectionProfile(catalogue::LoaderContext& context, Form& mainWindow, ProfileState& state) {
    std::map<std::string, std::string> stored;
    bool read = false;
    context.WithDatabase([&](catalogue::ConfigDatabase& database) { read = ReadStoredProfile(database, stored); });
    if (!read) stored.clear();  // a table that cannot be read loads like a missing row
    context.OnUiThread([&] { ApplyStoredProfile(mainWindow, state, stored); });
}

void SaveConnectionProfile(Form& mainWindow, ProfileState& state, const SaveServices& services) {
    if (!state.loaded) return;  // the controls still hold their first values, not the stored ones
    auto say = [&](const std::string& text, runtime::MessageIcon icon) {
        services.dialogs->ShowMessage({text, "信息：", icon, runtime::MessageButtons::Ok});
    };
    bool anyEmpty = false;
    for (const Default& d : kDeviceDefaults) anyEmpty = anyEmpty || (state.*d.member).empty();
    if (anyEmpty) {
        for (const Default& d : kDeviceDefaults) state.*d.member = d.value;
    }
    const std::map<std::string, std::string> values = GatherProfile(mainWindow, state);
    if (std::string tooLong = TooLongMessage(values); !tooLong.empty()) {
        say(tooLong, runtime::MessageIcon::Error);
        return;
    }
    bool saved = false;
    std::string why;
    {
        std::lock_guard<std::mutex> lock(*services.databaseLock);
        catalogue::ConfigDatabase& database = *services.database;
        if (database.OpenFiltered("config", "id='1'")) {
            bool present = !database.ReadText("id").empty();
            database.Close();
            saved = database.Execute(present ? UpdateStatement(values) : InsertStatement(values));
        }
        if (!saved) why = database.LastError();
    }
    if (!saved) {
        say("设置保存失败..." + (why.empty() ? std::string() : "\n\n数据库的说明：" + why), runtime::MessageIcon::Error);
        return;
    }
    say("保存成功...", runtime::MessageIcon::Information);
}

}  // namespace profile
