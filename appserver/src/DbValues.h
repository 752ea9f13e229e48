#pragma once
// How variants become parameter texts, shared by both backends so that both store the same text for a date,
// a boolean or a currency value.
#include <string>

#include "sw/core/Variant.h"

namespace sw::appserver {

// Dates as "YYYY-MM-DD HH:NN:SS" (so that they compare as text in either backend), booleans as "1"/"0",
// numbers in their plain decimal form, texts unchanged.
std::string DbParamText(const Variant& v);

}  // namespace sw::appserver
