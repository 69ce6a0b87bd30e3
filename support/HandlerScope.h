#pragma once
// Every event handler runs in a scope of its own (RunGuarded opens one). The board session uses
// it to tell a command's own nested steps from a command that another handler starts while the
// first one waits for the board: handlers run inside waits, because waits keep the program
// responsive.
#include <cstdint>
#include <functional>

class THandlerScope {
public:
  THandlerScope();
  ~THandlerScope();
  THandlerScope(const THandlerScope &) = delete;
  THandlerScope &operator=(const THandlerScope &) = delete;

  // The innermost handler running now (0: none), and whether `Id` is still running further out.
  static uint64_t Current();
  static bool Running(uint64_t Id);
};

// Thrown when a handler starts a command while another command holds the board. RunGuarded
// catches it and hands the whole handler to Defer, which runs it again once the board is free.
struct ECommandDeferred {
  std::function<void(std::function<void()> Handler)> Defer;
};
