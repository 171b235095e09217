#pragma once

// Queries on the system tables of a template database, for the schema tests.

#include <string>
#include <vector>

#include "tests/support/fb_client.h"

namespace mirrox::testing_support {

// Columns of a table in order, each as "NAME TYPE" plus " NOT NULL" where the column has it,
// for example "ID_STREET INTEGER NOT NULL" or "DN NUMERIC(5,2)". With withCharset, text columns
// also name their character set ("NAME VARCHAR(64) WIN1251").
std::vector<std::string> columnsOf(FbConnection& db, const std::string& table, bool withCharset = false);

// Number of user objects of one kind as the system tables list them.
struct ObjectCounts {
  int tables = 0, views = 0, procedures = 0, triggers = 0, generators = 0, functions = 0, exceptions = 0,
      roles = 0, domains = 0;
};
ObjectCounts countObjects(FbConnection& db);

// Names of user objects (any kind) that start with a prefix, case-insensitively.
std::vector<std::string> objectsNamed(FbConnection& db, const std::string& prefix);

long long toInt(const Value& v);
double toDouble(const Value& v);

}  // namespace mirrox::testing_support
