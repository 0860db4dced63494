// The fault rules in force: those given on the command line (kept across a reset, re-armed)
// and those added at run time. Thread-safe; the newest matching rule wins.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tools/tileserver/FaultRule.h"

namespace tileserver {

class RuleSet {
 public:
  static constexpr size_t kMaxRules = 1024;

  // Adds a rule given on the command line; it survives Reset.
  void AddBase(const FaultRule& rule);
  // Adds a run-time rule. False when kMaxRules are in force already.
  bool Add(const FaultRule& rule);
  // Adds all or, when they would pass kMaxRules, none.
  bool AddAll(const std::vector<FaultRule>& rules);
  // Drops the run-time rules and re-arms the base rules' "times".
  void Reset();

  // The rule for this request, if any; counts one use of a rule limited by "times".
  std::optional<FaultRule> Match(const TileKey& key);

  // One line per rule in force, newest last; spent rules are marked.
  std::string Describe() const;

 private:
  struct Slot {
    FaultRule rule;
    int usesLeft;  // meaningful when rule.times > 0
  };

  mutable std::mutex mutex_;
  std::vector<FaultRule> base_;
  std::vector<Slot> slots_;
};

}  // namespace tileserver
