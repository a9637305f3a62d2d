#include "runtime/form_model.h"

#include "runtime/text_codec.h"

#include <algorithm>
#include <ctime>
#include <stdexcept>

namespace runtime {

namespace {
// The local date and time, as a new date picker shows it.
DateTimeValue Now() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
            std::min(local.tm_sec, 59)};
}
}  // namespace

ModelForm::ModelForm(WindowSpec design) : Form(std::move(design)), caption_(Design().caption) {
    state_.resize(Design().controls.size());
    for (size_t i = 0; i < state_.size(); ++i) {
        const ControlSpec& control = Design().controls[i];
        State& state = state_[i];
        state.text = control.caption;
        state.checked = control.checked;
        state.entries = control.entries;
        state.min = control.rangeMin;
        state.max = control.rangeMax;
        state.position = control.position;
        for (const ListColumn& column : control.columns) state.columnWidths.push_back(column.width);
        if (control.kind == ControlKind::DatePicker) state.date = Now();
        if (control.kind == ControlKind::DropDownList || control.kind == ControlKind::TabControl) {
            state.selection = control.selection;
        }
    }
    // Two radio buttons of one group checked in the table: the later one wins, as it would on the screen.
    for (size_t i = 0; i < state_.size(); ++i) {
        if (Design().controls[i].kind == ControlKind::RadioButton && Design().controls[i].checked) {
            CheckRadio(static_cast<int>(i));
        }
    }
}

void ModelForm::DoSetEntries(int index, const std::vector<std::string>& entries) {
    state_[index].entries = entries;
    state_[index].selection = -1;
}

void ModelForm::DoSetTrackRange(int index, int minimum, int maximum) {
    state_[index].min = minimum;
    state_[index].max = maximum;
}

int ModelForm::DoListColumnWidth(int index, int column) const {
    return state_[index].columnWidths[static_cast<size_t>(column)];
}

void ModelForm::DoSetListColumnWidth(int index, int column, int width) {
    state_[index].columnWidths[static_cast<size_t>(column)] = width;
}

void ModelForm::DoListClear(int index) {
    state_[index].rows.clear();
    state_[index].selection = -1;
}

int ModelForm::DoListAddRow(int index, const std::vector<std::string>& cells) {
    state_[index].rows.push_back(Row{cells, 0});
    return static_cast<int>(state_[index].rows.size()) - 1;
}

int ModelForm::DoListRowCount(int index) const {
    if (const ListSource* source = SourceOf(index)) return source->RowCount();
    return static_cast<int>(state_[index].rows.size());
}

std::string ModelForm::DoListCell(int index, int row, int column) const {
    if (const ListSource* source = SourceOf(index)) return source->CellText(row, column);
    return state_[index].rows[static_cast<size_t>(row)].cells[static_cast<size_t>(column)];
}

void ModelForm::DoSetListCell(int index, int row, int column, const std::string& text) {
    state_[index].rows[static_cast<size_t>(row)].cells[static_cast<size_t>(column)] = text;
}

std::int64_t ModelForm::DoListRowValue(int index, int row) const {
    return state_[index].rows[static_cast<size_t>(row)].value;
}

std::int32_t ModelForm::DoListRowColour(int index, int row) const {
    return state_[index].rows[static_cast<size_t>(row)].colour;
}

void ModelForm::DoSetListRowColour(int index, int row, std::int32_t colour) {
    state_[index].rows[static_cast<size_t>(row)].colour = colour;
}

void ModelForm::DoSetListRowValue(int index, int row, std::int64_t value) {
    state_[index].rows[static_cast<size_t>(row)].value = value;
}

int ModelForm::DoShowMenu(int menuIndex, const std::vector<int>& disabled) {
    const std::string& name = Design().menus[static_cast<size_t>(menuIndex)].name;
    menusShown_.push_back(name);
    auto answer = std::find_if(menuAnswers_.begin(), menuAnswers_.end(),
                               [&](const auto& entry) { return entry.first == name; });
    if (answer == menuAnswers_.end()) return -1;
    int item = answer->second;
    menuAnswers_.erase(answer);
    // A greyed item cannot be chosen: the menu closes without a choice.
    return std::find(disabled.begin(), disabled.end(), item) != disabled.end() ? -1 : item;
}

void ModelForm::AnswerMenu(const std::string& menu, int item) {
    for (const MenuSpec& design : Design().menus) {
        if (design.name == menu) {
            if (item < -1 || item >= static_cast<int>(design.items.size()) ||
                (item >= 0 && design.items[static_cast<size_t>(item)].empty())) {
                throw std::out_of_range("window " + Name() + ", menu \"" + menu + "\": item " +
                                        std::to_string(item) + " cannot be chosen");
            }
            menuAnswers_.emplace_back(menu, item);
            return;
        }
    }
    throw std::logic_error("window " + Name() + ", menu \"" + menu + "\": no such menu");
}

int ModelForm::Reachable(const std::string& control, const char* what, std::initializer_list<ControlKind> kinds) {
    int index = IndexOf(control, what, kinds);
    if (!open_ || !visible_ || !windowEnabled_ || !state_[index].enabled || !Shown(control)) return -1;
    // A control inside a disabled container cannot be reached either.
    for (const ControlSpec* step = &ControlAt(index); !step->container.empty();) {
        int container = IndexOf(step->container, what);
        if (!state_[container].enabled) return -1;
        step = &ControlAt(container);
    }
    return index;
}

void ModelForm::Raise(int index, FormEvent event, const FormEventArgs& args) {
    pending_.push_back(Pending{index, event, args});
    if (delivering_) return;
    delivering_ = true;
    try {
        while (!pending_.empty()) {
            Pending next = pending_.front();
            pending_.pop_front();
            // Once the window is closed only its Destroying is delivered (raised directly by Close).
            if (open_ || next.event == FormEvent::Created) Fire(next.index, next.event, next.args);
        }
    } catch (...) {
        pending_.clear();
        delivering_ = false;
        throw;
    }
    delivering_ = false;
}

bool ModelForm::Click(const std::string& control) {
    int index = Reachable(control, "Click",
                          {ControlKind::Button, ControlKind::CheckBox, ControlKind::RadioButton, ControlKind::Label,
                           ControlKind::PictureBox, ControlKind::ListView});
    if (index < 0) return false;
    if (ControlAt(index).kind == ControlKind::CheckBox) state_[index].checked = !state_[index].checked;
    if (ControlAt(index).kind == ControlKind::RadioButton) CheckRadio(index);
    Raise(index, FormEvent::Click);
    return true;
}

bool ModelForm::DoubleClick(const std::string& control, int row) {
    int index = Reachable(control, "DoubleClick", {ControlKind::Label, ControlKind::PictureBox, ControlKind::ListView});
    if (index < 0) return false;
    // As on the screen: the first click of the two is a click of its own (and selects a list row).
    FormEventArgs args;
    if (ControlAt(index).kind == ControlKind::ListView) {
        if (row != -1) CheckRow(index, row);
        args.row = row;
        if (row != -1 && row != state_[index].selection) {
            state_[index].selection = row;
            Raise(index, FormEvent::SelectionChanged, args);
        }
    }
    Raise(index, FormEvent::Click, args);
    Raise(index, FormEvent::DoubleClick, args);
    return true;
}

bool ModelForm::PressMouse(const std::string& control, const FormEventArgs& args) {
    if (control.empty()) {  // the window's own client area
        if (!open_ || !visible_ || !windowEnabled_) return false;
        Raise(-1, FormEvent::MouseDown, args);
        return true;
    }
    int index = Reachable(control, "PressMouse");
    if (index < 0) return false;
    Raise(index, FormEvent::MouseDown, args);
    return true;
}

bool ModelForm::ChooseEntry(const std::string& control, int entry) {
    int index = Reachable(control, "ChooseEntry", {ControlKind::DropDownList});
    if (index < 0) return false;
    if (entry < 0 || entry >= static_cast<int>(state_[index].entries.size())) {
        throw std::out_of_range("window " + Name() + ", drop-down list \"" + control + "\": entry " +
                                std::to_string(entry) + " cannot be chosen");
    }
    state_[index].selection = entry;
    Raise(index, FormEvent::SelectionChanged);
    return true;
}

bool ModelForm::ChooseTabPage(const std::string& control, int page) {
    int index = Reachable(control, "ChooseTabPage", {ControlKind::TabControl});
    if (index < 0) return false;
    SetTabPage(control, page);
    Raise(index, FormEvent::SelectionChanged);
    return true;
}

bool ModelForm::SlideTo(const std::string& control, int position) {
    int index = Reachable(control, "SlideTo", {ControlKind::TrackBar});
    if (index < 0) return false;
    SetTrackPosition(control, position);
    Raise(index, FormEvent::PositionChanged);
    return true;
}

bool ModelForm::ChooseDate(const std::string& control, int year, int month, int day) {
    int index = Reachable(control, "ChooseDate", {ControlKind::DatePicker});
    if (index < 0) return false;
    DateTimeValue value = DateValue(control);
    value.year = year;
    value.month = month;
    value.day = day;
    SetDateValue(control, value);
    FormEventArgs args;
    args.year = year;
    args.month = month;
    args.day = day;
    Raise(index, FormEvent::DateChosen, args);
    return true;
}

bool ModelForm::TypeText(const std::string& control, const std::string& text) {
    int index = Reachable(control, "TypeText", {ControlKind::Edit});
    if (index < 0) return false;
    state_[index].text = text;
    state_[index].fitsGbk = true;
    Raise(index, FormEvent::TextChanged);
    return true;
}

bool ModelForm::TypeUnicode(const std::string& control, const std::u16string& text) {
    int index = Reachable(control, "TypeUnicode", {ControlKind::Edit});
    if (index < 0) return false;
    std::string exact;
    state_[index].fitsGbk = Utf16ToGbkExact(text, exact);
    state_[index].text = state_[index].fitsGbk ? exact : Utf16ToGbk(text);
    Raise(index, FormEvent::TextChanged);
    return true;
}

bool ModelForm::PressEscape(const std::string& control) {
    int index = Reachable(control, "PressEscape", {ControlKind::Edit});
    if (index < 0) return false;
    if (!state_[index].text.empty() && HasHandler(index, FormEvent::EscapePressed)) {
        Raise(index, FormEvent::EscapePressed);
    } else {
        RequestClose();
    }
    return true;
}

// A mouse press on a list row: the list selects the row when the button goes down (SelectionChanged, if it
// was not selected) and reports `press` when it comes up.
bool ModelForm::PressRow(const std::string& control, int row, const char* what, FormEvent press) {
    int index = Reachable(control, what, {ControlKind::ListView});
    if (index < 0) return false;
    if (row != -1 || press != FormEvent::RowRightClick) CheckRow(index, row);
    FormEventArgs args;
    args.row = row;
    if (row == -1) {
        state_[index].selection = -1;  // a press beside the rows clears the selection
    } else if (state_[index].selection != row) {
        state_[index].selection = row;
        Raise(index, FormEvent::SelectionChanged, args);
    }
    Raise(index, press, args);
    return true;
}

bool ModelForm::SelectRow(const std::string& control, int row) {
    return PressRow(control, row, "SelectRow", FormEvent::Click);
}

bool ModelForm::RightClickRow(const std::string& control, int row) {
    return PressRow(control, row, "RightClickRow", FormEvent::RowRightClick);
}

bool ModelForm::ClickColumn(const std::string& control, int column) {
    int index = Reachable(control, "ClickColumn", {ControlKind::ListView});
    if (index < 0) return false;
    if (column < 0 || column >= static_cast<int>(ControlAt(index).columns.size())) {
        throw std::out_of_range("window " + Name() + ", list \"" + control + "\": column " +
                                std::to_string(column) + " does not exist");
    }
    FormEventArgs args;
    args.column = column;
    Raise(index, FormEvent::ColumnClick, args);
    return true;
}

void ModelForm::Open() {
    if (open_ || everOpened_) throw std::logic_error("window " + Name() + " is opened twice");
    open_ = everOpened_ = true;
    Raise(-1, FormEvent::Created);
    if (open_) visible_ = true;
}

void ModelForm::MoveTo(int left, int top) {
    left_ = left;
    top_ = top;
}

void ModelForm::MoveWindowTo(int left, int top) {
    if (!open_ || !windowEnabled_) return;
    MoveTo(left, top);
    FormEventArgs args;
    args.x = left;
    args.y = top;
    Raise(-1, FormEvent::Moved, args);
}

void ModelForm::RequestClose() {
    if (!open_ || !windowEnabled_) return;
    if (HasHandler(-1, FormEvent::CloseRequested)) {
        Raise(-1, FormEvent::CloseRequested);
    } else {
        Close();
    }
}

void ModelForm::Close() {
    if (!open_) return;
    // As DestroyWindow: the window is gone for good, and Destroying runs at once, even inside a handler.
    Fire(-1, FormEvent::Destroying);
    open_ = false;
    visible_ = false;
    pending_.clear();
}

// --- ModelDialogs -------------------------------------------------------------------------------------------

void ModelDialogs::Expect(const std::string& windowName, Person person) {
    expected_.emplace_back(windowName, std::move(person));
}

void ModelDialogs::ShowModal(const WindowSpec& design, Form& owner, const FormBinder& bind) {
    auto answer = std::find_if(expected_.begin(), expected_.end(),
                               [&](const auto& entry) { return entry.first == design.name; });
    if (answer == expected_.end()) {
        throw std::logic_error("window " + design.name + " was opened over " + owner.Name() +
                               " but the test did not expect it");
    }
    Person person = std::move(answer->second);
    expected_.erase(answer);
    opened_.push_back(design.name);

    ModelForm window(design);
    if (bind) bind(window);
    owner.SetWindowEnabled(false);
    try {
        window.Open();
        if (person) person(window);
    } catch (...) {
        owner.SetWindowEnabled(true);
        throw;
    }
    owner.SetWindowEnabled(true);
    if (window.IsOpen()) {
        // Closed for the owner's sake, then reported: the handlers' way out of the window is missing.
        window.Close();
        throw std::logic_error("window " + design.name + " was left open at the end of what the person did in it");
    }
}

MessageAnswer ModelDialogs::ShowMessage(const Message& message) {
    messages_.push_back(message);
    if (messageAnswers_.empty()) return MessageAnswer::Ok;
    MessageAnswer answer = messageAnswers_.front();
    messageAnswers_.pop_front();
    return answer;
}

std::string ModelForm::FocusedControl() const { return focus_ < 0 ? std::string() : ControlAt(focus_).name; }

std::vector<ListRow> ModelForm::DoListRows(int index) const {
    std::vector<ListRow> rows;
    rows.reserve(state_[index].rows.size());
    for (const Row& row : state_[index].rows) rows.push_back({row.cells, row.value, row.colour});
    return rows;
}

void ModelForm::DoSetListRows(int index, const std::vector<ListRow>& rows) {
    State& list = state_[index];
    list.rows.clear();
    list.rows.reserve(rows.size());
    for (const ListRow& row : rows) list.rows.push_back({row.cells, row.value, row.textColour});
    list.selection = -1;
}

void ModelForm::DoListAppendRows(int index, const std::vector<ListRow>& rows) {
    State& list = state_[index];
    list.rows.reserve(list.rows.size() + rows.size());
    for (const ListRow& row : rows) list.rows.push_back({row.cells, row.value, row.textColour});
}

}  // namespace runtime
