// Whether config.MDB is the program's configuration database: the tables, columns and rows the program reads
// and writes, looked for once at start, so that a file made by something else (an Access database of other
// tables, a table without the program's columns) is said at once instead of showing as an empty list and
// failing at the first save. The check only reads.
//
// Texts are GBK.
#pragma once

#include <string>
#include <vector>

#include "catalogue/config_database.h"

namespace catalogue {

// What the program needs of one table: its columns, and one row by its key when `keyColumn` is not empty.
struct TableNeeds {
    std::string table{};
    std::vector<std::string> columns{};
    std::string keyColumn{}, keyValue{};
};

// One thing the database lacks: the table itself (the rest empty), some of its columns (`columns`, in the
// order needed), or its needed row (`keyColumn`, `keyValue`). `detail` holds the engine's words when the
// table could not be read.
struct MissingPart {
    std::string table{};
    std::vector<std::string> columns{};
    std::string keyColumn{}, keyValue{};
    std::string detail{};

    bool operator==(const MissingPart&) const = default;
};

// What `db` lacks of `needs`, in their order; empty when it has everything. A row is looked for only in a
// table that has every needed column.
std::vector<MissingPart> FindMissingParts(ConfigDatabase& db, const std::vector<TableNeeds>& needs);

// The message that config.MDB is not the program's configuration database, naming what it lacks, that the
// file was left as it is, and what the person can do.
std::string ForeignDatabaseMessage(const std::vector<MissingPart>& missing);

}  // namespace catalogue
