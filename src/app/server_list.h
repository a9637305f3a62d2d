// The server list of MainWindow: its control name, its columns and the texts of its status column, and the
// filter strip under it.
#pragma once

namespace app {

inline constexpr char kServerList[] = "超级列表框1";
// The filter strip under the list.
inline constexpr char kFilterText[] = "编辑框_查找";
inline constexpr char kFilterView[] = "组合框_查找范围";
inline constexpr char kFilterCount[] = "标签_查找结果";
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
