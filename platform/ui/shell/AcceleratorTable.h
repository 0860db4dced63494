// A keyboard accelerator table: which key with which Ctrl / Shift / Alt state gives which command.
#pragma once

#include <optional>
#include <vector>

#include "platform/ui/Windows.h"

namespace ui::shell {

struct KeyModifiers {
  bool control = false;
  bool shift = false;
  bool alt = false;
};

class AcceleratorTable {
 public:
  explicit AcceleratorTable(std::vector<ACCEL> entries) : entries_(std::move(entries)) {}

  // The command for a key-down (virtual key) or character message with these modifiers. Virtual
  // key entries need exactly their modifiers; character entries ignore Shift (it is in the
  // character already).
  std::optional<WORD> Match(UINT message, WPARAM key, KeyModifiers modifiers) const;

 private:
  std::vector<ACCEL> entries_;
};

}  // namespace ui::shell
