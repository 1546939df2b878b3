#include "dialogs/dialog_init_data.h"

#include <cstddef>
#include <utility>

namespace rk {

namespace {

uint32_t ReadLittleEndian(std::string_view bytes, std::size_t at, std::size_t count) {
  uint32_t value = 0;
  for (std::size_t i = count; i-- > 0;)
    value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

}  // namespace

std::optional<std::vector<DialogInitItem>> ParseDialogInitData(std::string_view bytes) {
  std::vector<DialogInitItem> items;
  std::size_t at = 0;
  for (;;) {
    if (bytes.size() - at < 2) return std::nullopt;
    const auto controlId = static_cast<uint16_t>(ReadLittleEndian(bytes, at, 2));
    if (controlId == 0) return items;
    if (bytes.size() - at < 8) return std::nullopt;
    DialogInitItem item;
    item.controlId = controlId;
    item.message = static_cast<uint16_t>(ReadLittleEndian(bytes, at + 2, 2));
    const uint32_t length = ReadLittleEndian(bytes, at + 4, 4);
    at += 8;
    if (length > bytes.size() - at) return std::nullopt;
    const std::string_view data = bytes.substr(at, length);
    item.text = std::string(data.substr(0, data.find('\0')));
    at += length;
    items.push_back(std::move(item));
  }
}

}  // namespace rk
