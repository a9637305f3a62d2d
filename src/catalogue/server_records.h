// The server records of config.MDB (table Server) and the text rules around them: trimming, the default
// note, the connection file's name, SQL text literals and the checks the server editor makes before it
// saves.
//
// All texts are GBK bytes. Scanning is done in GBK characters: a lead byte 0x81..0xFE takes the byte after
// it along, so the trail byte of a double-byte character is never taken for an ASCII one.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "catalogue/config_check.h"
#include "catalogue/config_database.h"

namespace catalogue {

// One row of table Server (its AutoNumber id is never read). dqsj is the expiry date as typed.
struct ServerEntry {
    std::string ip, port, user, password, note, dqsj;
};

// `gbk` without leading and trailing blanks. A blank is the ASCII space or the full-width space (A1 A1);
// a double-byte character whose trail byte is 0x20 or 0xA1 is never cut.
std::string TrimBlanks(const std::string& gbk);

// The classic C runtime random generator (the one srand/rand of the Microsoft runtime use):
// state = state * 214013 + 2531011 (mod 2^32), each value = (state >> 16) & 0x7FFF.
class ClassicRandom {
public:
    explicit ClassicRandom(uint32_t start) : state_(start) {}
    int Next();

private:
    uint32_t state_;
};

// "我的服务器" followed by the first number 1..999 the classic generator gives when started from 999
// (value % 999 + 1).
std::string DefaultNote();

// The note stored when a server is added: the typed note trimmed, or DefaultNote() when that is empty.
std::string NoteForAdd(const std::string& typed);
// The note stored when a server is modified: the typed note unchanged, or "我的服务器" when it is empty.
std::string NoteForModify(const std::string& typed);

// The connection file's name for a note: trimmed, every ASCII space removed (full-width ones inside stay),
// and each character a Windows file name cannot hold (\ / : * ? " < > | and the control characters
// 0x00..0x1F, 0x7F) replaced by "_". Double-byte characters pass whole, whatever their trail byte.
std::string ConnectionFileName(const std::string& note);

// `value` as an SQL text literal: in single quotes, each quote inside doubled.
std::string SqlText(const std::string& value);

// The editor's message for the first required field that is empty (ip, user, password, port, in that
// order), or "" when all four have something. Blanks count as content.
std::string MissingFieldMessage(const ServerEntry& entry);
// The editor's message for the first field longer than its column (ip 20, port 10, user 20, password 20,
// note 255, dqsj 20 characters, counted in UTF-16 units as the database counts them), or "" when all fit.
std::string ColumnLimitMessage(const ServerEntry& entry);

// What the program needs of table Server: the six columns it reads and writes.
TableNeeds ServerTableNeeds();

// The database operations. Each returns false on any failure, and db.LastError() then says why.

// Every row of table Server, in table order, handed to `each` as it is read (one pass; nothing is kept). The
// open result is closed first. `each` must not use `db`. On a failure the rows before it have been handed
// over.
bool LoadServers(ConfigDatabase& db, const std::function<void(ServerEntry&&)>& each);
// The same into `out`, which is left as it was on a failure.
bool LoadServers(ConfigDatabase& db, std::vector<ServerEntry>& out);
// Appends `entry` as a new row.
bool AddServer(ConfigDatabase& db, const ServerEntry& entry);
// Opens the rows whose ip and port match (the database compares texts ignoring case) and answers whether
// the first one has exactly this ip and port, byte for byte. That first row stays the current row.
// False also when no row matches (LastError() is then not about a failure).
bool FindServer(ConfigDatabase& db, const std::string& ip, const std::string& port);
// Writes the six fields of `entry` into the current row (the one FindServer found) and saves it.
bool SaveFoundServer(ConfigDatabase& db, const ServerEntry& entry);
// Deletes every row with this ip and port.
bool DeleteServers(ConfigDatabase& db, const std::string& ip, const std::string& port);

// A server row to change: the row holding exactly `before`'s ip and port takes the six fields of `after`.
struct ServerUpdate {
    ServerEntry before, after;
};
// Appends `added` and writes `updated` as one change of the database (ConfigDatabase::WriteRows): every row
// or none.
bool SaveServers(ConfigDatabase& db, const std::vector<ServerEntry>& added, const std::vector<ServerUpdate>& updated);

}  // namespace catalogue
