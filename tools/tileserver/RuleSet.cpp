#include "tools/tileserver/RuleSet.h"

namespace tileserver {

void RuleSet::AddBase(const FaultRule& rule) {
  std::lock_guard<std::mutex> lock(mutex_);
  base_.push_back(rule);
  slots_.push_back(Slot{rule, rule.times});
}

bool RuleSet::Add(const FaultRule& rule) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (slots_.size() >= kMaxRules) return false;
  slots_.push_back(Slot{rule, rule.times});
  return true;
}

bool RuleSet::AddAll(const std::vector<FaultRule>& rules) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (slots_.size() + rules.size() > kMaxRules) return false;
  for (const FaultRule& rule : rules) slots_.push_back(Slot{rule, rule.times});
  return true;
}

void RuleSet::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  slots_.clear();
  for (const FaultRule& rule : base_) slots_.push_back(Slot{rule, rule.times});
}

std::optional<FaultRule> RuleSet::Match(const TileKey& key) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = slots_.rbegin(); it != slots_.rend(); ++it) {
    if (!it->rule.Matches(key)) continue;
    if (it->rule.times > 0) {
      if (it->usesLeft == 0) continue;
      --it->usesLeft;
    }
    return it->rule;
  }
  return std::nullopt;
}

std::string RuleSet::Describe() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string out;
  for (const Slot& slot : slots_) {
    out += slot.rule.text;
    if (slot.rule.times > 0 && slot.usesLeft == 0) out += "\t(spent)";
    out += '\n';
  }
  return out;
}

}  // namespace tileserver
