// Bringing servers in: reading a source (a text table, pasted lines, Remote Desktop connection files, the XML
// server group files of other programs) into the servers it holds, planning each against the servers the
// database already has, and writing the plan into config.MDB as one change, after a backup copy.
//
// How the program and the database tool use it:
//
//     transfer::ReadOptions options;
//     options.unprotect = transfer::SystemUnprotector();
//     transfer::SourceReading source = transfer::ReadSource(path, options);
//     if (source.needsMasterPassword) { ask for one, set options.masterPassword, read again }
//     if (!source.failure.empty()) { show source.failure; stop: nothing is written }
//     transfer::ImportPlan plan = transfer::PlanImport(source, existingServers, updateExisting);
//     show plan.servers (what happens to each, where it came from, why) and the counts
//     transfer::WriteResult result = transfer::WritePlan(db, databasePath, plan, transfer::LocalNow());
//
// Texts handed out (messages, origins, remarks, the planned servers) are GBK; paths are UTF-8; what a reader
// found is kept as UTF-16 until the plan decides whether the database can hold it.
//
// Every source is untrusted. A file over its size limit is refused before it is read; binary bytes, texts in
// no encoding we know, unbalanced quotes, XML with a document type declaration (where entities are defined:
// refused, never expanded), groups nested without end, base64 that is not, a wrong master password give a
// message (for the whole source, or on the one server concerned), with time and memory in proportion to the
// file's size and never more than the limits below. Reading never writes anything.
//
// Threads: reading and planning touch nothing but their arguments (a preview may run them on a thread of its
// own); WritePlan and BackUpDatabase use the database, on the thread that may use it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/config_database.h"
#include "catalogue/server_records.h"
#include "runtime/date_time.h"

namespace transfer {

// --- Limits ------------------------------------------------------------------------------------------------
constexpr std::uint64_t kMaxTableBytes = 16u << 20;          // a text table or a list of lines
constexpr std::uint64_t kMaxXmlBytes = 32u << 20;            // an .rdg or connections file
constexpr std::uint64_t kMaxConnectionFileBytes = 1u << 20;  // one .rdp file
constexpr std::size_t kMaxServers = 100000;                  // servers (rows, elements, files) in one source
constexpr std::size_t kMaxGroupDepth = 64;                   // nested groups or folders in an XML file
constexpr std::size_t kMaxXmlElements = 1000000;             // elements of an XML file
constexpr std::size_t kMaxXmlAttributes = 4000000;           // attributes of an XML file
constexpr std::size_t kMaxFolderEntries = 1000000;           // entries looked at in a folder of .rdp files
constexpr std::uint32_t kMaxKdfIterations = 10000000;        // a connections file's KdfIterations

// --- Reading -----------------------------------------------------------------------------------------------

// Unprotects a blob that the system's data protection service protected for the current user: the plain
// bytes, or nullopt when it cannot (protected for another user or computer, damaged).
using Unprotector = std::function<std::optional<std::vector<std::uint8_t>>(const std::vector<std::uint8_t>& blob)>;
// The data protection service (CryptUnprotectData) on Windows; empty elsewhere, where protected passwords are
// left out and said.
Unprotector SystemUnprotector();

struct ReadOptions {
    Unprotector unprotect;        // empty: passwords protected by the service are left out, and said
    std::u16string masterPassword;  // a connections file's master password; empty: the default one
    // PBKDF2 iterations one source may spend on its passwords in all (each encrypted text costs the file's
    // KdfIterations); passwords beyond it are left out, and said. About 12 s natively (0.6 ms a key of 1,000
    // iterations: 20,000 passwords of the default file).
    std::uint64_t decryptionBudget = 20000000;
};

enum class SourceKind {
    kTextTable,        // CSV, tab-, semicolon- or blank-separated lines in a file
    kPastedLines,      // lines pasted into the import dialog
    kConnectionFile,   // one .rdp file
    kConnectionFolder, // a folder of .rdp files
    kServerGroupFile,  // .rdg: root RDCMan, groups and servers
    kConnectionsFile,  // confCons.xml: root Connections, Node elements, encrypted passwords
};

// One server as a source gives it.
struct SourceServer {
    std::u16string address, port, user, password, note, expiry;  // as the source has them
    std::string origin;                // where: "第 12 行", "组 A / 组 B / 服务器 web01", "web01.rdp"
    std::vector<std::string> remarks;  // what was left out and why: "密码未导入：..."
    std::string refusal;               // why the reader cannot take it at all; empty when it was read
};

struct SourceReading {
    std::string failure;               // why nothing could be read; empty when the source was read
    bool needsMasterPassword = false;  // a connections file the default master password does not open
                                       // (failure says so): ask for the master password and read again
    SourceKind kind = SourceKind::kTextTable;
    std::string description;           // what the source is, for the preview: "CSV 表格（逗号分隔）", ...
    std::string encoding;              // the text's encoding as detected: "UTF-8", "UTF-8（带 BOM）", "GBK", ...
    std::vector<std::string> notes;    // about the source as a whole: columns not used, files left aside
    std::vector<SourceServer> servers;
};

// A file or folder (UTF-8 path): a folder is read as its .rdp files (not its subfolders); a file by its name
// and content: ".rdp" a connection file, XML (".rdg", ".xml", or content that starts with '<') by its root
// element, anything else a text table.
SourceReading ReadSource(const std::string& path, const ReadOptions& options);
// Lines pasted into the dialog (GBK): "address[:port] user password note expiry", blanks or tabs between;
// a first line of column names makes them a table (see ReadTextTable).
SourceReading ReadPastedLines(const std::string& gbk);

// The readers over bytes in memory (ReadSource picks one; the tests and fuzz targets call them directly).
//
// A text table: UTF-8 (with or without its byte-order mark), UTF-16LE/BE (by the mark, or by the zero bytes
// of ASCII characters) or GBK. Fields separated by the one of tab, comma and semicolon the first line has
// most of (RFC 4180 quoting: separators, doubled quotes and line breaks inside quotes); with none of them,
// by blanks as pasted lines are. A first row naming the columns (服务器IP/地址/IP/host, 端口/port,
// 用户/用户名/user, 密码/password, 备注/名称/note/name, 到期时间/到期/expiry, case and blanks aside) is
// the header; without one the columns are address, port, user, password, note, expiry.
SourceReading ReadTextTable(std::string_view bytes);
// An .rdp file: "full address:s:host[:port]", "server port:i:", "username:s:", "password 51:b:<hex>" (the
// service's blob, unprotected through options.unprotect). `name` is the file's name (UTF-8); the note is
// its base name.
SourceReading ReadConnectionFile(std::string_view bytes, const std::string& name, const ReadOptions& options);
// An .rdg file: groups give the note its prefix ("A/B/"), a server its address (properties/name, host[:port])
// and note (properties/displayName), logonCredentials (its own, or its nearest group's) the user
// ("domain\user") and the password (base64 of the service's blob).
SourceReading ReadServerGroupFile(std::string_view bytes, const ReadOptions& options);
// A connections file: Node elements of Type "Container" (folders: the note's prefix) and "Connection" (of
// Protocol RDP; others are refused), passwords decrypted with the master password.
SourceReading ReadConnectionsFile(std::string_view bytes, const ReadOptions& options);

// --- Planning ----------------------------------------------------------------------------------------------

enum class Action { kAdd, kUpdate, kSkip, kRefuse };
// "添加", "更新", "跳过", "拒绝".
const char* ActionText(Action action);

struct PlannedServer {
    Action action = Action::kRefuse;
    // kAdd, kUpdate: the row as it will be written. kSkip, kRefuse: the source's values as far as GBK shows
    // them (for the preview).
    catalogue::ServerEntry entry;
    catalogue::ServerEntry existing;   // kUpdate, and kSkip of a server the database has: that row now
    std::string origin;                // as the source gave it
    std::string reason;                // kSkip, kRefuse: why
    std::vector<std::string> remarks;  // what the server comes without ("没有密码", "密码未导入：...")
};

struct ImportPlan {
    std::vector<PlannedServer> servers;  // in the source's order
    std::size_t added = 0, updated = 0, skipped = 0, refused = 0;
};

// What happens to each server of `source` against the database's servers `existing`:
// - refused: the reader could not take it, or the address is missing or holds a blank, the port is not a
//   number 1-65535, a value is over its column's length (catalogue::ColumnLimitMessage), a character is
//   outside GBK or a control character (a line break is allowed in the note), or the expiry is not a date
//   the program reads (runtime::DateTimeFromText);
// - skipped: the same address (case aside) and port as an existing server (unless `updateExisting`) or as
//   an earlier server of this source;
// - updated (`updateExisting`): the existing server takes the source's values; a field the source leaves
//   empty keeps the existing value; a server that would not change is skipped;
// - added otherwise.
// Values are trimmed (the password is kept as it is); an empty port is 3389 and a port is written without
// leading zeros; an expiry is written as runtime::ExpiryText (a date without a time is the end of that day,
// 23:59:59); an empty note becomes the address.
ImportPlan PlanImport(const SourceReading& source, const std::vector<catalogue::ServerEntry>& existing,
                      bool updateExisting);

// --- Writing -----------------------------------------------------------------------------------------------

struct WriteResult {
    bool written = false;    // the plan's rows are in the database (also true when it had none to write)
    std::string error;       // why not: nothing was written then
    std::string backupPath;  // the copy made before writing (UTF-8), empty when nothing needed writing
};

// Writes the plan's added and updated servers into table Server of `db` (open for changes on
// `databasePath`) as one change: all rows or none, the old or the new content after a crash or power cut.
// Before that, BackUpDatabase copies the database; when the copy fails nothing is written. The open result
// of `db` is closed.
WriteResult WritePlan(catalogue::ConfigDatabase& db, const std::string& databasePath, const ImportPlan& plan,
                      const runtime::DateTimeValue& now);

// Copies `db` (open on `databasePath`, UTF-8) as its last finished change left it into the folder "备份"
// beside the file, as "<file's base name>-yyyyMMdd-HHmmss<extension>" ("-2", "-3", ... when that exists),
// flushed; then removes the oldest such copies so that the ten newest stay. Other files there are never
// touched. The copy's path, or nullopt with `error` (GBK) set.
std::optional<std::string> BackUpDatabase(catalogue::ConfigDatabase& db, const std::string& databasePath,
                                          const runtime::DateTimeValue& now, std::string& error);
constexpr std::size_t kBackupsKept = 10;

// The local date and time now.
runtime::DateTimeValue LocalNow();

}  // namespace transfer
