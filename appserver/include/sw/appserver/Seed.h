#pragma once
// First-start content of the database, read from JSON files (appserver/seed/):
//   class-NNNN.json  one class of the dictionary: the class fields of tSysClass and "Props", the property
//                    descriptions of tSysProp (fields left out take the defaults of SeedPropDefaults);
//   enums.json       "EnumValues" (tSysEnumValue) and "Texts" (tSysText);
//   demo.json        demo data, table name -> rows; a "Password" of a tUsrUser row is stored as a salted
//   hash.
// Rows whose key already exists are left alone, so loading again changes nothing.
#include <string>

#include "nlohmann/json_fwd.hpp"
#include "sw/appserver/Db.h"

namespace sw::appserver {

// Inserts one row (column name -> JSON value) unless a row with its key exists; returns whether it inserted.
// Unknown tables or columns raise sw::Error.
bool InsertSeedRow(DbConnection& db, const std::string& table, const nlohmann::json& row);

// Loads every class file and enums.json of the directory. Returns the number of classes read.
int LoadDictionarySeeds(DbConnection& db, const std::string& dir);

// Loads demo.json of the directory.
void LoadDemoData(DbConnection& db, const std::string& dir);

// The directory with the seed files: SW_SEED_DIR of the environment when set, else the one of the build.
std::string DefaultSeedDir();

}  // namespace sw::appserver
