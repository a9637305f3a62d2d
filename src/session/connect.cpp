#include "session/connect.h"

#include "app/server_list.h"

namespace session {
namespace {

using app::kServerList;
constexpr int kWriteAttempts = 10;
constexpr std::uint32_t kWaitAfterStart = 2000;  // the monitor leaves rows and files alone meanwhile

// Sets the flag for as long as it lives.
class Raised {
public:
    explicit Raised(std::atomic<int>* flag) : flag_(flag) {
        if (flag_) *flag_ = 1;
    }
    ~Raised() {
        if (flag_) *flag_ = 0;
    }
    Raised(const Raised&) = delete;
    Raised& operator=(const Raised&) = delete;

private:
    std::atomic<int>* flag_;
};

void Pending(const ConnectServices& services) {
    if (services.processPendingMessages) services.processPendingMessages();
}

}  // namespace

bool WriteConnectionFile(const std::string& path, const std::string& text, const ConnectServices& services) {
    bool written = false;
    for (int attempt = 0; attempt < kWriteAttempts && !written; ++attempt) {
        written = services.writeFile && services.writeFile(path, text);
        if (!written) Pending(services);
    }
    Pending(services);
    return written;
}

void ConnectSelectedServer(runtime::Form& mainWindow, const ConnectServices& services) {
    Raised inProgress(services.connectInProgress);
    const int row = mainWindow.ListSelectedRow(kServerList);
    if (row < 0) return;
    const ServerCells server = ServerCellsOfRow(mainWindow, row);
    if (mainWindow.ListCell(kServerList, row, app::kColumnState) == app::kConnectedState) {
        if (services.activateSessionWindow)
            services.activateSessionWindow(SessionWindowTitle(server.note, server.ip, server.port));
        return;
    }
    const std::string path = ConnectionFileOfNote(server.note);
    const std::string text = BuildConnectionFileText(mainWindow, *services.profile, server, services.protect);
    if (WriteConnectionFile(path, text, services) && services.watchFile) services.watchFile(path);
    Pending(services);
    const std::string command = ClientCommandLine(server.note);
    if (services.startClient && !services.startClient(command)) {
        // The one failure that is said: without a client nothing can ever connect.
        services.dialogs->ShowMessage({"无法启动远程桌面客户端：\n" + command, "", runtime::MessageIcon::Error,
                                       runtime::MessageButtons::Ok});
        return;
    }
    if (services.delayWithMessages) services.delayWithMessages(kWaitAfterStart);
}

void BindConnect(runtime::Form& mainWindow, ConnectServices services) {
    auto connect = [&mainWindow, services](const runtime::FormEventArgs&) { ConnectSelectedServer(mainWindow, services); };
    mainWindow.On(kConnectButton, runtime::FormEvent::Click, connect);
    mainWindow.On(kServerList, runtime::FormEvent::DoubleClick, connect);
}

}  // namespace session
