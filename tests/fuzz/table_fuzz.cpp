// libFuzzer entry point: any bytes as a text table and as pasted lines, then planned against one existing
// server. A message or servers, never a crash, a hang or memory out of proportion.
#include <cstddef>
#include <cstdint>
#include <string>

#include "transfer/import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<catalogue::ServerEntry> existing = {{"10.0.0.1", "3389", "u", "p", "n", ""}};
    transfer::PlanImport(transfer::ReadTextTable(bytes), existing, true);
    transfer::PlanImport(transfer::ReadPastedLines(bytes), existing, false);
    return 0;
}
