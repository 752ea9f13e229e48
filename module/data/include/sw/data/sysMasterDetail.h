#pragma once
// The master-detail entity: an entity with an optional master and named details, forming a tree. A detail's
// rows belong to the current row of its master: it is re-read from the master's key values, takes them when
// a row is inserted, may name the master's current values in its conditions, and the root saves the whole
// tree in one call.
//
//   sw::TSysMasterDetail bill(3001), lines(3002);
//   bill.AddDetail("lines", &lines);
//   lines.DetailKeyFields = "BillNo";
//   lines.RefreshFromMaster();         // after the master moved
//   bill.DoSave("");                   // master and details together
#include <string>
#include <utility>
#include <vector>

#include "sw/data/sysBaseBL.h"

namespace sw {

class TSysMasterDetail : public TSysClassEntity {
 public:
  // AutoSave is off: a tree is saved as a whole by its root.
  explicit TSysMasterDetail(std::int32_t classId);

  TSysMasterDetail* Master() const { return master_; }
  TSysClassEntity* MasterEntity() const override { return master_; }
  // The details in the order added (not owned).
  const std::vector<std::pair<std::string, TSysMasterDetail*>>& Details() const { return details_; }
  // ";"-separated names of the master's fields that link a detail row to its master row, and of this
  // entity's fields that receive their values. Blank: the key properties of either side.
  std::string MasterKeyFields;
  std::string DetailKeyFields;

  virtual void SetMaster(TSysMasterDetail* master) { master_ = master; }
  // Sends the change logs of the whole tree in one call (`text`, or SaveText when empty); with HeadText set
  // and no changes of its own the root sends HeadText first. On failure every change log stays.
  virtual bool DoSave(const std::string& text);
  // Visits every detail recursively.
  virtual void DetailsChanged();
  // Appends a detail and makes this entity its master.
  virtual void AddDetail(const std::string& name, TSysMasterDetail* detail);
  // Re-reads the rows of the master's current row; an empty master gives no rows but the class's columns.
  virtual void RefreshFromMaster();
  virtual bool HasChanges() const;
  virtual bool IsEditing() const;
  // The last detail of that class (or a descendant), or null.
  virtual TSysMasterDetail* FindDetailByClass(std::int32_t classId) const;
  virtual TSysMasterDetail* FindDetail(std::string_view name) const;

  // Inserted rows of a detail take the master's key values first.
  void Post() override;
  // The master is notified too, up to the root.
  void NotifyChange() override;
  // Also puts in the current values of the ancestors' fields named "<TableName>.<FieldName>".
  std::string ExpandCondition(const std::string& text, bool useValues) override;
  // Also "&HEADTABLE&" and "[<TableName>.<FieldName>]", "[<ClassCaption>.<Caption>]" of the ancestors.
  std::string ExpandRefCondition(TSysPropDesc& prop) override;
  // A qualified reference not found here is looked for in the master, then in the details.
  TSysPropDesc* FindProp(std::string_view reference) override { return FindProp(reference, true); }
  virtual TSysPropDesc* FindProp(std::string_view reference, bool searchFurther);

  // The FieldNames of the key properties joined by ";".
  std::string KeyFieldNames() const;
  // The master's key values joined by ";" (see MasterKeyFields); "" without a master.
  std::string MasterKeyValues() const;
  // Appends a row holding the current row's values in every field that is not a key property.
  void AppendCopy();

 private:
  TSysMasterDetail* master_ = nullptr;
  std::vector<std::pair<std::string, TSysMasterDetail*>> details_;
};

}  // namespace sw
