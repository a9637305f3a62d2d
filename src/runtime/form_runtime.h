// A window built from its table (runtime/form.h), as its event handlers see it: controls addressed by their
// designer names, events bound by (control name, event). Two implementations share this interface and its
// rules: ModelForm (in memory, runtime/form_model.h) for native tests, and Win32Form (real Win32 controls,
// runtime/form_win32.h) in the program.
//
// Loud failures: a name that is not in the window's table, or a call that does not fit the control's kind
// (Checked on a list view, say), throws std::logic_error naming the window and the control, at once. An index
// out of range (a drop-down entry, a list row or column) throws std::out_of_range.
//
// Setting a state from code (SetChecked, SetSelection, SetTrackPosition, SetListSelectedRow, SetTabPage)
// never raises an event; events come from what the person does. All texts are GBK.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/form.h"

namespace runtime {

enum class FormEvent {
    // Controls
    Click,             // buttons, check boxes, radio buttons (after their state changed), labels, pictures
    DoubleClick,       // labels, pictures, list views (on a row: args.row)
    MouseDown,         // left button pressed: args.x, args.y (client coordinates of the control), modifiers
    SelectionChanged,  // drop-down list or tab control chosen by the person; list view row selected
    PositionChanged,   // track bar moved by the person
    DateChosen,        // date picker: args.year, args.month, args.day
    RowRightClick,     // list view: right button on a row (args.row), or beside the rows (args.row -1)
    ColumnClick,       // list view: column header clicked (args.column)
    TextChanged,       // edit box: the person changed its text (typing, pasting, deleting)
    EscapePressed,     // edit box holding text: Esc pressed in it (instead of the window's Esc, which closes it)
    // The window (bound with the control name "")
    Created,         // after the controls exist, before the window is first shown
    Moved,           // the window's top-left corner moved: args.x, args.y (screen)
    CloseRequested,  // close box, Alt+F4, Esc; without a handler the window closes
    Destroying,      // the window is being destroyed
};

// The name of an event, for messages.
const char* FormEventName(FormEvent event);

struct FormEventArgs {
    int x = 0, y = 0;
    bool ctrl = false, shift = false, alt = false;
    int row = -1;     // list view row
    int column = -1;  // list view column
    int year = 0, month = 0, day = 0;  // date picker
};

using FormHandler = std::function<void(const FormEventArgs&)>;

// One row of a list view: a text per column, the row's item value, and the colour of its text (an RGB value
// 0x00BBGGRR; kListColour: the list's own). A selected row is drawn in the system's selection colours
// whatever its colour.
inline constexpr std::int32_t kListColour = -1;
struct ListRow {
    std::vector<std::string> cells;
    std::int64_t value = 0;
    std::int32_t textColour = kListColour;
    bool operator==(const ListRow&) const = default;
};

// Rows that a list view shows without holding them (owner data): the program keeps the rows, the list asks
// for a row's texts and colour when it draws the row. A list bound to a source never copies a row; the
// program tells it when the rows changed (Form::ListSourceChanged, Form::ListSourceRowChanged). Asked on
// the window's thread only.
class ListSource {
public:
    virtual ~ListSource() = default;
    virtual int RowCount() const = 0;
    // The text of a cell (GBK); valid until the next call on the source. Rows and columns are in range.
    virtual const std::string& CellText(int row, int column) const = 0;
    virtual std::int32_t RowColour(int) const { return kListColour; }
};

// The row that typing `typed` (GBK) in a list finds: the first row from `start` on (and round from the top
// when `wrap`) one of whose `columns` begins with `typed`, ASCII letters compared without regard to case and
// a double-byte character only whole. -1 when none does, or when `typed` is empty.
int FindListRow(const std::vector<ListRow>& rows, const std::string& typed, int start, bool wrap,
                const std::vector<int>& columns);
// The same over `count` rows whose cells `cell(row, column)` gives.
int FindListRow(int count, const std::function<std::string_view(int row, int column)>& cell, const std::string& typed,
                int start, bool wrap, const std::vector<int>& columns);

// A calendar date and time of day, as a date picker holds it.
struct DateTimeValue {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool operator==(const DateTimeValue&) const = default;
};

// Checks a window's table: unique non-empty names, containers that exist and can hold controls (group box,
// picture box, tab control, no cycles), page indices inside their tab control, drop-down and tab selections
// inside their entries, track bar positions inside their range, list views with columns. Throws
// std::logic_error naming the window and the control on the first fault.
void ValidateWindowSpec(const WindowSpec& design);

// A control's top-left corner in the window's client area: its own position plus those of its containers.
std::pair<int, int> ClientPosition(const WindowSpec& design, const std::string& control);

// The radio buttons that form one group with `control` (itself included), in table order: the radio buttons
// of the same container, and for a tab control the same page, wherever they stand in the table.
std::vector<std::string> RadioGroup(const WindowSpec& design, const std::string& control);

class Form {
public:
    explicit Form(WindowSpec design);  // validates the table (ValidateWindowSpec)
    virtual ~Form() = default;
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    const WindowSpec& Design() const { return design_; }
    const std::string& Name() const { return design_.name; }
    bool HasControl(const std::string& control) const;

    // Binds `handler` to `event` of `control` ("" for the window's own events), replacing an earlier one.
    // Throws std::logic_error for a name not in the table or an event the control never raises.
    void On(const std::string& control, FormEvent event, FormHandler handler);

    // --- Controls ------------------------------------------------------------------------------------------
    // Caption (button, check box, radio button, label, group box) or text (edit); for a drop-down list the
    // chosen entry's text ("" with selection -1).
    std::string Text(const std::string& control) const;
    void SetText(const std::string& control, const std::string& text);  // not a drop-down list
    // Edit box: whether GBK holds its text exactly. The person may type or paste characters GBK has no
    // place for ("ä" in "Pässwort"), which Text() gives as look-alikes or '?': such a text must not be stored.
    bool TextFitsGbk(const std::string& control) const;

    bool Checked(const std::string& control) const;  // check box, radio button
    // Checking a radio button clears the others of its group (RadioGroup).
    void SetChecked(const std::string& control, bool checked);

    // Drop-down list: the chosen entry, -1 for none.
    int Selection(const std::string& control) const;
    void SetSelection(const std::string& control, int index);  // -1 .. entries-1
    std::vector<std::string> Entries(const std::string& control) const;
    void SetEntries(const std::string& control, const std::vector<std::string>& entries);  // selection -1

    // Track bar. A position outside the range is clamped into it; so is the position when the range changes.
    int TrackMin(const std::string& control) const;
    int TrackMax(const std::string& control) const;
    void SetTrackRange(const std::string& control, int minimum, int maximum);
    int TrackPosition(const std::string& control) const;
    void SetTrackPosition(const std::string& control, int position);

    // Every control. Visible is the control's own setting; Shown also needs its containers shown and, on a
    // tab page, that page chosen.
    bool Enabled(const std::string& control) const;
    void SetEnabled(const std::string& control, bool enabled);
    bool Visible(const std::string& control) const;
    void SetVisible(const std::string& control, bool visible);
    bool Shown(const std::string& control) const;

    // List view (single selection).
    void ListClear(const std::string& control);
    // Adds a row at the end; missing cells are empty, extra cells an error. Gives the row's index.
    int ListAddRow(const std::string& control, const std::vector<std::string>& cells);
    int ListRowCount(const std::string& control) const;
    int ListColumnCount(const std::string& control) const;
    // Column widths in pixels. A column the table declares with width 0 is hidden and stays hidden: setting
    // its width does nothing (and the person cannot drag it open either).
    int ListColumnWidth(const std::string& control, int column) const;
    void SetListColumnWidth(const std::string& control, int column, int width);
    std::string ListCell(const std::string& control, int row, int column) const;
    void SetListCell(const std::string& control, int row, int column, const std::string& text);
    int ListSelectedRow(const std::string& control) const;            // -1 when none
    void SetListSelectedRow(const std::string& control, int row);     // -1 clears the selection
    std::int64_t ListRowValue(const std::string& control, int row) const;  // the row's item value, 0 by default
    void SetListRowValue(const std::string& control, int row, std::int64_t value);
    // The row's text colour (ListRow::textColour); setting it redraws that row only.
    std::int32_t ListRowColour(const std::string& control, int row) const;
    void SetListRowColour(const std::string& control, int row, std::int32_t colour);
    // Every row at once, in order, and replacing every row at once (the selection is cleared). Filling a
    // long list this way is far quicker than row by row: the real list view draws once, at the end. Each
    // row has at most one cell per column; missing cells are empty.
    std::vector<ListRow> ListRows(const std::string& control) const;
    void SetListRows(const std::string& control, const std::vector<ListRow>& rows);
    // Adds rows at the end, keeping the rows already there and the selection; the same cell rules as
    // SetListRows, and as quick per row. A long list handed over in parts this way lets the window answer
    // (paint, take clicks) between the parts.
    void ListAppendRows(const std::string& control, const std::vector<ListRow>& rows);
    // Brings a row into view (scrolling the list when needed).
    void ListShowRow(const std::string& control, int row);
    // Shows the rows of `source` (see ListSource) instead of rows of the list's own, until another source or
    // nullptr (the list's own rows again, none) is given; the source must outlive the binding. While a source
    // is bound, the list's rows are read from it (ListRowCount, ListCell, ListRows; item values are 0) and the
    // calls that would change them (SetListRows, SetListCell, ListClear ...) throw std::logic_error.
    void SetListSource(const std::string& control, const ListSource* source);
    // The source's rows changed as a whole (their number or order): the list is drawn again, with
    // `selectedRow` selected and in view (-1: none selected, the list stays where it was scrolled).
    void ListSourceChanged(const std::string& control, int selectedRow);
    // One row of the source changed (its texts or colour): drawn again when it is in view.
    void ListSourceRowChanged(const std::string& control, int row);
    // Many rows of the source changed (their texts or colours, not their number or order): the rows in view
    // are drawn again.
    void ListSourceRedraw(const std::string& control);

    // Date picker: the date and time it holds. A new picker holds its window's creation time.
    DateTimeValue DateValue(const std::string& control) const;
    void SetDateValue(const std::string& control, const DateTimeValue& value);

    // Puts the keyboard focus into a control (an edit box, say).
    void SetFocus(const std::string& control);

    // Tab control: the chosen page. Choosing a page shows its controls and hides those of the other pages.
    int TabPage(const std::string& control) const;
    void SetTabPage(const std::string& control, int page);

    // Pop-up menu (a name in the table's menus) at the mouse cursor: the chosen item's index, -1 when none.
    // The items of `disabled` show greyed and cannot be chosen.
    int ShowMenu(const std::string& menu, const std::vector<int>& disabled = {});

    // --- The window ----------------------------------------------------------------------------------------
    virtual std::string Caption() const = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual int Left() const = 0;
    virtual int Top() const = 0;
    virtual int Width() const = 0;   // outer size
    virtual int Height() const = 0;
    virtual void MoveTo(int left, int top) = 0;
    virtual bool WindowVisible() const = 0;
    virtual void SetWindowVisible(bool visible) = 0;
    // A disabled window takes no clicks or keys (an owner while its modal dialog is open).
    virtual bool WindowEnabled() const = 0;
    virtual void SetWindowEnabled(bool enabled) = 0;
    virtual bool Minimised() const = 0;
    virtual void SetMinimised(bool minimised) = 0;
    // Closes the window at once (no close request): raises Destroying. Nothing happens when it is closed.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;

protected:
    // The index in the table of `control`, which must be of one of `kinds` (any kind when empty); throws
    // std::logic_error otherwise. `what` names the operation for the message.
    int IndexOf(const std::string& control, const char* what, std::initializer_list<ControlKind> kinds = {}) const;
    const ControlSpec& ControlAt(int index) const { return design_.controls[static_cast<size_t>(index)]; }
    int ControlCount() const { return static_cast<int>(design_.controls.size()); }
    // The indices of the radio group of the radio button at `index`.
    std::vector<int> RadioGroupIndices(int index) const;
    // Checks the radio button at `index` and clears the others of its group, through DoSetChecked.
    void CheckRadio(int index);
    // Calls the handler bound to (control, event), if any. The control is given by index, -1 for the window.
    void Fire(int index, FormEvent event, const FormEventArgs& args = {});
    bool HasHandler(int index, FormEvent event) const;

    // What each implementation provides. Indices are already checked against the control's kind; row and
    // column indices are checked too.
    virtual std::string DoText(int index) const = 0;
    virtual void DoSetText(int index, const std::string& text) = 0;
    virtual bool DoChecked(int index) const = 0;
    virtual void DoSetChecked(int index, bool checked) = 0;
    virtual int DoSelection(int index) const = 0;
    virtual void DoSetSelection(int index, int selection) = 0;
    virtual std::vector<std::string> DoEntries(int index) const = 0;
    virtual void DoSetEntries(int index, const std::vector<std::string>& entries) = 0;
    virtual std::pair<int, int> DoTrackRange(int index) const = 0;
    virtual void DoSetTrackRange(int index, int minimum, int maximum) = 0;  // position already clamped after
    virtual int DoTrackPosition(int index) const = 0;
    virtual void DoSetTrackPosition(int index, int position) = 0;           // already clamped
    virtual bool DoEnabled(int index) const = 0;
    virtual void DoSetEnabled(int index, bool enabled) = 0;
    virtual bool DoVisible(int index) const = 0;
    virtual void DoSetVisible(int index, bool visible) = 0;  // then UpdateShown runs
    virtual void UpdateShown() {}  // show or hide controls after a visibility or page change (Win32)
    virtual int DoListColumnWidth(int index, int column) const = 0;
    virtual void DoSetListColumnWidth(int index, int column, int width) = 0;
    virtual void DoListClear(int index) = 0;
    virtual int DoListAddRow(int index, const std::vector<std::string>& cells) = 0;  // cells: one per column
    virtual int DoListRowCount(int index) const = 0;
    virtual std::string DoListCell(int index, int row, int column) const = 0;
    virtual void DoSetListCell(int index, int row, int column, const std::string& text) = 0;
    virtual int DoListSelectedRow(int index) const = 0;
    virtual void DoSetListSelectedRow(int index, int row) = 0;
    virtual std::int64_t DoListRowValue(int index, int row) const = 0;
    virtual void DoSetListRowValue(int index, int row, std::int64_t value) = 0;
    virtual std::int32_t DoListRowColour(int index, int row) const = 0;
    virtual void DoSetListRowColour(int index, int row, std::int32_t colour) = 0;
    virtual int DoTabPage(int index) const = 0;
    virtual void DoSetTabPage(int index, int page) = 0;
    virtual int DoShowMenu(int menuIndex, const std::vector<int>& disabled) = 0;
    virtual std::vector<ListRow> DoListRows(int index) const;  // by default row by row through DoListCell
    virtual void DoSetListRows(int index, const std::vector<ListRow>& rows);  // cells: one per column
    virtual void DoListAppendRows(int index, const std::vector<ListRow>& rows);  // by default row by row
    virtual void DoListShowRow(int, int) {}
    virtual DateTimeValue DoDateValue(int index) const = 0;
    virtual void DoSetDateValue(int index, const DateTimeValue& value) = 0;
    virtual void DoSetFocus(int index) = 0;

    // Throws std::out_of_range unless 0 <= row < the list's row count.
    void CheckRow(int index, int row) const;
    // The source the list at `index` shows, or nullptr when it holds its own rows.
    const ListSource* SourceOf(int index) const;
    // A source was bound or its rows changed as a whole: the list takes the new row count and is drawn again.
    virtual void DoListSourceChanged(int) {}
    virtual void DoRedrawListRow(int, int) {}
    virtual void DoRedrawList(int) {}
    virtual bool DoTextFitsGbk(int) const { return true; }

private:
    WindowSpec design_;
    std::map<std::string, int> indexByName_;
    std::map<std::pair<int, FormEvent>, FormHandler> handlers_;
    std::map<int, const ListSource*> sources_;
    // Throws std::logic_error when the list at `index` shows a source: its rows are not the list's to change.
    void RefuseWithSource(int index, const char* what) const;
};

// Binds a window's handlers once it exists, before it opens.
using FormBinder = std::function<void(Form& window)>;

// How handlers open the program's other windows: Win32Dialogs (runtime/form_win32.h) opens real windows,
// ModelDialogs (runtime/form_model.h) in-memory ones that a test works through.
enum class MessageIcon { None, Error, Warning, Information };
enum class MessageButtons { Ok, OkCancel };
enum class MessageAnswer { Ok, Cancel };

// A message box: task-modal, its text and title GBK. A box without a title of its own shows "信息：".
struct Message {
    std::string text;
    std::string title;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    bool operator==(const Message&) const = default;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Shows a message box and returns the person's answer (closing the box, or Esc, answers Cancel when
    // there is a Cancel button, else OK).
    virtual MessageAnswer ShowMessage(const Message& message) = 0;
    // Makes the window of `design`, lets `bind` bind its handlers, opens it modally over `owner` (disabled
    // meanwhile) and returns once the window is closed.
    virtual void ShowModal(const WindowSpec& design, Form& owner, const FormBinder& bind) = 0;
};

}  // namespace runtime
