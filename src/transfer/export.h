// Taking servers out: a CSV file that spreadsheets open with its Chinese intact and that the import reads
// back into the same servers.
#pragma once

#include <string>
#include <vector>

#include "catalogue/server_records.h"

namespace transfer {

// The servers (GBK) as CSV: UTF-8 with a byte-order mark, lines ended by CR LF, the header 服务器IP, 端口, 用户,
// (密码 when `withPasswords`), 备注, 到期时间, then a line per server in the order given. A value with a
// comma, a quote, a line break or blanks at either end is put in double quotes, a quote inside doubled
// (RFC 4180).
std::string ServersCsv(const std::vector<catalogue::ServerEntry>& servers, bool withPasswords);

// Writes ServersCsv to `path` (UTF-8), replacing a file there; false with `error` (GBK) when it cannot.
bool ExportServers(const std::string& path, const std::vector<catalogue::ServerEntry>& servers, bool withPasswords,
                   std::string& error);

}  // namespace transfer
