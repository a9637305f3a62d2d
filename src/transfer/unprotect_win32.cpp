// The data protection service: CryptUnprotectData for the current user, without any prompt.
#include <windows.h>
#include <wincrypt.h>

#include <climits>

#include "transfer/import.h"

namespace transfer {

Unprotector SystemUnprotector() {
    return [](const std::vector<std::uint8_t>& blob) -> std::optional<std::vector<std::uint8_t>> {
        if (blob.empty() || blob.size() > ULONG_MAX) return std::nullopt;
        DATA_BLOB in{static_cast<DWORD>(blob.size()), const_cast<BYTE*>(blob.data())};
        DATA_BLOB out{};
        if (!CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out)) {
            return std::nullopt;
        }
        std::vector<std::uint8_t> plain(out.pbData, out.pbData + out.cbData);
        SecureZeroMemory(out.pbData, out.cbData);
        LocalFree(out.pbData);
        return plain;
    };
}

}  // namespace transfer
