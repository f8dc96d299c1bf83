// UTF-8 inside, UTF-16 at every Win32 call: the conversions between the two.
#pragma once

#include <string>
#include <string_view>

namespace win32 {

// Invalid UTF-8 becomes U+FFFD, as the system's own conversion does.
std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

}  // namespace win32
