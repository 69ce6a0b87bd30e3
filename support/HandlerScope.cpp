#include "HandlerScope.h"
#include <algorithm>
#include <vector>

namespace {
uint64_t LastId = 0;
// Handlers run on the GUI thread only, one inside another's wait at most.
std::vector<uint64_t> &Stack() {
  static std::vector<uint64_t> stack;
  return stack;
}
}  // namespace

THandlerScope::THandlerScope() { Stack().push_back(++LastId); }
THandlerScope::~THandlerScope() { Stack().pop_back(); }

uint64_t THandlerScope::Current() { return Stack().empty() ? 0 : Stack().back(); }

bool THandlerScope::Running(uint64_t Id) { return std::find(Stack().begin(), Stack().end(), Id) != Stack().end(); }
