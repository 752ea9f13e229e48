#pragma once
// Factories of the two database backends; OpenDbConnector chooses between them.
#include <memory>
#include <string>

#include "sw/appserver/Db.h"

namespace sw::appserver {

std::unique_ptr<DbConnector> MakeSqliteConnector(const std::string& file);
std::unique_ptr<DbConnector> MakePostgresConnector(const std::string& conninfo);

}  // namespace sw::appserver
