#pragma once
// A readable listing of a class description: the header, then one line per property in list order. Texts are
// printed as UTF-8 between double quotes (a quote, a backslash and control bytes escaped); numbers and flags
// as name=value. Fields that are 0 or empty are left out of a property line to keep it short.
#include <iosfwd>
#include <string>
#include <string_view>

#include "sw/data/USysDict.h"

namespace sw {

void DumpClassDesc(const TSysClassDesc& desc, std::ostream& out);

// The text between double quotes, with ", \ and bytes below 32 escaped (\" \\ \n \r \t \xNN).
std::string QuoteForDump(std::string_view text);

}  // namespace sw
