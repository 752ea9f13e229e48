#pragma once
// The class dictionary on the server side: classes and properties read from tSysClass and tSysProp, kept in
// memory, and written in the class description stream. A description that a client sends back is read with
// the same stream code; when it is only a header, the stored class stands behind it.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "sw/appserver/Db.h"
#include "sw/data/USysDict.h"

namespace sw::appserver {

// One class: its header and its properties in ascending PropId order. Plain values, cheap to copy.
struct ClassDef {
  TSysClassDescRec rec;
  std::vector<TSysPropDesc> props;

  const TSysPropDesc* FindField(std::string_view fieldName) const;  // without regard to case
  const TSysPropDesc* FindPropId(int propId) const;
  // Properties whose IsKey is set.
  std::vector<const TSysPropDesc*> Keys() const;
  // Whether the property is a column of the class table itself (its TableName is empty or the class's).
  bool IsOwnColumn(const TSysPropDesc& p) const;
};

// The text placed in ServerCache of every description the server hands out. A description sent back with
// this text is known to be the stored one.
std::string ServerCacheToken(std::int32_t classId);

// A description stream (header only or full) as the server reads it: throws sw::Error on a malformed stream.
ClassDef ReadDescription(const Variant& bytes);
// The full description stream of a class.
Variant WriteDescription(const ClassDef& cls);

class ClassDictionary {
 public:
  // The stored class; throws sw::Error("@类号 N 没有定义。") when the dictionary has no such class.
  // Language lt_USA or lt_TW gives the captions of tSysCaption in that language, each caption without a
  // translation keeping the dictionary's own (Chinese) text, and LanguageType set to that language; any other
  // language gives the Chinese captions with LanguageType lt_PRC.
  std::shared_ptr<const ClassDef> Get(DbConnection& db, std::int32_t classId, std::uint8_t language = lt_PRC);
  // The class a request works on: the description sent when it is full (FullDesc 1 or properties present),
  // else the stored class with the header values the client sent (FromText, QueryKind, SearchFlag,
  // SelectMode).
  ClassDef Resolve(DbConnection& db, const ClassDef& sent);
  // Forgets every cached class (after the dictionary tables were changed).
  void Invalidate();

 private:
  std::shared_ptr<const ClassDef> Load(DbConnection& db, std::int32_t classId);
  std::shared_ptr<const ClassDef> Translate(DbConnection& db, const ClassDef& cls, std::uint8_t language);
  std::mutex mutex_;
  // Keyed by (class number, language).
  std::map<std::pair<std::int32_t, std::uint8_t>, std::shared_ptr<const ClassDef>> cache_;
};

// Whether a text is a plain SQL name (letters, digits, "_" and "$", not starting with a digit), so that it
// may be placed in a statement as a column or table name.
bool IsSqlName(std::string_view name);

}  // namespace sw::appserver
