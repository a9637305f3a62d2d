// libFuzzer entry point: any bytes as a Remote Desktop connection file, its password blob handed to a
// stand-in for the data protection service that gives it back as it is; then planned.
#include <cstddef>
#include <cstdint>
#include <string>

#include "transfer/import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    transfer::ReadOptions options;
    options.unprotect = [](const std::vector<uint8_t>& blob) -> std::optional<std::vector<uint8_t>> {
        if (blob.size() % 3 == 0) return std::nullopt;
        return blob;
    };
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    transfer::PlanImport(transfer::ReadConnectionFile(bytes, "fuzz.rdp", options), {}, false);
    return 0;
}
