#pragma once
// enumbank: the host's enumeration lists, read from the server's enumeration table through the connection
// the host holds for Icomm.
#include <string>
#include <string_view>
#include <vector>

namespace sw {

// The call number of OpenSQL on Icomm.
inline constexpr int kEnumOpenSqlCall = 1610809344;

// The statement GetEnumList sends: the values of one enumeration type, in display order, limited by an
// optional SQL condition.
std::string EnumListStatement(std::string_view typeNumber, std::string_view condition);

// Replaces the content of `list` with one entry code + "-" + name per value of the enumeration type (its
// number as decimal text), limited by `condition` when it is not blank. Raises sw::Error when the type number
// is not a number, when the host holds no Icomm connection, when the server answers an error text, and on a
// transport failure.
void GetEnumList(std::string_view typeNumber, std::string_view condition, std::vector<std::string>& list);

}  // namespace sw
