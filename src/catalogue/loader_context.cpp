#include "catalogue/loader_context.h"

#include <stdexcept>

namespace catalogue {

LoaderContext::LoaderContext(catalogue::ConfigDatabase& database, std::mutex& databaseLock, UiThread& ui)
    : database_(database), databaseLock_(databaseLock), ui_(ui) {}

void LoaderContext::WithDatabase(const std::function<void(catalogue::ConfigDatabase&)>& use) {
    std::lock_guard<std::mutex> lock(databaseLock_);
    holdingDatabase_ = true;
    try {
        use(database_);
    } catch (...) {
        holdingDatabase_ = false;
        throw;
    }
    holdingDatabase_ = false;
}

void LoaderContext::OnUiThread(const std::function<void()>& change) {
    if (holdingDatabase_) {
        throw std::logic_error(
            "a loader step handed work to the user-interface thread while holding the database lock");
    }
    ui_.Run(change);
}

}  // namespace catalogue
