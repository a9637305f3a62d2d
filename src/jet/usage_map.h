// Usage maps: which pages a table or index owns, and which pages of the file are free.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/page_store.h"
#include "jet/schema.h"

namespace jet {

// The global usage map is row 0 of page 1; a set bit there means the page is free.
constexpr MapRef kGlobalUsageMap{1, 0};

// The pages a map marks, ascending. Reads both map kinds (inline and reference). Throws jet::Error on a
// damaged map; never follows a page number past the end of the file.
std::vector<uint32_t> readUsageMap(const PageStore& pages, MapRef map);

// Marks or clears one page in a map. An inline map that cannot hold the page is re-based or promoted
// to the reference kind. Must run inside a statement.
void setInUsageMap(PageStore& pages, MapRef map, uint32_t page, bool set);

// Takes a new page for a table or an index: appends it to the file, clears its bit in the global map and
// sets it in `ownerMap` (the table's owned-pages map or the index's map). The page comes back zeroed;
// the caller writes its header.
uint32_t allocatePage(PageStore& pages, MapRef ownerMap);

}  // namespace jet
