#pragma once

#include <string>

namespace plentor::platform {

// Room for the combined URL, counting its terminating zero byte: the longest
// result that fits is one byte shorter. Links and redirect targets longer
// than this are not followed.
constexpr int kUrlCombineCapacity = 1999;

// Resolves a relative reference against an absolute base URL (RFC 3986
// resolution, "." and ".." segments removed) and escapes unsafe characters
// and spaces in the result as %XX. On Windows this is the system's URL
// combination with no option flags; elsewhere a stand-in that behaves the
// same way. False, with out emptied, when the URL cannot be combined or the
// result does not fit kUrlCombineCapacity.
bool CombineUrl(const char* base, const char* relative, std::string& out);

} // namespace plentor::platform
