// What the readers of src/transfer share. Internal.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "transfer/import.h"

namespace transfer::detail {

// A password the data protection service protected: unprotected through options.unprotect into
// server.password (UTF-16LE up to its zero character), or a remark on `server` saying why not.
void TakeProtectedPassword(const std::vector<std::uint8_t>& blob, const ReadOptions& options, SourceServer& server);

// An XML file (.rdg or connections file, told apart by the root element), or nullopt when the bytes do not
// start like XML (after a byte-order mark and blanks, '<').
std::optional<SourceReading> ReadXml(std::string_view bytes, const ReadOptions& options);

}  // namespace transfer::detail
