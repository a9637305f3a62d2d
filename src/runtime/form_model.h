// ModelForm: a window from its table kept in memory, with the same rules as the real window (radio groups,
// drop-down selection -1, track bar clamping, list rows, enabled and visible, tab pages). Native tests run the
// program's event handlers against it and act as the person would: click, choose, slide, close.
//
// What the person does raises events as the message loop would deliver them: one after another. An action
// taken while a handler runs (a handler that clicks another button, say) waits until that handler has
// returned, then its events fire in order.
#pragma once

#include <deque>
#include <functional>
#include <utility>
#include <string>
#include <vector>

#include "runtime/form_runtime.h"

namespace runtime {

class ModelForm : public Form {
public:
    explicit ModelForm(WindowSpec design);

    // --- What the person does --------------------------------------------------------------------------
    // Each returns false and does nothing when the control cannot be reached: disabled, or not shown.
    // A check box toggles, a radio button checks itself (clearing its group), then Click fires.
    bool Click(const std::string& control);
    bool DoubleClick(const std::string& control, int row = -1);  // Click, then DoubleClick
    bool PressMouse(const std::string& control, const FormEventArgs& args);  // MouseDown; "" for the window
    bool ChooseEntry(const std::string& control, int index);      // drop-down list; SelectionChanged
    bool ChooseTabPage(const std::string& control, int page);     // SelectionChanged
    bool SlideTo(const std::string& control, int position);       // clamped; PositionChanged
    // Chooses a date in the picker's calendar: the picker keeps its time of day; DateChosen.
    bool ChooseDate(const std::string& control, int year, int month, int day);
    // Replaces an edit box's text; TextChanged.
    bool TypeText(const std::string& control, const std::string& text);
    // The same with a text the person types in Unicode, which GBK may not hold (TextFitsGbk is then false and
    // Text gives it as Utf16ToGbk does).
    bool TypeUnicode(const std::string& control, const std::u16string& text);
    // Esc in an edit box: EscapePressed when it holds text, else the window's Esc (RequestClose).
    bool PressEscape(const std::string& control);
    bool SelectRow(const std::string& control, int row);          // list view; SelectionChanged, then Click
    // Selects the row (row -1: a click beside the rows, which clears the selection); RowRightClick.
    bool RightClickRow(const std::string& control, int row);
    bool ClickColumn(const std::string& control, int column);     // ColumnClick
    // The window: Open raises Created and shows it; MoveWindowTo raises Moved; RequestClose raises
    // CloseRequested, or closes the window when no handler is bound.
    void Open();
    void MoveWindowTo(int left, int top);
    void RequestClose();
    // The item the next ShowMenu of `menu` gives (-1: the person dismisses it). Without an answer ShowMenu
    // gives -1. Each answer is used once.
    void AnswerMenu(const std::string& menu, int item);
    // The control holding the keyboard focus ("" when none was given it).
    std::string FocusedControl() const;
    // Menus shown so far, by name, in order.
    const std::vector<std::string>& MenusShown() const { return menusShown_; }

    // --- The window ----------------------------------------------------------------------------------------
    std::string Caption() const override { return caption_; }
    void SetCaption(const std::string& caption) override { caption_ = caption; }
    int Left() const override { return left_; }
    int Top() const override { return top_; }
    int Width() const override { return Design().width; }
    int Height() const override { return Design().height; }
    void MoveTo(int left, int top) override;
    bool WindowVisible() const override { return visible_; }
    void SetWindowVisible(bool visible) override { visible_ = visible; }
    bool WindowEnabled() const override { return windowEnabled_; }
    void SetWindowEnabled(bool enabled) override { windowEnabled_ = enabled; }
    bool Minimised() const override { return minimised_; }
    void SetMinimised(bool minimised) override { minimised_ = minimised; }
    void Close() override;
    bool IsOpen() const override { return open_; }

protected:
    std::string DoText(int index) const override { return state_[index].text; }
    void DoSetText(int index, const std::string& text) override { state_[index].text = text; }
    bool DoChecked(int index) const override { return state_[index].checked; }
    void DoSetChecked(int index, bool checked) override { state_[index].checked = checked; }
    int DoSelection(int index) const override { return state_[index].selection; }
    void DoSetSelection(int index, int selection) override { state_[index].selection = selection; }
    std::vector<std::string> DoEntries(int index) const override { return state_[index].entries; }
    void DoSetEntries(int index, const std::vector<std::string>& entries) override;
    std::pair<int, int> DoTrackRange(int index) const override { return {state_[index].min, state_[index].max}; }
    void DoSetTrackRange(int index, int minimum, int maximum) override;
    int DoTrackPosition(int index) const override { return state_[index].position; }
    void DoSetTrackPosition(int index, int position) override { state_[index].position = position; }
    bool DoEnabled(int index) const override { return state_[index].enabled; }
    void DoSetEnabled(int index, bool enabled) override { state_[index].enabled = enabled; }
    bool DoVisible(int index) const override { return state_[index].visible; }
    void DoSetVisible(int index, bool visible) override { state_[index].visible = visible; }
    int DoListColumnWidth(int index, int column) const override;
    void DoSetListColumnWidth(int index, int column, int width) override;
    void DoListClear(int index) override;
    int DoListAddRow(int index, const std::vector<std::string>& cells) override;
    int DoListRowCount(int index) const override;
    std::string DoListCell(int index, int row, int column) const override;
    void DoSetListCell(int index, int row, int column, const std::string& text) override;
    int DoListSelectedRow(int index) const override { return state_[index].selection; }
    void DoSetListSelectedRow(int index, int row) override { state_[index].selection = row; }
    std::int64_t DoListRowValue(int index, int row) const override;
    void DoSetListRowValue(int index, int row, std::int64_t value) override;
    std::int32_t DoListRowColour(int index, int row) const override;
    void DoSetListRowColour(int index, int row, std::int32_t colour) override;
    int DoTabPage(int index) const override { return state_[index].selection; }
    void DoSetTabPage(int index, int page) override { state_[index].selection = page; }
    int DoShowMenu(int menuIndex, const std::vector<int>& disabled) override;
    std::vector<ListRow> DoListRows(int index) const override;
    void DoSetListRows(int index, const std::vector<ListRow>& rows) override;
    void DoListAppendRows(int index, const std::vector<ListRow>& rows) override;
    DateTimeValue DoDateValue(int index) const override { return state_[index].date; }
    void DoSetDateValue(int index, const DateTimeValue& value) override { state_[index].date = value; }
    void DoSetFocus(int index) override { focus_ = index; }
    bool DoTextFitsGbk(int index) const override { return state_[index].fitsGbk; }

private:
    struct Row {
        std::vector<std::string> cells;
        std::int64_t value = 0;
        std::int32_t colour = kListColour;
    };
    struct State {
        std::string text;
        bool checked = false;
        int selection = -1;  // drop-down entry, list row, tab page
        std::vector<std::string> entries;
        int min = 0, max = 0, position = 0;
        bool enabled = true, visible = true;
        std::vector<Row> rows;
        std::vector<int> columnWidths;
        DateTimeValue date;  // date picker
        bool fitsGbk = true;  // edit box: GBK holds what the person typed
    };
    struct Pending {
        int index;
        FormEvent event;
        FormEventArgs args;
    };

    // The control's index when the person can reach it (open, enabled, shown), else -1.
    int Reachable(const std::string& control, const char* what, std::initializer_list<ControlKind> kinds = {});
    bool PressRow(const std::string& control, int row, const char* what, FormEvent press);
    // Queues an event and, unless a handler is running, delivers the queue.
    void Raise(int index, FormEvent event, const FormEventArgs& args = {});

    std::vector<State> state_;
    std::deque<Pending> pending_;
    bool delivering_ = false;
    std::string caption_;
    int left_ = 0, top_ = 0;
    bool visible_ = false, minimised_ = false, open_ = false, everOpened_ = false, windowEnabled_ = true;
    std::vector<std::pair<std::string, int>> menuAnswers_;
    std::vector<std::string> menusShown_;
    int focus_ = -1;
};

// Modal windows in memory. For each window a test expects to be opened it gives what the person does in
// it, which must end with the window closed (a modal window cannot be left open). A window opened without
// an answer prepared, or left open, throws std::logic_error.
class ModelDialogs : public Dialogs {
public:
    using Person = std::function<void(ModelForm& window)>;
    // What the person does the next time the window named `windowName` opens (each answer is used once).
    void Expect(const std::string& windowName, Person person);
    void ShowModal(const WindowSpec& design, Form& owner, const FormBinder& bind) override;
    // The names of the windows opened so far, in order.
    const std::vector<std::string>& Opened() const { return opened_; }

    // Message boxes: each is recorded, and answered with the next answer given here (OK when none is left).
    MessageAnswer ShowMessage(const Message& message) override;
    void AnswerMessage(MessageAnswer answer) { messageAnswers_.push_back(answer); }
    const std::vector<Message>& Messages() const { return messages_; }

private:
    std::vector<std::pair<std::string, Person>> expected_;
    std::vector<std::string> opened_;
    std::vector<Message> messages_;
    std::deque<MessageAnswer> messageAnswers_;
};

}  // namespace runtime
