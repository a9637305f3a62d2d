#include "runtime/file_dialogs_win32.h"

#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>

#include "runtime/text_codec.h"

namespace runtime {
namespace {

std::string Utf8(const wchar_t* text) {
    const std::wstring wide(text);
    return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

// The filter string the file dialogs take: description, zero, patterns, zero, ..., zero.
std::wstring Filter(const FileTypes& types) {
    std::wstring filter;
    for (const auto& [description, patterns] : types) {
        filter += GbkToWide(description) + L'\0' + GbkToWide(patterns) + L'\0';
    }
    return filter + L'\0';
}

// Paths longer than the classic limit are allowed: the dialog is given room for them.
constexpr DWORD kPathRoom = 32768;

}  // namespace

namespace {

// One of the two file dialogs, with what they share: the owner, the title, the file types, room for a long
// path that starts as `suggested`, and the flags they both want.
std::string ChooseFile(BOOL(WINAPI* show)(LPOPENFILENAMEW), HWND owner, const std::string& title,
                       const FileTypes& types, const std::string& suggested, const std::string& extension,
                       DWORD flags) {
    std::wstring path(kPathRoom, L'\0');
    const std::wstring start = GbkToWide(suggested);
    path.replace(0, start.size(), start);
    const std::wstring caption = GbkToWide(title), filter = Filter(types), defaultExtension = GbkToWide(extension);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = kPathRoom;
    dialog.lpstrTitle = caption.c_str();
    dialog.lpstrDefExt = defaultExtension.empty() ? nullptr : defaultExtension.c_str();
    dialog.Flags = flags | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_EXPLORER;
    return show(&dialog) ? Utf8(path.c_str()) : std::string();
}

}  // namespace

std::string ChooseFileToOpen(HWND owner, const std::string& title, const FileTypes& types) {
    return ChooseFile(&GetOpenFileNameW, owner, title, types, "", "", OFN_FILEMUSTEXIST);
}

std::string ChooseFileToSave(HWND owner, const std::string& title, const std::string& suggested,
                             const std::string& extension, const FileTypes& types) {
    return ChooseFile(&GetSaveFileNameW, owner, title, types, suggested, extension, OFN_OVERWRITEPROMPT);
}

std::string ChooseFolder(HWND owner, const std::string& title) {
    // The folder browser needs COM on this thread; an apartment it already has is kept as it is.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring caption = GbkToWide(title);
    BROWSEINFOW browse{};
    browse.hwndOwner = owner;
    browse.lpszTitle = caption.c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS;
    std::string chosen;
    if (PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&browse)) {
        std::wstring path(kPathRoom, L'\0');
        if (SHGetPathFromIDListEx(item, path.data(), kPathRoom, GPFIDL_DEFAULT)) chosen = Utf8(path.c_str());
        CoTaskMemFree(item);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return chosen;
}

}  // namespace runtime
