// The system's dialogs for choosing a file or a folder, owned by a window of the program. Paths come back in
// UTF-8 (the form the database engine and the import take), "" when the person cancels. Texts are GBK.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace runtime {

// File types a dialog offers: a description ("CSV 文件") and its patterns ("*.csv;*.txt").
using FileTypes = std::vector<std::pair<std::string, std::string>>;

std::string ChooseFileToOpen(HWND owner, const std::string& title, const FileTypes& types);
// The file to write; `suggested` is the name the dialog starts with, `extension` what a name typed without
// one gets ("csv"). Asks before an existing file is replaced.
std::string ChooseFileToSave(HWND owner, const std::string& title, const std::string& suggested,
                             const std::string& extension, const FileTypes& types);
std::string ChooseFolder(HWND owner, const std::string& title);

}  // namespace runtime
