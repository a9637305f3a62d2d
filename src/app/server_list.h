// The server list of MainWindow: its control name, its columns and the texts of its status column. Shared by
// the catalogue, the sort and the session code, which all read and write the same rows.
#pragma once

namespace app {

inline constexpr char kServerList[] = "超级列表框1";
enum ServerListColumn {
    kColumnUser = 0,      // hidden
    kColumnPassword = 1,  // hidden
    kColumnNumber = 2,    // 1 .. n from the top
    kColumnState = 3,     // "", kConnectedState or kNotConnectedState
    kColumnIp = 4,
    kColumnPort = 5,
    kColumnNote = 6,
    kColumnExpiry = 7,
};
inline constexpr char kConnectedState[] = "已连接";
inline constexpr char kNotConnectedState[] = "-----";

}  // namespace app
