#pragma once
// The application server's two remote objects: their names and the class identifiers under which the host
// asks for them. The server answers calls addressed by either form.
#include <string_view>

namespace sw {

inline constexpr std::string_view kIcommObject = "Icomm";
inline constexpr std::string_view kIGeneralObject = "IGeneral";
inline constexpr std::string_view kIcommClassId = "{6D1A7C20-4B3E-4F15-9A77-3C2E5B810001}";
inline constexpr std::string_view kIGeneralClassId = "{6D1A7C20-4B3E-4F15-9A77-3C2E5B810002}";

}  // namespace sw
