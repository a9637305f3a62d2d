// Win32Form: a window from its table made of real Win32 controls, behind the same Form interface and rules
// as ModelForm. Windows only; everything runs on the thread that created the window, and events reach the
// bound handlers there, from the message loop.
//
// Containers: every control is a child of the window itself, placed at its position summed through its
// containers (group box, picture box, tab control). Notifications then all come to the window's procedure
// with no forwarding, and hiding a tab page is a matter of showing or hiding its members. Containers lie below
// their members in the Z order and clip their siblings, so a picture box or a tab control never paints over
// what it holds.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/form_runtime.h"
#include "runtime/window_win32.h"

namespace runtime {

class Win32Form : public Form {
public:
    explicit Win32Form(WindowSpec design);
    ~Win32Form() override;

    // Creates the window and its controls, hidden, then raises Created. `owner` (may be null) is the window
    // it belongs to. False when Windows refuses; a picture that does not decode throws std::logic_error.
    bool Create(HWND owner = nullptr);
    void Show();
    // Modal over `owner`: creates the window when needed, disables the owner, shows the window and runs a
    // message loop of its own until the window is closed; the owner is enabled again before the window is
    // destroyed, so that it gets the activation back. A WM_QUIT met on the way closes the window and is posted
    // again for the outer loop.
    void ShowModal(HWND owner);

    HWND Handle() const { return window_.Handle(); }
    // Runs `work` on the window's thread and waits for it (runtime::Window::RunOnUiThread). False when the
    // window is gone and the work did not run.
    bool RunOnUiThread(const std::function<void()>& work) const { return window_.RunOnUiThread(work); }
    // A control's window, by designer name (throws std::logic_error for a name not in the table).
    HWND ControlHandle(const std::string& control) const;

    std::string Caption() const override;
    void SetCaption(const std::string& caption) override;
    int Left() const override;
    int Top() const override;
    int Width() const override;
    int Height() const override;
    void MoveTo(int left, int top) override;
    bool WindowVisible() const override;
    void SetWindowVisible(bool visible) override;
    bool WindowEnabled() const override;
    void SetWindowEnabled(bool enabled) override;
    bool Minimised() const override;
    void SetMinimised(bool minimised) override;
    void Close() override;
    bool IsOpen() const override;

protected:
    std::string DoText(int index) const override;
    void DoSetText(int index, const std::string& text) override;
    bool DoChecked(int index) const override;
    void DoSetChecked(int index, bool checked) override;
    int DoSelection(int index) const override;
    void DoSetSelection(int index, int selection) override;
    std::vector<std::string> DoEntries(int index) const override;
    void DoSetEntries(int index, const std::vector<std::string>& entries) override;
    std::pair<int, int> DoTrackRange(int index) const override;
    void DoSetTrackRange(int index, int minimum, int maximum) override;
    int DoTrackPosition(int index) const override;
    void DoSetTrackPosition(int index, int position) override;
    bool DoEnabled(int index) const override;
    void DoSetEnabled(int index, bool enabled) override;
    bool DoVisible(int index) const override;
    void DoSetVisible(int index, bool visible) override;
    void UpdateShown() override;
    int DoListColumnWidth(int index, int column) const override;
    void DoSetListColumnWidth(int index, int column, int width) override;
    void DoListClear(int index) override;
    int DoListAddRow(int index, const std::vector<std::string>& cells) override;
    int DoListRowCount(int index) const override;
    std::string DoListCell(int index, int row, int column) const override;
    void DoSetListCell(int index, int row, int column, const std::string& text) override;
    int DoListSelectedRow(int index) const override;
    void DoSetListSelectedRow(int index, int row) override;
    std::int64_t DoListRowValue(int index, int row) const override;
    void DoSetListRowValue(int index, int row, std::int64_t value) override;
    std::int32_t DoListRowColour(int index, int row) const override;
    void DoSetListRowColour(int index, int row, std::int32_t colour) override;
    std::vector<ListRow> DoListRows(int index) const override;
    int DoTabPage(int index) const override;
    void DoSetTabPage(int index, int page) override;
    int DoShowMenu(int menuIndex, const std::vector<int>& disabled) override;
    void DoSetListRows(int index, const std::vector<ListRow>& rows) override;
    void DoListAppendRows(int index, const std::vector<ListRow>& rows) override;
    void DoListShowRow(int index, int row) override;
    DateTimeValue DoDateValue(int index) const override;
    void DoSetDateValue(int index, const DateTimeValue& value) override;
    void DoSetFocus(int index) override;
    bool DoTextFitsGbk(int index) const override;
    void DoListSourceChanged(int index) override;
    void DoRedrawListRow(int index, int row) override;
    void DoRedrawList(int index) override;

private:
    struct Picture;  // a decoded picture, ready to paint
    struct Control {
        HWND handle = nullptr;
        WNDPROC previous = nullptr;  // the control's own procedure, before ours
        bool visible = true;         // the control's own setting (a hidden tab page hides it too)
        int lastPosition = 0;        // track bar: the position last reported
        bool afterDoubleClick = false;  // picture box: the button is still down from a double-click
        const Picture* picture = nullptr;  // picture box: what it shows (held in pictures_), or none
        // List view: its rows (cells and item value), held here. The list view is an owner-data one: it
        // knows only how many rows there are and asks for a cell's text when it needs it (LVN_GETDISPINFOW),
        // so that filling or reordering a long list is a matter of this vector and one message. The selection
        // and focus stay the list view's.
        std::vector<ListRow> rows;
        std::wstring cellText;  // the text last handed to the list view, kept until the next request
    };

    // The picture decoded and ready to paint (kept for the program's life); null with *error when its PNG
    // does not decode.
    static std::shared_ptr<Picture> DecodedPicture(const runtime::Picture& source, std::string* error);
    bool CreateControl(int index);
    void ArrangeZOrder();
    int IndexOfHandle(HWND handle) const;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    bool OnCommand(int index, int code);
    bool OnNotify(int index, NMHDR& header, LRESULT* result);
    // List view `index`: the text of the cell the list view asks for (LVN_GETDISPINFOW), and the row a
    // typed prefix finds (LVN_ODFINDITEMW).
    void AnswerCellText(int index, NMHDR& request);
    int FindRow(int index, const NMHDR& request) const;
    // List view `index`'s custom draw: each row in its text colour (ListRow::textColour).
    LRESULT DrawRow(int index, NMLVCUSTOMDRAW& draw) const;
    // Tells list view `index` how many rows it has now (from `oldCount`); throws when it refuses.
    void UpdateRowCount(int index, size_t oldCount);
    // The procedures of subclassed controls and of picture boxes; what a handler throws is caught there
    // (CatchHandlerFailure) and the message handled by the *Message functions.
    static LRESULT CALLBACK ControlProcedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT ControlMessage(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);
    static void PaintPicture(HWND handle, HDC dc, const Picture* picture);
    static LRESULT CALLBACK PictureProcedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT PictureMessage(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);
    // Whether the header notification would open or resize a hidden column of list `index`.
    bool RefuseHeaderChange(int index, const NMHDR& header) const;

    Window window_;
    std::vector<Control> controls_;
    std::vector<std::shared_ptr<Picture>> pictures_;
    HBRUSH whiteBrush_ = nullptr;
    HWND modalOwner_ = nullptr;
    HWND focus_ = nullptr;  // the control that has the keyboard focus while the window is active
    int quietDepth_ = 0;  // > 0 while the program itself changes a state: no events
};

// Modal windows as real Win32 windows (Win32Form::ShowModal). The owner is the given Form's window when it is
// a Win32Form, else `fallbackOwner` (MainWindow's handle, while MainWindow is a runtime::Window of its own).
class Win32Dialogs : public Dialogs {
public:
    // `fallbackOwner` gives the window that owns a dialog or message box when nothing closer does (the main
    // window); it may give null.
    explicit Win32Dialogs(std::function<HWND()> fallbackOwner = nullptr) : fallbackOwner_(std::move(fallbackOwner)) {}
    void ShowModal(const WindowSpec& design, Form& owner, const FormBinder& bind) override;
    // A task-modal MessageBox owned by this thread's active window, or else by the fallback owner.
    MessageAnswer ShowMessage(const Message& message) override;

private:
    std::function<HWND()> fallbackOwner_;
};

}  // namespace runtime
