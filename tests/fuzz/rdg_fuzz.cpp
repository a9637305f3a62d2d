// libFuzzer entry point: any bytes as an .rdg server group file, passwords handed to a stand-in for the data
// protection service that gives them back as they are; then planned.
#include <cstddef>
#include <cstdint>
#include <string>

#include "transfer/import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    transfer::ReadOptions options;
    options.unprotect = [](const std::vector<uint8_t>& blob) -> std::optional<std::vector<uint8_t>> {
        if (blob.size() < 4 || blob[0] != 'S') return std::nullopt;
        return std::vector<uint8_t>(blob.begin() + 4, blob.end());
    };
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    transfer::PlanImport(transfer::ReadServerGroupFile(bytes, options), {}, false);
    return 0;
}
