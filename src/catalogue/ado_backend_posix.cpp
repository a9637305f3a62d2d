// Other systems have no OLE DB provider: the built-in engine is the only backend.
#include "catalogue/config_backend.h"

namespace catalogue {

std::string SystemJetProvider() { return {}; }

std::unique_ptr<ConfigDatabaseBackend> OpenSystemBackend(const std::string&) { return nullptr; }

}  // namespace catalogue
