#pragma once
// The overlap-checked master-detail entity: refuses, while the user types, a value that would make a chosen
// combination of columns repeat within the loaded rows. One key text per loaded row is kept in memory,
// rebuilt after each search and kept in step by post and delete.
//
//   sw::TSysMasterDetailOverlap lines(3002);
//   lines.SetOverlapFields("PluCode;Batch");
//   lines.CheckOverlap = true;
#include <string>
#include <vector>

#include "sw/data/sysMasterDetail.h"

namespace sw {

inline constexpr std::string_view kOverlapMessage = "数据重复！请修改后再保存！";

class TSysMasterDetailOverlap : public TSysMasterDetail {
 public:
  explicit TSysMasterDetailOverlap(std::int32_t classId);

  bool CheckOverlap = false;
  std::string OverlapMessage{kOverlapMessage};

  const std::string& OverlapFields() const { return overlapFields_; }
  const std::vector<std::string>& OverlapFieldList() const { return overlapFieldList_; }
  const std::vector<std::string>& KeyList() const { return keyList_; }
  // The key text the edited row had before the edit ("" while inserting).
  const std::string& OverlapEditKey() const { return editKey_; }

  // Sets the ";"-separated field names that together must not repeat.
  void SetOverlapFields(const std::string& text);
  // The key list operations; they do nothing while OverlapFields is empty.
  bool HasKey(const std::string& key) const;
  void RemoveKey(const std::string& key);
  // The entry equal to `oldKey` becomes `newKey`; without one `newKey` is added.
  void PutKey(const std::string& oldKey, const std::string& newKey);
  // One key text per loaded row, when the check is on.
  void BuildKeyList();
  // The overlap fields' trimmed edit texts of the current row joined by ";".
  std::string OverlapKeyText() const;

  bool Search(const std::string& fieldList, const std::string& condition, const std::string& passThrough,
              int queryKind, int searchFlag) override;
  // Refuses (message box, sw::Abort) a typed value of an overlap field whose combination is already loaded.
  bool CheckPropValue(TSysPropDesc& prop, const std::string& text, const Variant& oldValue) override;

 protected:
  void DoBeforeEdit() override;
  void DoBeforeInsert() override;
  void DoAfterPost() override;
  void DoBeforeDelete() override;

 private:
  bool IsOverlapField(const std::string& name) const;

  std::string overlapFields_;
  std::vector<std::string> overlapFieldList_;
  std::vector<std::string> keyList_;
  std::string editKey_;
};

}  // namespace sw
