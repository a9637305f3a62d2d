// quillon-db's commands that bring servers in and take them out, through the program's own code
// (src/transfer):
//
//   quillon-db import FILE.mdb SOURCE [--update] [--master-password P]
//   quillon-db export-servers FILE.mdb OUT.csv [--with-passwords]
//
// `import` reads SOURCE (a text table, an .rdp file, a folder of them, an .rdg or connections file), prints
// what happens to its servers (a line per refused one on stderr with where it is and why; on stdout the
// source, the skipped servers and what the added ones come without, then the counts of added, updated,
// skipped and refused), copies FILE.mdb into the folder 备份 beside it and writes the rest as one change.
// Exit status 0 when nothing was refused, 3 when some servers were, 1 when the source could not be read or
// the database not written (nothing is written then), 2 for a wrong command line.
//
// `export-servers` writes every server of FILE.mdb to OUT.csv (UTF-8 with a byte-order mark), passwords only
// with --with-passwords. Texts on the command line and in the output are UTF-8.
#pragma once

#include <string>
#include <vector>

// The arguments after the command's name; the exit status.
int ImportCommand(const std::vector<std::string>& args);
int ExportServersCommand(const std::vector<std::string>& args);
