#pragma once
// TDataObjItem: the formula language's view of an entity. Its members are the properties of the entity's
// class: a formula names them by caption or field name, or qualified with the table name or class caption of
// the entity or of one of its masters. Named "C" + class id (C1001).
//
//   sw::TSysExpression e;
//   sw::AddEntity(e, &users);
//   e.Evaluate(v, "[用户名称]");  // the name of the current user record
#include <string>
#include <string_view>

#include "sw/data/sysBaseBL.h"
#include "sw/expr/DataSetItem.h"

namespace sw {

class TDataObjItem : public TDataSetItem {
 public:
  TDataObjItem(TSysExpression& owner, TSysClassEntity& entity);

  bool FindMember(std::string_view name) override;
  void GetMemberValue(std::string_view name, Variant& value) override;
  void SetMemberValue(std::string_view name, const Variant& value) override;

  TSysClassEntity& Entity() const { return entity_; }
  // The property a formula name reaches (see the file comment), or null.
  TSysPropDesc* FindProp(std::string_view name) const;

 private:
  TSysClassEntity& entity_;
};

// Adds an item for an open entity to the evaluator (the first data item becomes its default item). A missing
// or closed entity adds nothing. Returns the added item or nullptr.
TDataItem* AddEntity(TSysExpression& expression, TSysClassEntity* entity);

}  // namespace sw
