// Reading a table definition (a TDEF page chain) and writing its counters back.
#pragma once

#include <string>
#include <vector>

#include "jet/page_store.h"
#include "jet/schema.h"

namespace jet::detail {

// The pages of the definition that starts on `firstPage`, first page first. Throws jet::Error when the
// chain leaves the file, loops, or reaches a page that is not a definition page.
std::vector<uint32_t> definitionPages(const PageStore& pages, uint32_t firstPage);

// Parses the definition that starts on `firstPage`. Throws jet::Error on a damaged definition
// (a loop in the chain, counts that do not fit, a column or index that points nowhere).
TableDef readTableDef(const PageStore& pages, uint32_t firstPage, const std::u16string& name);
// The same for a chain that definitionPages has listed.
TableDef readTableDef(const PageStore& pages, const std::vector<uint32_t>& chain, const std::u16string& name);

// Writes the row count, the last AutoNumber value and each real index's unique-key count of `def` into its
// TDEF pages. Inside a statement.
void writeCounters(PageStore& pages, const TableDef& def);

// The used-pages and free-pages maps that a Memo or OLE column keeps for its long-value pages, listed at
// the end of the definition. False when the definition lists none for that column.
bool longValueMaps(const TableDef& def, uint16_t columnNumber, MapRef& used, MapRef& free);

// Fixed widths of the fixed-length column types (0 for Boolean, which lives in the null mask).
size_t fixedWidth(const Column& column);

}  // namespace jet::detail
