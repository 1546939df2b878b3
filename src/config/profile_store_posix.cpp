#include "config/ini_store.h"

namespace rk {

ProfileStore& SystemProfileStore() {
  static IniProfileStore store;
  return store;
}

}  // namespace rk
