// Bringing servers in and taking them out from the server list's menu ("导入服务器...", "导出服务器..."): the
// import dialog with its source (a file, a folder of connection files, pasted lines), its preview of what
// happens to each server and its one-change write (src/transfer/import.h), and the export dialog.
//
// Reading a source, planning it and writing the plan run away from the user-interface thread (a long source
// would freeze the window), each handing its result back to it; the dialog takes no second request meanwhile
// and ignores a result that comes after it has closed.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "app/server_catalogue.h"
#include "app/server_model.h"
#include "catalogue/config_database.h"
#include "runtime/form_runtime.h"
#include "transfer/import.h"

namespace app {

struct TransferServices {
    catalogue::ConfigDatabase* database = nullptr;
    std::mutex* databaseLock = nullptr;
    runtime::Dialogs* dialogs = nullptr;
    std::string databasePath;  // UTF-8: the backup goes beside it
    transfer::Unprotector unprotect;
    // The person's choice of a file to import, a folder of connection files, a file to export to (UTF-8
    // paths); "" when they cancel.
    std::function<std::string()> chooseImportFile, chooseImportFolder, chooseExportFile;
    // Runs `work` away from the user-interface thread, then `done` on it (tests run both at once).
    std::function<void(std::function<void()> work, std::function<void()> done)> inBackground;
    Clock clock;
};

class ServerTransfer {
public:
    ServerTransfer(ServerModel& model, ServerCatalogue& catalogue, TransferServices services);

    void BeginImport(runtime::Form& mainWindow);
    void BeginExport(runtime::Form& mainWindow);

private:
    TransferServices services_;
    ServerModel& model_;
    ServerCatalogue& catalogue_;
};

}  // namespace app
