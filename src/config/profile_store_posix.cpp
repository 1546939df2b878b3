#include "config/ini_engine.h"

namespace rk {

ProfileStore& SystemProfileStore() {
  static IniProfileStore store;
  return store;
}

}  // namespace rk
