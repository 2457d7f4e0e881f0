// The program's version: shown to the user, and the source of the upload server's password.
#pragma once

namespace quiblo {

inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 3;

}  // namespace quiblo
