#pragma once

namespace rk {

// Makes sure the platform's socket layer is ready for this process. Windows
// Sockets must be started before any socket call or name look-up; elsewhere
// there is nothing to do.
// * Idempotent and thread-safe; the first call decides, later calls repeat
//   its answer.
// * The matching clean-up runs once at process exit.
[[nodiscard]] bool EnsureSocketsStarted();

}  // namespace rk
