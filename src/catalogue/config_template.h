// The tables of the configuration database the program creates when it finds none.
#pragma once

#include <vector>

#include "jet/create.h"

namespace catalogue {

// Table "Server" (no rows) and table "config" with its one row of display and session settings, in that
// order. ConfigDatabaseTemplate() carries these tables written out by jet::createDatabase.
std::vector<jet::NewTable> ConfigTemplateTables();

}  // namespace catalogue
