// Entry points of the engine for tests only.
#pragma once

#include <functional>
#include <string_view>
#include <utility>

#include "engine/engine.h"

namespace tersify {

struct EngineTestAccess {
  static void SetHook(Engine& engine, std::function<void(std::string_view pass)> hook, bool mayFail) {
    engine.faultHook_ = std::move(hook);
    engine.hookMayFail_ = mayFail;
  }
  static void SetPieceBytes(Engine& engine, std::size_t bytes) { engine.pieceBytes_ = bytes; }
};

// Pages of eight times this size or more go through the middle passes in pieces
// of about this size, on one thread as well, so tests can cut small pages at
// many places.
inline void SetPieceSizeForTesting(Engine& engine, std::size_t bytes) {
  EngineTestAccess::SetPieceBytes(engine, bytes);
}

// Called with a pass's name before the pass runs; a hook that throws makes
// that pass fail, so tests can check how failures are reported.
inline void SetFaultHookForTesting(Engine& engine, std::function<void(std::string_view pass)> hook) {
  EngineTestAccess::SetHook(engine, std::move(hook), true);
}

// Called with a pass's name before the pass runs, for a hook that never throws
// (timing, counting): the run takes the same ways as without it.
inline void WatchPassesForTesting(Engine& engine, std::function<void(std::string_view pass)> hook) {
  EngineTestAccess::SetHook(engine, std::move(hook), false);
}

}  // namespace tersify
