#pragma once

namespace mirrox {

// The replication procedures, one "CREATE OR ALTER PROCEDURE" statement each, lines separated by
// CR LF. Compiled in from schema/repl/*.sql (engine/CMakeLists.txt names the file of each).
extern const char* const kREPL_GETSPEC_IDSql;
extern const char* const kREPL_DATASql;
extern const char* const kREPL_ADDRESSSql;
extern const char* const kREPL_ZAYAVKASql;
extern const char* const kREPL_HWSql;

}  // namespace mirrox
