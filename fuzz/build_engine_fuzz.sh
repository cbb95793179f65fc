#!/usr/bin/env bash
# Builds the engine fuzzer with libFuzzer, ASan and UBSan into build-fuzz-engine/.
set -euo pipefail
cd "$(dirname "$0")/.."
out=build-fuzz-engine
mkdir -p "$out"
srcs=(src/engine/*.cpp src/settings/options.cpp src/settings/ini_file.cpp src/platform/durable.cpp src/platform/read_file.cpp src/i18n/catalogue.cpp src/i18n/language_file.cpp src/i18n/ansi_text.cpp
      tests/reference/reference_engine.cpp)
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -Isrc -Itests \
  "${srcs[@]}" fuzz/engine_fuzz.cpp -o "$out/engine_fuzz"
echo "built $out/engine_fuzz"
