#pragma once
// DOS paths ("Z:\tmp\x.lzh", CP932) to native paths (UTF-8). The program hands over its own
// resolver (its drive map); until then only drive Z: is known, as the root folder "/".

#include "unlha32.h"

#include <optional>
#include <string>

namespace unlha {

void SetPathResolver(UnlhaPathResolver resolver);

// A path that starts with "/" is native already and is returned as it is. A folder may end with
// "\". Nothing when the path cannot be resolved.
std::optional<std::string> ToNativePath(const std::string& path);

// CP932 to UTF-8 with glibc iconv; nothing for bytes that are not CP932.
std::optional<std::string> Cp932ToUtf8(const std::string& text);

}  // namespace unlha
