#include "session/connect.h"

namespace session {
namespace {

constexpr int kWriteAttempts = 10;

}  // namespace

bool Connector::Running() const { return services_.clock && services_.clock() < runningUntil_; }

bool Connector::Write(const std::string& file, const std::string& text) {
    bool written = false;
    for (int attempt = 0; attempt < kWriteAttempts && !written; ++attempt) {
        written = services_.writeFile && services_.writeFile(file, text);
        if (!written && services_.processPendingMessages) services_.processPendingMessages();
    }
    if (services_.processPendingMessages) services_.processPendingMessages();
    return written;
}

void Connector::Connect(const runtime::Form& mainWindow, const ConnectRequest& request) {
    if (request.connected) {  // harmless at any time, a request running or not
        if (services_.activateSessionWindow) services_.activateSessionWindow(request.name.title);
        return;
    }
    if (Running()) return;  // a second click while the first request waits
    const std::uint64_t started = services_.clock ? services_.clock() : 0;
    runningUntil_ = started + kRequestDeadline;
    const std::string& file = request.name.file;
    // Watched before it is written: from now on the monitor leaves this file alone until the client is done.
    if (services_.watch) services_.watch(file, request.name.title, 0, runningUntil_);
    std::string text = BuildConnectionFileText(mainWindow, *services_.profile, request.server, services_.protect);
    const bool written = Write(file, text);
    Wipe(text);  // the protected password is of no use to others, but the file's text is the user's
    if (!written) {
        runningUntil_ = 0;
        if (services_.watch) services_.watch(file, request.name.title, 0, 0);
        services_.dialogs->ShowMessage({"无法写入连接文件，远程桌面客户端没有启动：\n" + file, "",
                                        runtime::MessageIcon::Error, runtime::MessageButtons::Ok});
        return;
    }
    const ClientToken client = services_.startClient ? services_.startClient(file) : 0;
    if (client == 0) {
        // Without a client nothing can ever connect: said, and the file goes at once.
        if (services_.deleteFile) services_.deleteFile(file);
        if (services_.watch) services_.watch(file, request.name.title, 0, 0);
        runningUntil_ = 0;
        services_.dialogs->ShowMessage({"无法启动远程桌面客户端 mstsc.exe。", "", runtime::MessageIcon::Error,
                                        runtime::MessageButtons::Ok});
        return;
    }
    if (services_.watch) services_.watch(file, request.name.title, client, runningUntil_);
    const std::uint64_t deadline = runningUntil_;
    if (services_.delayWithMessages) services_.delayWithMessages(kWaitAfterStart);
    if (runningUntil_ == deadline) runningUntil_ = 0;  // not a request that started meanwhile
}

}  // namespace session
