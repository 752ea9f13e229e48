#include "sw/appserver/Seed.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "sw/appserver/PasswordHash.h"
#include "sw/appserver/Schema.h"
#include "sw/core/Error.h"
#include "sw/core/Text.h"
#include "sw/data/USysDict.h"

namespace sw::appserver {
namespace {

using nlohmann::json;

json ReadJson(const std::filesystem::path& file) {
  std::ifstream in(file);
  if (!in) throw Error("cannot read the seed file " + file.string());
  try {
    return json::parse(in);
  } catch (const json::exception& e) {
    throw Error("seed file " + file.string() + ": " + e.what());
  }
}

Variant ToVariant(const json& v) {
  if (v.is_null()) return Variant::Null();
  if (v.is_boolean()) return Variant(v.get<bool>() ? "1" : "0");
  if (v.is_number_integer()) return Variant(v.get<std::int64_t>());
  if (v.is_number()) return Variant(v.get<double>());
  if (v.is_string()) return Variant(v.get<std::string>());
  throw Error("a seed value must be a number, a text, a boolean or null");
}

// Property fields a class file may leave out.
json PropWithDefaults(const json& prop, const json& cls) {
  json p = {{"TableName", cls.value("TableName", "")},
            {"Editable", 1},
            {"Visible", 1},
            {"InList", 1},
            {"InCondition", 1},
            {"InLookupList", 0},
            {"DispWidth", 12},
            {"MaxLength", 0},
            {"DispOrder", prop.value("PropId", 0)}};
  for (auto it = prop.begin(); it != prop.end(); ++it) p[it.key()] = it.value();
  p["ClassID"] = cls.at("ClassID");
  return p;
}

// captions.json: {"Languages": [{"LanguageType": 2, "Classes": {"2002": {"0": "Users", "1": "User ID", …}}}]}
// — per language, per class number, the caption of the class ("0") and of properties by PropId.
void LoadCaptions(DbConnection& db, const json& file, const std::string& name) {
  try {
    for (const auto& lang : file.at("Languages")) {
      const int language = lang.at("LanguageType").get<int>();
      if (language != lt_USA && language != lt_TW)
        throw Error("caption language " + IntToStr(language) + " is neither 2 nor 3");
      for (auto c = lang.at("Classes").begin(); c != lang.at("Classes").end(); ++c) {
        for (auto p = c.value().begin(); p != c.value().end(); ++p) {
          InsertSeedRow(db, "tSysCaption",
                        {{"ClassID", std::stoi(c.key())},
                         {"PropId", std::stoi(p.key())},
                         {"LanguageType", language},
                         {"Caption", p.value().get<std::string>()}});
        }
      }
    }
  } catch (const json::exception& e) {
    throw Error("seed file " + name + ": " + e.what());
  } catch (const std::logic_error&) {  // std::stoi on a key that is not a number
    throw Error("seed file " + name + ": a class or property key is not a number");
  }
}

}  // namespace

bool InsertSeedRow(DbConnection& db, const std::string& table, const json& row) {
  const TableDef* def = FindTableDef(table);
  if (def == nullptr) throw Error("unknown table \"" + table + "\" in the seed data");
  if (!row.is_object()) throw Error("a seed row of " + table + " is not an object");
  std::vector<std::string> cols;
  std::vector<Variant> values;
  for (auto it = row.begin(); it != row.end(); ++it) {
    std::string name = it.key();
    Variant value;
    if (SameText(table, "tUsrUser") && name == "Password") {
      name = "PassHash";
      value = Variant(MakePasswordHash(it.value().get<std::string>()));
    } else {
      value = ToVariant(it.value());
    }
    const auto col = std::find_if(def->columns.begin(), def->columns.end(),
                                  [&](const ColumnDef& c) { return SameText(c.name, name); });
    if (col == def->columns.end()) throw Error("table " + table + " has no column \"" + name + "\"");
    cols.push_back(col->name);
    values.push_back(std::move(value));
  }
  std::string sql = "INSERT INTO " + def->name + " (" + Join(cols, ", ") + ") VALUES (";
  for (std::size_t i = 0; i < cols.size(); ++i) sql += i ? ", ?" : "?";
  sql += ") ON CONFLICT DO NOTHING";
  return db.Execute(sql, values).affected > 0;
}

int LoadDictionarySeeds(DbConnection& db, const std::string& dir) {
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(dir, ec)) {
    const std::string name = e.path().filename().string();
    if (StartsWithText(name, "class-") && EndsWithText(name, ".json")) files.push_back(e.path());
  }
  if (ec) throw Error("cannot read the seed directory " + dir + ": " + ec.message());
  std::sort(files.begin(), files.end());
  DbTransaction tx(db);
  for (const auto& f : files) {
    const json cls = ReadJson(f);
    try {
      json header = cls;
      header.erase("Props");
      InsertSeedRow(db, "tSysClass", header);
      for (const auto& p : cls.at("Props")) InsertSeedRow(db, "tSysProp", PropWithDefaults(p, cls));
    } catch (const json::exception& e) {
      throw Error("seed file " + f.string() + ": " + e.what());
    }
  }
  const auto enums = std::filesystem::path(dir) / "enums.json";
  if (std::filesystem::exists(enums)) {
    const json e = ReadJson(enums);
    for (const auto& row : e.value("EnumValues", json::array())) InsertSeedRow(db, "tSysEnumValue", row);
    for (const auto& row : e.value("Texts", json::array())) InsertSeedRow(db, "tSysText", row);
  }
  const auto captions = std::filesystem::path(dir) / "captions.json";
  if (std::filesystem::exists(captions)) LoadCaptions(db, ReadJson(captions), captions.string());
  tx.Commit();
  return static_cast<int>(files.size());
}

void LoadDemoData(DbConnection& db, const std::string& dir) {
  const json demo = ReadJson(std::filesystem::path(dir) / "demo.json");
  DbTransaction tx(db);
  for (auto it = demo.begin(); it != demo.end(); ++it) {
    if (!it.value().is_array()) continue;  // comments and other notes
    for (const auto& row : it.value()) InsertSeedRow(db, it.key(), row);
  }
  tx.Commit();
}

std::string DefaultSeedDir() {
  if (const char* env = std::getenv("SW_SEED_DIR"); env != nullptr && *env != 0) return env;
  return SW_SEED_DIR;
}

}  // namespace sw::appserver
