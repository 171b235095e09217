#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace mirrox::demo {

// One table of a database as the demo shows it: its row count and its latest few rows, every
// value as UTF-8 text ("" for NULL).
struct TableSummary {
  std::string table;
  long long count = 0;
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> sample;
};

// The tables that replication fills in a database of `dbType` (0 metering, 1 journal), read
// through the local Firebird server; at most `sampleRows` rows each. An unknown type has no
// tables. Throws fb::Error.
std::vector<TableSummary> summarizeDatabase(const std::string& dbPath, int dbType, int sampleRows);

// The summary as indented lines: "TABLE: N rows", then the column names and the sample rows.
void printSummary(std::ostream& out, const std::vector<TableSummary>& tables);

}  // namespace mirrox::demo
