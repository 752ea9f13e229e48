#pragma once
// Numeric helper: kept beside the other helper singletons so that the set is complete; the number formatting
// the module needs lives in sw/core/Format.h.

namespace sw {

class TUNumeric {};

}  // namespace sw
