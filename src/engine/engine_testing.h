// Entry points of the engine for tests only.
#pragma once

#include <functional>
#include <string_view>
#include <utility>

#include "engine/engine.h"

namespace tersify {

struct EngineTestAccess {
  static void SetFaultHook(Engine& engine, std::function<void(std::string_view pass)> hook) {
    engine.faultHook_ = std::move(hook);
  }
};

// Called with a pass's name before the pass runs; a hook that throws makes
// that pass fail, so tests can check how failures are reported.
inline void SetFaultHookForTesting(Engine& engine, std::function<void(std::string_view pass)> hook) {
  EngineTestAccess::SetFaultHook(engine, std::move(hook));
}

}  // namespace tersify
