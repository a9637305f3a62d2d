// Creating a new Jet 4 database from scratch: the system tables Jet expects, then the given user tables
// with their rows. The result is deterministic: the same bytes on every run and machine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/schema.h"
#include "jet/value.h"

namespace jet {

struct NewColumn {
    std::u16string name;
    ColumnType type = ColumnType::Text;
    uint16_t textLength = 0;  // Text: size in characters (1..255)
    bool autoNumber = false;  // Long only
};

// A single-column index on a new table, written as Access writes one (a primary key is named "PrimaryKey").
struct NewIndex {
    std::u16string name;
    std::u16string column;
    bool primaryKey = false;  // implies unique
    bool unique = false;
};

struct NewTable {
    std::u16string name;
    std::vector<NewColumn> columns;
    std::vector<NewIndex> indexes;
    std::vector<std::vector<Value>> rows;  // values by column position; null for an AutoNumber column
};

// The fixed creation date written into the file header and the catalogue (an OLE date).
constexpr double kCreationDate = 46357.5;  // 2026-12-01 12:00:00

// Builds the whole file. Throws jet::Error for a definition it cannot write.
std::vector<uint8_t> createDatabase(const std::vector<NewTable>& tables);

}  // namespace jet
