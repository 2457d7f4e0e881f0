// Writing a file so that readers see either the old file or the complete new one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace imgctl {

// Writes bytes to a temporary file in the target's folder and renames it over the target: path
// itself, or the file a symbolic link at path finally points at. A replaced file keeps its
// permissions and, where the caller may set it, its owner. Throws Failure (IMGCTL_ERR_OPEN_FILE,
// IMGCTL_ERR_WRITE_FILE, or IMGCTL_ERR_NOT_A_FILE when the target exists and is not a regular
// file); no temporary file survives.
void writeFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace imgctl
