// libFuzzer entry point: any bytes as a connections file, with the default master password and with another,
// then planned. The decryption budget is small here (a hundred texts at 1,000 iterations), so that an input
// asking for more work is cut short as the program cuts a far larger one.
#include <cstddef>
#include <cstdint>
#include <string>

#include "transfer/import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    transfer::ReadOptions options;
    options.decryptionBudget = 100000;
    transfer::PlanImport(transfer::ReadConnectionsFile(bytes, options), {}, false);
    options.masterPassword = u"\u79D8\u5BC6";
    transfer::PlanImport(transfer::ReadConnectionsFile(bytes, options), {}, true);
    return 0;
}
