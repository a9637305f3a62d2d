#include "runtime/form_runtime.h"

#include <algorithm>
#include <set>
#include <stdexcept>

namespace runtime {
namespace {

const char* KindName(ControlKind kind) {
    switch (kind) {
    case ControlKind::Button: return "button";
    case ControlKind::CheckBox: return "check box";
    case ControlKind::RadioButton: return "radio button";
    case ControlKind::Label: return "label";
    case ControlKind::Edit: return "edit box";
    case ControlKind::DropDownList: return "drop-down list";
    case ControlKind::GroupBox: return "group box";
    case ControlKind::PictureBox: return "picture box";
    case ControlKind::TrackBar: return "track bar";
    case ControlKind::DatePicker: return "date picker";
    case ControlKind::ListView: return "list view";
    case ControlKind::TabControl: return "tab control";
    }
    return "control";
}

bool IsContainerKind(ControlKind kind) {
    return kind == ControlKind::GroupBox || kind == ControlKind::PictureBox || kind == ControlKind::TabControl;
}

[[noreturn]] void Fault(const WindowSpec& design, const std::string& control, const std::string& what) {
    throw std::logic_error("window " + design.name + ", control \"" + control + "\": " + what);
}

const ControlSpec* Find(const WindowSpec& design, const std::string& name) {
    for (const ControlSpec& control : design.controls) {
        if (control.name == name) return &control;
    }
    return nullptr;
}

// Whether `kind` can raise `event` (window events belong to the window alone).
bool Raises(ControlKind kind, FormEvent event) {
    switch (event) {
    case FormEvent::MouseDown:
        return true;
    case FormEvent::Click:
        return kind == ControlKind::Button || kind == ControlKind::CheckBox || kind == ControlKind::RadioButton ||
               kind == ControlKind::Label || kind == ControlKind::PictureBox || kind == ControlKind::ListView;
    case FormEvent::DoubleClick:
        return kind == ControlKind::Label || kind == ControlKind::PictureBox || kind == ControlKind::ListView;
    case FormEvent::SelectionChanged:
        return kind == ControlKind::DropDownList || kind == ControlKind::TabControl || kind == ControlKind::ListView;
    case FormEvent::PositionChanged:
        return kind == ControlKind::TrackBar;
    case FormEvent::DateChosen:
        return kind == ControlKind::DatePicker;
    case FormEvent::RowRightClick:
    case FormEvent::ColumnClick:
        return kind == ControlKind::ListView;
    case FormEvent::TextChanged:
    case FormEvent::EscapePressed:
        return kind == ControlKind::Edit;
    default:
        return false;
    }
}

bool IsWindowEvent(FormEvent event) {
    return event == FormEvent::Created || event == FormEvent::Moved || event == FormEvent::CloseRequested ||
           event == FormEvent::Destroying || event == FormEvent::MouseDown;
}

}  // namespace

const char* FormEventName(FormEvent event) {
    switch (event) {
    case FormEvent::Click: return "Click";
    case FormEvent::DoubleClick: return "DoubleClick";
    case FormEvent::MouseDown: return "MouseDown";
    case FormEvent::SelectionChanged: return "SelectionChanged";
    case FormEvent::PositionChanged: return "PositionChanged";
    case FormEvent::DateChosen: return "DateChosen";
    case FormEvent::RowRightClick: return "RowRightClick";
    case FormEvent::ColumnClick: return "ColumnClick";
    case FormEvent::TextChanged: return "TextChanged";
    case FormEvent::EscapePressed: return "EscapePressed";
    case FormEvent::Created: return "Created";
    case FormEvent::Moved: return "Moved";
    case FormEvent::CloseRequested: return "CloseRequested";
    case FormEvent::Destroying: return "Destroying";
    }
    return "event";
}

void ValidateWindowSpec(const WindowSpec& design) {
    std::set<std::string> names;
    for (const ControlSpec& control : design.controls) {
        if (control.name.empty()) Fault(design, control.name, "a control without a name");
        if (!names.insert(control.name).second) Fault(design, control.name, "the name is used twice");
    }
    for (const ControlSpec& control : design.controls) {
        if (!control.container.empty()) {
            const ControlSpec* container = Find(design, control.container);
            if (!container) Fault(design, control.name, "its container \"" + control.container + "\" does not exist");
            if (!IsContainerKind(container->kind)) {
                Fault(design, control.name, "its container \"" + control.container + "\" is a " +
                                              KindName(container->kind) + ", which cannot hold controls");
            }
            if (container->kind == ControlKind::TabControl) {
                if (control.page < 0 || control.page >= static_cast<int>(container->entries.size())) {
                    Fault(design, control.name, "page " + std::to_string(control.page) + " is not a page of \"" +
                                                  container->name + "\"");
                }
            } else if (control.page != -1) {
                Fault(design, control.name, "has a page but its container is not a tab control");
            }
            // A chain of containers must end at the window.
            const ControlSpec* step = container;
            for (size_t depth = 0; step && !step->container.empty(); ++depth) {
                if (depth > design.controls.size()) Fault(design, control.name, "its containers form a cycle");
                step = Find(design, step->container);
            }
        } else if (control.page != -1) {
            Fault(design, control.name, "has a page but no tab control holds it");
        }
        const int entries = static_cast<int>(control.entries.size());
        switch (control.kind) {
        case ControlKind::DropDownList:
            if (control.selection < -1 || control.selection >= entries) {
                Fault(design, control.name, "initial selection " + std::to_string(control.selection) +
                                              " is outside its " + std::to_string(entries) + " entries");
            }
            break;
        case ControlKind::TabControl:
            if (entries == 0) Fault(design, control.name, "a tab control without pages");
            if (control.selection < 0 || control.selection >= entries) {
                Fault(design, control.name, "initial page " + std::to_string(control.selection) + " does not exist");
            }
            break;
        case ControlKind::TrackBar:
            if (control.rangeMin > control.rangeMax) Fault(design, control.name, "track bar range is reversed");
            if (control.position < control.rangeMin || control.position > control.rangeMax) {
                Fault(design, control.name, "track bar position is outside its range");
            }
            break;
        case ControlKind::ListView:
            if (control.columns.empty()) Fault(design, control.name, "a list view without columns");
            break;
        case ControlKind::PictureBox:
            if (control.picture && (!control.picture->png || control.picture->size == 0)) {
                Fault(design, control.name, "its picture has no bytes");
            }
            break;
        default:
            break;
        }
    }
    std::set<std::string> menus;
    for (const MenuSpec& menu : design.menus) {
        if (!menus.insert(menu.name).second) Fault(design, menu.name, "the menu name is used twice");
        if (names.count(menu.name)) Fault(design, menu.name, "a menu and a control share the name");
    }
}

std::pair<int, int> ClientPosition(const WindowSpec& design, const std::string& control) {
    const ControlSpec* step = Find(design, control);
    if (!step) Fault(design, control, "no such control");
    int left = 0, top = 0;
    for (size_t depth = 0; step; ++depth) {
        if (depth > design.controls.size()) Fault(design, control, "its containers form a cycle");
        left += step->left;
        top += step->top;
        step = step->container.empty() ? nullptr : Find(design, step->container);
    }
    return {left, top};
}

std::vector<std::string> RadioGroup(const WindowSpec& design, const std::string& control) {
    const ControlSpec* radio = Find(design, control);
    if (!radio) Fault(design, control, "no such control");
    if (radio->kind != ControlKind::RadioButton) Fault(design, control, "is not a radio button");
    std::vector<std::string> group;
    for (const ControlSpec& other : design.controls) {
        if (other.kind == ControlKind::RadioButton && other.container == radio->container &&
            other.page == radio->page) {
            group.push_back(other.name);
        }
    }
    return group;
}

// --- Form --------------------------------------------------------------------------------------------------

Form::Form(WindowSpec design) : design_(std::move(design)) {
    ValidateWindowSpec(design_);
    for (size_t i = 0; i < design_.controls.size(); ++i) indexByName_[design_.controls[i].name] = static_cast<int>(i);
}

bool Form::HasControl(const std::string& control) const { return indexByName_.count(control) != 0; }

int Form::IndexOf(const std::string& control, const char* what, std::initializer_list<ControlKind> kinds) const {
    auto found = indexByName_.find(control);
    if (found == indexByName_.end()) Fault(design_, control, std::string("no such control (") + what + ")");
    ControlKind kind = ControlAt(found->second).kind;
    if (kinds.size() != 0 && std::find(kinds.begin(), kinds.end(), kind) == kinds.end()) {
        Fault(design_, control, std::string(what) + " does not apply to a " + KindName(kind));
    }
    return found->second;
}

std::vector<int> Form::RadioGroupIndices(int index) const {
    const ControlSpec& radio = ControlAt(index);
    std::vector<int> group;
    for (int i = 0; i < ControlCount(); ++i) {
        const ControlSpec& other = ControlAt(i);
        if (other.kind == ControlKind::RadioButton && other.container == radio.container && other.page == radio.page) {
            group.push_back(i);
        }
    }
    return group;
}

void Form::CheckRadio(int index) {
    for (int member : RadioGroupIndices(index)) {
        if (member != index && DoChecked(member)) DoSetChecked(member, false);
    }
    DoSetChecked(index, true);
}

void Form::On(const std::string& control, FormEvent event, FormHandler handler) {
    int index = -1;
    if (control.empty()) {
        if (!IsWindowEvent(event)) Fault(design_, control, std::string("the window raises no ") + FormEventName(event));
    } else {
        index = IndexOf(control, FormEventName(event));
        if (!Raises(ControlAt(index).kind, event)) {
            Fault(design_, control, std::string("a ") + KindName(ControlAt(index).kind) + " raises no " +
                                      FormEventName(event));
        }
    }
    handlers_[{index, event}] = std::move(handler);
}

void Form::Fire(int index, FormEvent event, const FormEventArgs& args) {
    auto found = handlers_.find({index, event});
    if (found == handlers_.end() || !found->second) return;
    // A copy: the handler may bind another in its place while it runs.
    FormHandler handler = found->second;
    handler(args);
}

bool Form::HasHandler(int index, FormEvent event) const {
    auto found = handlers_.find({index, event});
    return found != handlers_.end() && found->second;
}

const ListSource* Form::SourceOf(int index) const {
    auto found = sources_.find(index);
    return found == sources_.end() ? nullptr : found->second;
}

void Form::RefuseWithSource(int index, const char* what) const {
    if (SourceOf(index)) {
        Fault(design_, ControlAt(index).name,
              std::string(what) + ": the list shows rows the program keeps elsewhere, which it changes there");
    }
}

void Form::SetListSource(const std::string& control, const ListSource* source) {
    int index = IndexOf(control, "SetListSource", {ControlKind::ListView});
    // Before the window is made there is nothing to tell: the list takes the source's rows when it is made.
    const bool made = IsOpen();
    if (made && !SourceOf(index)) DoListClear(index);  // the list's own rows go
    if (source) {
        sources_[index] = source;
    } else {
        sources_.erase(index);
    }
    if (!made) return;
    DoListSourceChanged(index);
    DoSetListSelectedRow(index, -1);
}

void Form::ListSourceChanged(const std::string& control, int selectedRow) {
    int index = IndexOf(control, "ListSourceChanged", {ControlKind::ListView});
    if (!IsOpen()) return;  // drawn from the source when the window is made
    DoListSourceChanged(index);
    if (selectedRow != -1) CheckRow(index, selectedRow);
    DoSetListSelectedRow(index, selectedRow);
    if (selectedRow != -1) DoListShowRow(index, selectedRow);
}

void Form::ListSourceRowChanged(const std::string& control, int row) {
    int index = IndexOf(control, "ListSourceRowChanged", {ControlKind::ListView});
    if (!IsOpen()) return;
    CheckRow(index, row);
    DoRedrawListRow(index, row);
}

void Form::ListSourceRedraw(const std::string& control) {
    int index = IndexOf(control, "ListSourceRedraw", {ControlKind::ListView});
    if (IsOpen()) DoRedrawList(index);
}

bool Form::TextFitsGbk(const std::string& control) const {
    return DoTextFitsGbk(IndexOf(control, "TextFitsGbk", {ControlKind::Edit}));
}

void Form::CheckRow(int index, int row) const {
    const ListSource* source = SourceOf(index);
    int count = source ? source->RowCount() : DoListRowCount(index);
    if (row < 0 || row >= count) {
        throw std::out_of_range("window " + design_.name + ", list \"" + ControlAt(index).name + "\": row " +
                                std::to_string(row) + " does not exist (" + std::to_string(count) + " rows)");
    }
}

std::string Form::Text(const std::string& control) const {
    int index = IndexOf(control, "Text",
                        {ControlKind::Button, ControlKind::CheckBox, ControlKind::RadioButton, ControlKind::Label,
                         ControlKind::Edit, ControlKind::GroupBox, ControlKind::DropDownList});
    if (ControlAt(index).kind == ControlKind::DropDownList) {
        int selection = DoSelection(index);
        return selection < 0 ? std::string() : DoEntries(index)[static_cast<size_t>(selection)];
    }
    return DoText(index);
}

void Form::SetText(const std::string& control, const std::string& text) {
    int index = IndexOf(control, "SetText",
                        {ControlKind::Button, ControlKind::CheckBox, ControlKind::RadioButton, ControlKind::Label,
                         ControlKind::Edit, ControlKind::GroupBox});
    DoSetText(index, text);
}

bool Form::Checked(const std::string& control) const {
    return DoChecked(IndexOf(control, "Checked", {ControlKind::CheckBox, ControlKind::RadioButton}));
}

void Form::SetChecked(const std::string& control, bool checked) {
    int index = IndexOf(control, "SetChecked", {ControlKind::CheckBox, ControlKind::RadioButton});
    if (checked && ControlAt(index).kind == ControlKind::RadioButton) {
        CheckRadio(index);
    } else {
        DoSetChecked(index, checked);
    }
}

int Form::Selection(const std::string& control) const {
    return DoSelection(IndexOf(control, "Selection", {ControlKind::DropDownList}));
}

void Form::SetSelection(const std::string& control, int selection) {
    int index = IndexOf(control, "SetSelection", {ControlKind::DropDownList});
    int count = static_cast<int>(DoEntries(index).size());
    if (selection < -1 || selection >= count) {
        throw std::out_of_range("window " + design_.name + ", drop-down list \"" + control + "\": entry " +
                                std::to_string(selection) + " does not exist (" + std::to_string(count) + " entries)");
    }
    DoSetSelection(index, selection);
}

std::vector<std::string> Form::Entries(const std::string& control) const {
    return DoEntries(IndexOf(control, "Entries", {ControlKind::DropDownList}));
}

void Form::SetEntries(const std::string& control, const std::vector<std::string>& entries) {
    DoSetEntries(IndexOf(control, "SetEntries", {ControlKind::DropDownList}), entries);
}

int Form::TrackMin(const std::string& control) const {
    return DoTrackRange(IndexOf(control, "TrackMin", {ControlKind::TrackBar})).first;
}

int Form::TrackMax(const std::string& control) const {
    return DoTrackRange(IndexOf(control, "TrackMax", {ControlKind::TrackBar})).second;
}

void Form::SetTrackRange(const std::string& control, int minimum, int maximum) {
    int index = IndexOf(control, "SetTrackRange", {ControlKind::TrackBar});
    if (minimum > maximum) Fault(design_, control, "track bar range is reversed");
    int position = DoTrackPosition(index);
    DoSetTrackRange(index, minimum, maximum);
    DoSetTrackPosition(index, std::clamp(position, minimum, maximum));
}

int Form::TrackPosition(const std::string& control) const {
    return DoTrackPosition(IndexOf(control, "TrackPosition", {ControlKind::TrackBar}));
}

void Form::SetTrackPosition(const std::string& control, int position) {
    int index = IndexOf(control, "SetTrackPosition", {ControlKind::TrackBar});
    auto [minimum, maximum] = DoTrackRange(index);
    DoSetTrackPosition(index, std::clamp(position, minimum, maximum));
}

bool Form::Enabled(const std::string& control) const { return DoEnabled(IndexOf(control, "Enabled")); }

void Form::SetEnabled(const std::string& control, bool enabled) { DoSetEnabled(IndexOf(control, "SetEnabled"), enabled); }

bool Form::Visible(const std::string& control) const { return DoVisible(IndexOf(control, "Visible")); }

void Form::SetVisible(const std::string& control, bool visible) {
    DoSetVisible(IndexOf(control, "SetVisible"), visible);
    UpdateShown();
}

bool Form::Shown(const std::string& control) const {
    int index = IndexOf(control, "Shown");
    for (size_t depth = 0; index >= 0; ++depth) {
        const ControlSpec& design = ControlAt(index);
        if (!DoVisible(index)) return false;
        if (design.container.empty()) return true;
        int container = indexByName_.at(design.container);
        if (ControlAt(container).kind == ControlKind::TabControl && DoTabPage(container) != design.page) return false;
        index = container;
    }
    return true;
}

void Form::ListClear(const std::string& control) {
    int index = IndexOf(control, "ListClear", {ControlKind::ListView});
    RefuseWithSource(index, "ListClear");
    DoListClear(index);
}

int Form::ListAddRow(const std::string& control, const std::vector<std::string>& cells) {
    int index = IndexOf(control, "ListAddRow", {ControlKind::ListView});
    RefuseWithSource(index, "ListAddRow");
    size_t columns = ControlAt(index).columns.size();
    if (cells.size() > columns) {
        throw std::out_of_range("window " + design_.name + ", list \"" + control + "\": a row of " +
                                std::to_string(cells.size()) + " cells in " + std::to_string(columns) + " columns");
    }
    std::vector<std::string> row = cells;
    row.resize(columns);
    return DoListAddRow(index, row);
}

int Form::ListRowCount(const std::string& control) const {
    int index = IndexOf(control, "ListRowCount", {ControlKind::ListView});
    const ListSource* source = SourceOf(index);
    return source ? source->RowCount() : DoListRowCount(index);
}

int Form::ListColumnCount(const std::string& control) const {
    return static_cast<int>(ControlAt(IndexOf(control, "ListColumnCount", {ControlKind::ListView})).columns.size());
}

namespace {
void CheckColumn(const WindowSpec& design, const ControlSpec& list, int column) {
    if (column < 0 || column >= static_cast<int>(list.columns.size())) {
        throw std::out_of_range("window " + design.name + ", list \"" + list.name + "\": column " +
                                std::to_string(column) + " does not exist");
    }
}
}  // namespace

int Form::ListColumnWidth(const std::string& control, int column) const {
    int index = IndexOf(control, "ListColumnWidth", {ControlKind::ListView});
    CheckColumn(design_, ControlAt(index), column);
    return DoListColumnWidth(index, column);
}

void Form::SetListColumnWidth(const std::string& control, int column, int width) {
    int index = IndexOf(control, "SetListColumnWidth", {ControlKind::ListView});
    CheckColumn(design_, ControlAt(index), column);
    if (ControlAt(index).columns[static_cast<size_t>(column)].width == 0) return;  // hidden for good
    DoSetListColumnWidth(index, column, std::max(width, 0));
}

std::string Form::ListCell(const std::string& control, int row, int column) const {
    int index = IndexOf(control, "ListCell", {ControlKind::ListView});
    CheckRow(index, row);
    CheckColumn(design_, ControlAt(index), column);
    if (const ListSource* source = SourceOf(index)) return source->CellText(row, column);
    return DoListCell(index, row, column);
}

void Form::SetListCell(const std::string& control, int row, int column, const std::string& text) {
    int index = IndexOf(control, "SetListCell", {ControlKind::ListView});
    RefuseWithSource(index, "SetListCell");
    CheckRow(index, row);
    CheckColumn(design_, ControlAt(index), column);
    DoSetListCell(index, row, column, text);
}

int Form::ListSelectedRow(const std::string& control) const {
    return DoListSelectedRow(IndexOf(control, "ListSelectedRow", {ControlKind::ListView}));
}

void Form::SetListSelectedRow(const std::string& control, int row) {
    int index = IndexOf(control, "SetListSelectedRow", {ControlKind::ListView});
    if (row != -1) CheckRow(index, row);
    DoSetListSelectedRow(index, row);
}

std::int64_t Form::ListRowValue(const std::string& control, int row) const {
    int index = IndexOf(control, "ListRowValue", {ControlKind::ListView});
    CheckRow(index, row);
    return SourceOf(index) ? 0 : DoListRowValue(index, row);
}

void Form::SetListRowValue(const std::string& control, int row, std::int64_t value) {
    int index = IndexOf(control, "SetListRowValue", {ControlKind::ListView});
    RefuseWithSource(index, "SetListRowValue");
    CheckRow(index, row);
    DoSetListRowValue(index, row, value);
}

std::int32_t Form::ListRowColour(const std::string& control, int row) const {
    int index = IndexOf(control, "ListRowColour", {ControlKind::ListView});
    CheckRow(index, row);
    if (const ListSource* source = SourceOf(index)) return source->RowColour(row);
    return DoListRowColour(index, row);
}

void Form::SetListRowColour(const std::string& control, int row, std::int32_t colour) {
    int index = IndexOf(control, "SetListRowColour", {ControlKind::ListView});
    RefuseWithSource(index, "SetListRowColour");
    CheckRow(index, row);
    DoSetListRowColour(index, row, colour);
}

namespace {
// Whether `text` begins with `typed`: GBK, a double-byte character whole, ASCII letters in either case.
bool BeginsWith(std::string_view text, const std::string& typed) {
    if (text.size() < typed.size()) return false;
    for (size_t i = 0; i < typed.size(); ++i) {
        const unsigned char t = static_cast<unsigned char>(typed[i]);
        if (t >= 0x81 && t <= 0xFE && i + 1 < typed.size()) {
            if (text[i] != typed[i] || text[i + 1] != typed[i + 1]) return false;
            ++i;
            continue;
        }
        const unsigned char c = static_cast<unsigned char>(text[i]);
        auto lower = [](unsigned char b) { return b >= 'A' && b <= 'Z' ? static_cast<unsigned char>(b + 32) : b; };
        if (lower(c) != lower(t)) return false;
    }
    return true;
}
}  // namespace

int FindListRow(int rowCount, const std::function<std::string_view(int row, int column)>& cell,
                const std::string& typed, int start, bool wrap, const std::vector<int>& columns) {
    if (typed.empty() || rowCount <= 0) return -1;
    const size_t count = static_cast<size_t>(rowCount);
    const size_t first = start >= 0 && static_cast<size_t>(start) < count ? static_cast<size_t>(start) : 0;
    const size_t steps = wrap ? count : count - first;
    for (size_t step = 0; step < steps; ++step) {
        const int row = static_cast<int>((first + step) % count);
        for (int column : columns) {
            if (BeginsWith(cell(row, column), typed)) return row;
        }
    }
    return -1;
}

int FindListRow(const std::vector<ListRow>& rows, const std::string& typed, int start, bool wrap,
                const std::vector<int>& columns) {
    return FindListRow(
        static_cast<int>(rows.size()),
        [&rows](int row, int column) -> std::string_view {
            const std::vector<std::string>& cells = rows[static_cast<size_t>(row)].cells;
            return column >= 0 && static_cast<size_t>(column) < cells.size() ? cells[static_cast<size_t>(column)]
                                                                               : std::string_view();
        },
        typed, start, wrap, columns);
}

std::vector<ListRow> Form::ListRows(const std::string& control) const {
    int index = IndexOf(control, "ListRows", {ControlKind::ListView});
    const ListSource* source = SourceOf(index);
    if (!source) return DoListRows(index);
    std::vector<ListRow> rows(static_cast<size_t>(source->RowCount()));
    const int columns = static_cast<int>(ControlAt(index).columns.size());
    for (size_t r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < columns; ++c) rows[r].cells.push_back(source->CellText(static_cast<int>(r), c));
        rows[r].textColour = source->RowColour(static_cast<int>(r));
    }
    return rows;
}

namespace {
// `rows` with one cell per column of `list` (missing cells empty); a row with more cells than columns throws.
std::vector<ListRow> FullRows(const WindowSpec& design, const ControlSpec& list, const std::vector<ListRow>& rows) {
    size_t columns = list.columns.size();
    std::vector<ListRow> full = rows;
    for (ListRow& row : full) {
        if (row.cells.size() > columns) {
            throw std::out_of_range("window " + design.name + ", list \"" + list.name + "\": a row of " +
                                    std::to_string(row.cells.size()) + " cells in " + std::to_string(columns) +
                                    " columns");
        }
        row.cells.resize(columns);
    }
    return full;
}
}  // namespace

void Form::SetListRows(const std::string& control, const std::vector<ListRow>& rows) {
    int index = IndexOf(control, "SetListRows", {ControlKind::ListView});
    RefuseWithSource(index, "SetListRows");
    DoSetListRows(index, FullRows(design_, ControlAt(index), rows));
}

void Form::ListAppendRows(const std::string& control, const std::vector<ListRow>& rows) {
    int index = IndexOf(control, "ListAppendRows", {ControlKind::ListView});
    RefuseWithSource(index, "ListAppendRows");
    DoListAppendRows(index, FullRows(design_, ControlAt(index), rows));
}

void Form::ListShowRow(const std::string& control, int row) {
    int index = IndexOf(control, "ListShowRow", {ControlKind::ListView});
    CheckRow(index, row);
    DoListShowRow(index, row);
}

std::vector<ListRow> Form::DoListRows(int index) const {
    std::vector<ListRow> rows(static_cast<size_t>(DoListRowCount(index)));
    int columns = static_cast<int>(ControlAt(index).columns.size());
    for (size_t r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < columns; ++c) rows[r].cells.push_back(DoListCell(index, static_cast<int>(r), c));
        rows[r].value = DoListRowValue(index, static_cast<int>(r));
        rows[r].textColour = DoListRowColour(index, static_cast<int>(r));
    }
    return rows;
}

void Form::DoSetListRows(int index, const std::vector<ListRow>& rows) {
    DoListClear(index);
    DoListAppendRows(index, rows);
}

void Form::DoListAppendRows(int index, const std::vector<ListRow>& rows) {
    for (const ListRow& row : rows) {
        int added = DoListAddRow(index, row.cells);
        if (row.value != 0) DoSetListRowValue(index, added, row.value);
        if (row.textColour != kListColour) DoSetListRowColour(index, added, row.textColour);
    }
}

namespace {
bool ValidDateTime(const DateTimeValue& value) {
    static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (value.year < 1601 || value.year > 9999 || value.month < 1 || value.month > 12 || value.day < 1) return false;
    bool leap = (value.year % 4 == 0 && value.year % 100 != 0) || value.year % 400 == 0;
    int days = value.month == 2 && !leap ? 28 : kDays[value.month - 1];
    return value.day <= days && value.hour >= 0 && value.hour < 24 && value.minute >= 0 && value.minute < 60 &&
           value.second >= 0 && value.second < 60;
}
}  // namespace

DateTimeValue Form::DateValue(const std::string& control) const {
    return DoDateValue(IndexOf(control, "DateValue", {ControlKind::DatePicker}));
}

void Form::SetDateValue(const std::string& control, const DateTimeValue& value) {
    int index = IndexOf(control, "SetDateValue", {ControlKind::DatePicker});
    if (!ValidDateTime(value)) {
        throw std::out_of_range("window " + design_.name + ", date picker \"" + control + "\": " +
                                std::to_string(value.year) + "-" + std::to_string(value.month) + "-" +
                                std::to_string(value.day) + " " + std::to_string(value.hour) + ":" +
                                std::to_string(value.minute) + ":" + std::to_string(value.second) +
                                " is not a date and time it can hold");
    }
    DoSetDateValue(index, value);
}

void Form::SetFocus(const std::string& control) { DoSetFocus(IndexOf(control, "SetFocus")); }

int Form::TabPage(const std::string& control) const {
    return DoTabPage(IndexOf(control, "TabPage", {ControlKind::TabControl}));
}

void Form::SetTabPage(const std::string& control, int page) {
    int index = IndexOf(control, "SetTabPage", {ControlKind::TabControl});
    int pages = static_cast<int>(ControlAt(index).entries.size());
    if (page < 0 || page >= pages) {
        throw std::out_of_range("window " + design_.name + ", tab control \"" + control + "\": page " +
                                std::to_string(page) + " does not exist");
    }
    DoSetTabPage(index, page);
    UpdateShown();
}

int Form::ShowMenu(const std::string& menu, const std::vector<int>& disabled) {
    for (size_t i = 0; i < design_.menus.size(); ++i) {
        if (design_.menus[i].name == menu) return DoShowMenu(static_cast<int>(i), disabled);
    }
    Fault(design_, menu, "no such menu");
}

}  // namespace runtime
