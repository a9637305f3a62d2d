// The connection profile: the one set of remote-desktop options that applies to every server. It is stored
// as the row of table config whose id is "1" (35 text columns), and lives as the settings controls of the
// main window plus ProfileState (the live form). LoadConnectionProfile copies the row into the live form
// once, at start-up; SaveConnectionProfile copies the live form into the row when the person presses
// "保存设置(M)". Nothing else writes the row.
//
// One table, ProfileFields(), says for every column how the live form holds it; load, save and the tests
// all go through it.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "catalogue/config_check.h"
#include "catalogue/loader_context.h"
#include "catalogue/config_database.h"
#include "profile/profile_state.h"
#include "runtime/form_runtime.h"

namespace profile {

// How the live form holds a field, and how that maps to the stored text.
enum class FieldHolder {
    kRowKey,             // id: always "1"
    kStateText,          // a ProfileState text, stored as it is
    kCheckBox,           // a check box: "1" checked, "0" not; only exactly "1" loads as checked
    kEntryIndex,         // a drop-down list's entry index as text; no entry saves ""; loads the number
    kEntryNumber,        // a drop-down list's entry index + 1 as text; no entry saves ""; loads the number - 1
    kSliderPosition,     // the size slider's position
    kFullScreen,         // "1" when the slider is at its maximum or the all-monitors box is checked
    kRememberedPosition, // ProfileState::wz1
};

struct ProfileField {
    const char* column;
    int width;                 // characters the column holds
    const char* templateValue; // the value of the row in the database the program carries
    FieldHolder holder;
    const char* control;               // the main-window control, for the holders that have one
    std::string ProfileState::*member; // for kStateText
    // Whether the load copies it into the live form. kd, gd and wz1 are not: they are worked out from the
    // slider position and the display sizes of this screen (ApplySliderPosition).
    bool loaded;
    const char* label;  // what the person calls it, for messages; the column name when null
};

// Every column of the row, in the order of the save statements.
const std::vector<ProfileField>& ProfileFields();

// What the program needs of table config: every column of ProfileFields() and the row whose id is "1".
catalogue::TableNeeds ProfileTableNeeds();

// The main-window controls the profile uses.
inline constexpr char kSizeSlider[] = "滑块条1";
inline constexpr char kSizeLabel[] = "标签4";
inline constexpr char kAllMonitors[] = "选择框1";
inline constexpr char kSpeed[] = "组合框3";
inline constexpr char kSpeedLabel[] = "标签11";
inline constexpr char kSaveButton[] = "按钮4";

// The row as stored, by column; a column missing from the table, or the row missing, reads as "".
// False when the database cannot be read at all.
bool ReadStoredProfile(catalogue::ConfigDatabase& database, std::map<std::string, std::string>& stored);
// Sets the live form from stored texts: the controls (quietly: no user reaction runs), the ProfileState
// texts, then the slider's size (ApplySliderPosition) and the speed label (automatic detection disables the
// six experience boxes). Needs the display sizes built first.
void ApplyStoredProfile(runtime::Form& mainWindow, ProfileState& state,
                        const std::map<std::string, std::string>& stored);
// The stored text of every field as the live form holds it now, by column.
std::map<std::string, std::string> GatherProfile(const runtime::Form& mainWindow, const ProfileState& state);

// The start-up loader's step: reads the row on the loader's thread under the database lock, then applies
// it on the user-interface thread.
void LoadConnectionProfile(catalogue::LoaderContext& context, runtime::Form& mainWindow, ProfileState& state);

// What saving needs besides the windows.
struct SaveServices {
    catalogue::ConfigDatabase* database = nullptr;
    std::mutex* databaseLock = nullptr;
    runtime::Dialogs* dialogs = nullptr;
};

// "保存设置(M)": gathers the live form (first putting the seven audio and device choices back to their
// defaults when any of them is empty), checks every value against its column, then updates the row whose
// id is "1", or inserts it when there is none. Says "保存成功..." only when the row was written; a value too
// long for its column, or a statement the database refuses, is said in an error message and the row and
// the live form stay as they are.
void SaveConnectionProfile(runtime::Form& mainWindow, ProfileState& state, const SaveServices& services);

}  // namespace profile
