// The two forms of a text being rewritten: one buffer with a gap, and a
// source that is only read with the output in a buffer of its own. The tag
// pass, script cutting and comment removal use the second; random edits
// must leave both in the same state.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "engine/text.h"

namespace tersify {
namespace {

using engine::GapText;
using engine::SplitText;

void ExpectSameState(GapText<char>& gap, SplitText<char>& split, const std::string& what) {
  ASSERT_EQ(gap.outSize(), split.outSize()) << what;
  ASSERT_EQ(gap.restSize(), split.restSize()) << what;
  ASSERT_EQ(gap.atEnd(), split.atEnd()) << what;
  for (std::size_t i = 0; i < gap.outSize(); ++i) ASSERT_EQ(gap.out(i), split.out(i)) << what << " out " << i;
  for (std::size_t k = 0; k < gap.restSize(); ++k) ASSERT_EQ(gap.ahead(k), split.ahead(k)) << what << " ahead " << k;
  ASSERT_EQ(gap.size(), split.size()) << what;
  for (std::size_t i = 0; i < gap.size(); ++i) ASSERT_EQ(gap.at(i), split.at(i)) << what << " at " << i;
  std::string rest = "x";
  split.copyRest(split.restSize(), rest);
  EXPECT_EQ(rest, "x" + std::string(gap.restData(), gap.restSize())) << what;
  if (split.restIsSource() && split.restSize() > 0) {
    EXPECT_EQ(std::string(split.restData(), split.restSize()), std::string(gap.restData(), gap.restSize())) << what;
  }
}

TEST(SplitText, RandomEditsMatchTheGapText) {
  std::mt19937 rng(99);
  for (int round = 0; round < 400; ++round) {
    std::string source;
    for (int n = static_cast<int>(rng() % 60); n > 0; --n) source += static_cast<char>('a' + rng() % 26);
    GapText<char> gap(source);
    std::string out = "an earlier text";
    SplitText<char> split(source.data(), source.size(), out);
    std::string log;
    for (int step = 0; step < 40; ++step) {
      const std::size_t rest = gap.restSize();
      const std::size_t written = gap.outSize();
      switch (rng() % 9) {
        case 0:
          if (rest == 0) break;
          gap.emit(), split.emit(), log += "emit ";
          break;
        case 1:
          if (rest == 0) break;
          gap.emitAs('#'), split.emitAs('#'), log += "emitAs ";
          break;
        case 2: {
          const std::size_t k = rng() % (rest + 1);
          gap.emitN(k), split.emitN(k), log += "emitN" + std::to_string(k) + " ";
          break;
        }
        case 3: {
          const std::size_t k = rng() % (rest + 1);
          gap.skip(k), split.skip(k), log += "skip" + std::to_string(k) + " ";
          break;
        }
        case 4: {
          const std::size_t to = rng() % (written + 1);
          gap.truncate(to), split.truncate(to), log += "truncate" + std::to_string(to) + " ";
          break;
        }
        case 5:
        case 6: {
          const std::size_t k = rng() % (written + 1);
          gap.pushBack(k), split.pushBack(k), log += "pushBack" + std::to_string(k) + " ";
          break;
        }
        case 7: {
          std::string s;
          for (int n = static_cast<int>(rng() % 5); n > 0; --n) s += static_cast<char>('A' + rng() % 26);
          gap.insert(s.data(), s.size()), split.insert(s.data(), s.size()), log += "insert" + s + " ";
          break;
        }
        case 8:
          gap.put('*'), split.put('*'), log += "put ";
          break;
      }
      if (written > 0 && gap.outSize() > 0) {
        gap.outAt(0) = '!';
        split.outAt(0) = '!';
        ASSERT_EQ(gap.last(), split.last()) << log;
      }
      ExpectSameState(gap, split, source + ": " + log);
    }
    gap.emitN(gap.restSize());
    split.emitRest();
    EXPECT_EQ(std::move(gap).finish(), out) << source << ": " << log;
  }
}

}  // namespace
}  // namespace tersify
