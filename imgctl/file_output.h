// Writing a file so that readers see either the old file or the complete new one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace imgctl {

// Writes bytes to a temporary file in the target's folder and renames it over path.
// Throws Failure (IMGCTL_ERR_OPEN_FILE or IMGCTL_ERR_WRITE_FILE); no temporary file survives.
void writeFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace imgctl
