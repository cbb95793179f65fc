#include "cli/interrupt.h"

#include <atomic>
#include <csignal>

#ifndef _WIN32
#include <signal.h>
#endif

namespace tersify::cli {

namespace {

// Written by the signal handler only; a lock-free atomic is safe there.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnInterrupt(int) { interrupted.store(true); }

}  // namespace

void InstallInterruptHandler() {
#ifdef _WIN32
  std::signal(SIGINT, OnInterrupt);
#else
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  // No SA_RESTART: a prompt waiting for input returns at once. SA_RESETHAND:
  // the second Ctrl-C takes the default action.
  sa.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &sa, nullptr);
#endif
}

bool Interrupted() { return interrupted.load(); }

}  // namespace tersify::cli
