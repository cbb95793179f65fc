// The tag slots of the sequence look for the entries still to come once, and
// after a call that changes the text only near its changes. These tests make
// changes that create occurrences of later entries at, before, after and
// across the changed places, and check the results against the reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/passes.h"
#include "i18n/catalogue.h"
#include "reference/reference_engine.h"
#include "support/doc_generator.h"
#include "support/engine_cases.h"
#include "support/engine_run.h"
#include "support/scripted_interaction.h"

namespace tersify {
namespace {

namespace ref = tersify::reference;
using engine::Str;
using engine::Wide;
using testing::RunEngine;

struct TagCase {
  const char* name;
  std::string input;
  TagRemovalTable removal;
  TagReplacementTable replacement;
  bool closedTagsAlso;
  std::string expected;
};

#if defined(__SSE2__) && (defined(__GNUC__) || defined(__clang__))
// The engine asks the processor itself; the C library's answers must agree.
TEST(TagCandidates, ProcessorOffersAgreeWithTheCompiler) {
  const engine::CpuOffers& offers = engine::ProcessorOffers();
  EXPECT_EQ(offers.ssse3, __builtin_cpu_supports("ssse3") != 0);
  EXPECT_EQ(offers.popcnt, __builtin_cpu_supports("popcnt") != 0);
  EXPECT_EQ(offers.avx2, __builtin_cpu_supports("avx2") != 0);
}
#endif

TEST(TagCandidates, ChangesThatCreateOccurrencesOfLaterEntries) {
  const std::vector<TagCase> cases = {
      // A removal leaves the entry right after the place it cut.
      {"after_a_removal", "<x <i>b> y", {{"i", true}}, {{"b", "strong", true}}, false, "<x strong> y"},
      // ... right before it: its byte after is the one that followed the cut tag.
      {"before_a_removal", "<b<i>>", {{"i", true}}, {{"b", "strong", true}}, false, "<strong>"},
      // ... across it: the two halves of the entry join.
      {"across_a_removal", "<st<i>rong>", {{"i", true}}, {{"strong", "b", true}}, false, "<b>"},
      // A later removal entry made by an earlier removal.
      {"removal_then_removal", "a <u<i>> b", {{"i", true}, {"u", true}}, {}, false, "a  b"},
      // The replacement text holds a later entry.
      {"replacement_holds_entry",
       "<em>t</em>",
       {},
       {{"em", "b x", true}, {"b", "strong", true}},
       true,
       "<strong x>t</strong x>"},
      // The replacement's last byte becomes the byte before a later entry.
      {"replacement_makes_byte_before", "<em>b>", {}, {{"em", "i<", true}, {">b", "Q", true}}, false, "<i<Q>"},
      // The replacement's first byte becomes the byte after a later entry.
      {"replacement_makes_byte_after", "<a b<em>", {}, {{"em", ">", true}, {"b<", "i", true}}, false, "<a i>>"},
      // Several changes, each making an occurrence far from the others.
      {"many_places",
       "<b<i>> q <b<i>> q <st<i>rong>",
       {{"i", true}},
       {{"b", "u", true}, {"strong", "s", true}},
       false,
       "<u> q <u> q <s>"},
      // An occurrence needs a byte on each side: at the text's very start or
      // end the entry made by a change stays.
      {"made_at_text_start", "<i>b>", {{"i", true}}, {{"b", "strong", true}}, false, "b>"},
      {"made_at_text_end", "<b<i>", {{"i", true}}, {{"b", "strong", true}}, false, "<b"},
      {"made_one_byte_in", "<<i>b>", {{"i", true}}, {{"b", "strong", true}}, false, "<strong>"},
      {"made_one_byte_before_end", "<b<i>>", {{"i", true}}, {{"b", "strong", true}}, false, "<strong>"},
      // An untaken occurrence before the first change that the change
      // completes stays untaken.
      {"untaken_before_first_change", " a<a<a>", {}, {{"a<a", "a>", true}}, false, " a<a>>"},
      {"untaken_before_first_removal", " a<a<a> b", {{"a<a", true}}, {}, false, " a b"},
      // A change inside quotes makes no occurrence that is taken.
      {"made_inside_quotes", "<a t=\"<b<i>>\">", {{"i", true}}, {{"b", "strong", true}}, false, "<a t=\"<b<i>>\">"},
      // Removal of the text between two parts that make an entry with the
      // parts of a longer one.
      {"longest_entry_reach", "<name=gen<i>erator c>x", {{"i", true}, {"name=generator", true}}, {}, false, "x"},
  };
  for (const TagCase& c : cases) {
    OptimizationSettings s;
    testsupport::AllPassesOff(s);
    s["cbClosedTagsAlso"] = c.closedTagsAlso;
    EXPECT_EQ(RunEngine(c.input, s, c.removal, c.replacement), c.expected) << c.name;
    EXPECT_EQ(ref::Optimize(c.input, s, c.removal, c.replacement, CodePage::Cp1252), c.expected) << c.name;
  }
}

// A removed tag that held a cut script block: its marker goes with it, and
// the blocks after it must still come back in their own places.
TEST(TagCandidates, RemovedTagsTakeScriptMarkersAlong) {
  OptimizationSettings s;
  testsupport::AllPassesOff(s);
  const std::string doc = "<p a=1 <script>one()</script> b>x<script>two()</script>y<b>z<p b <script>three()</script>>w";
  const TagRemovalTable removal = {{"b", true}};
  const std::string expected = "x<script>two()</script>yzw";
  EXPECT_EQ(RunEngine(doc, s, removal, {}), expected);
  EXPECT_EQ(ref::Optimize(doc, s, removal, {}, CodePage::Cp1252), expected);
}

// Picks three bytes for the markers that neither the text nor the entries use.
template <class Ch>
engine::PassEnv<Ch> EnvFor(const LowerTable& lower, const PassOptions& s, const std::string& used) {
  if constexpr (sizeof(Ch) == 1) {
    const std::array<char, 3> free = testing::FreeMarkerBytes(lower, used);
    return {&lower, &s, free[0], free[1], free[2]};
  } else {
    return {&lower, &s, 0x100, 0x101, 0x10000};
  }
}

template <class Ch>
Str<Ch> As(const std::string& s) {
  Str<Ch> out;
  for (char c : s) out.push_back(static_cast<Ch>(static_cast<unsigned char>(c)));
  return out;
}

const std::vector<std::string>& EntryPool() {
  static const std::vector<std::string> pool = {"b",   "i",   "/b",  "u",  "strong", "st",     "rong",   "em",  "b<",
                                                "x b", "<b",  "b b", ">b", "x\"",    "name=x", "p",      "P",   "\xc0",
                                                "s",   "/em", " ",   "-",  "ab",     "a",      "script", "a<a", "a>"};
  return pool;
}

// Short pieces that join into entries of the pool when a tag between them
// goes or a word in them is replaced.
std::string JoiningDocument(std::mt19937& rng) {
  static const std::vector<std::string> pieces = {"<i>", "<u>", "<i x>", "b", "B",  "st", "rong", "<",  ">",  " ",
                                                  "x",   "\"",  "em",    "/", "<b", "b>", "\r",   "\n", "\b", "ab"};
  std::string doc;
  for (int k = static_cast<int>(rng() % 16); k >= 0; --k) doc += pieces[rng() % pieces.size()];
  return doc;
}

// Finding the candidates near the edits of a call gives what a fresh search
// of the whole new text gives, for every entry not found before the call.
template <class Ch>
void CheckFinderAroundEdits(const LowerTable& lower, unsigned seed, int rounds) {
  std::mt19937 rng(seed);
  const auto& pool = EntryPool();
  int changed = 0;
  for (int round = 0; round < rounds; ++round) {
    const bool joining = round % 2 == 0;
    std::string doc = joining ? JoiningDocument(rng) : testing::RandomDocument(rng, 40);
    std::vector<std::string> entries;
    // One entry alone leaves the search no slack beyond its own length.
    for (int k = rng() % 2 ? 0 : static_cast<int>(rng() % 8); k >= 0; --k) entries.push_back(pool[rng() % pool.size()]);
    std::string entry = pool[rng() % pool.size()];
    std::string replacement = rng() % 2 ? std::string() : pool[rng() % pool.size()];
    if (rng() % 5 == 0) replacement = "<" + pool[rng() % pool.size()] + " " + pool[rng() % pool.size()] + ">";
    if (joining && rng() % 2 == 0) entry = rng() % 2 ? "i" : "u";
    std::string used = doc + entry + replacement;
    for (const auto& e : entries) used += e;
    const PassOptions s;
    const engine::PassEnv<Ch> env = EnvFor<Ch>(lower, s, used);
    const Str<Ch> before = As<Ch>(doc);

    std::vector<std::string_view> views(entries.begin(), entries.end());
    engine::TagCandidateFinder<Ch> finder(env, views);
    std::vector<bool> found(entries.size(), false);
    finder.Mark(before, found);

    auto start = engine::FindTagStart<Ch>(before, env, entry);
    const Str<Ch> plain = engine::ProcessTag<Ch>(before, env, entry, replacement);
    if (!start) {
      EXPECT_EQ(plain, before) << "a call without a start changed " << doc;
      continue;
    }
    engine::TextEdits edits;
    const Str<Ch> after = engine::ProcessTagFrom<Ch>(before, env, entry, replacement, *start, &edits);
    ASSERT_EQ(after, plain) << doc;
    changed += after != before ? 1 : 0;
    for (std::size_t k = 0; k < edits.ranges.size(); ++k) {
      EXPECT_LE(edits.ranges[k].begin, edits.ranges[k].end);
      EXPECT_LE(edits.ranges[k].begin, after.size());
      if (k > 0) {
        EXPECT_LT(edits.ranges[k - 1].end, edits.ranges[k].begin);
      }
    }

    std::vector<bool> around = found;
    finder.MarkAround(after, edits, around);
    std::vector<bool> fresh(entries.size(), false);
    finder.Mark(after, fresh);
    for (std::size_t k = 0; k < entries.size(); ++k)
      EXPECT_EQ(around[k], found[k] || fresh[k])
          << "entry [" << entries[k] << "] after [" << entry << "] -> [" << replacement << "] on [" << doc << "]";
    if (::testing::Test::HasFailure()) return;
  }
  EXPECT_GT(changed, rounds / 50);  // the rounds did exercise changes
}

TEST(TagCandidates, SearchAroundEditsMatchesWholeSearch) {
  CheckFinderAroundEdits<char>(LowerTableFor(CodePage::Cp1252), 77, 3000);
  CheckFinderAroundEdits<Wide>(LowerTableFor(CodePage::Cp1252), 78, 1000);
  CheckFinderAroundEdits<char>(LowerTableFor(CodePage::Cp1251), 79, 1000);
}

// With two capitals of one letter, an untaken occurrence may come back as the
// other capital: the call then cannot say where it changed the text.
// The whole search may name entries that do not occur, but never misses one
// that does: its letters in any case, with a valid byte before (8, LF,
// space, "<") and after (8, CR, space, ">"). Many entries with different
// first letters share the search's buckets; one-letter entries and letters
// of the code page's upper half are among them.
TEST(TagCandidates, WholeSearchMissesNoOccurrence) {
  const std::string letters = "abcdeilmnoprstuvxyz/!=\xc0\xc1\xe0\xe1";
  const std::string around = " <>\n\r\x08\"=/x";
  int occurring = 0, passedOver = 0;
  for (CodePage cp : {CodePage::Cp1252, CodePage::Cp1251, CodePage::Cp1250}) {
    const LowerTable& lower = LowerTableFor(cp);
    std::mt19937 rng(static_cast<unsigned>(cp) + 17);
    for (int round = 0; round < 300; ++round) {
      std::vector<std::string> entries;
      for (int k = 4 + static_cast<int>(rng() % 20); k > 0; --k) {
        std::string e;
        for (int n = 1 + static_cast<int>(rng() % 5); n > 0; --n) e += letters[rng() % letters.size()];
        entries.push_back(e);
      }
      // Text of letters in both cases and the bytes that matter around them,
      // with some entries written in, in random case.
      auto upper = [&](char c) {
        for (int b = 0; b < 256; ++b)
          if (b != static_cast<unsigned char>(c) && lower[static_cast<std::size_t>(b)] == static_cast<unsigned char>(c))
            return static_cast<char>(b);
        return c;
      };
      std::string text;
      for (int n = static_cast<int>(rng() % 300); n > 0; --n) {
        const unsigned kind = rng() % 10;
        if (kind < 4) {
          const char c = letters[rng() % letters.size()];
          text += rng() % 2 ? upper(c) : c;
        } else if (kind < 8) {
          text += around[rng() % around.size()];
        } else {
          for (char c : entries[rng() % entries.size()]) text += rng() % 3 ? c : upper(c);
        }
      }
      const PassOptions s;
      std::string used = text;
      for (const auto& e : entries) used += e;
      const auto env = EnvFor<char>(lower, s, used);
      std::vector<std::string_view> views(entries.begin(), entries.end());
      engine::TagCandidateFinder<char> finder(env, views);
      std::vector<bool> found(entries.size(), false);
      finder.Mark(text, found);
      engine::TagCandidateFinder<char> narrow(env, views, engine::Vectors::Narrow);
      std::vector<bool> foundNarrow(entries.size(), false);
      narrow.Mark(text, foundNarrow);
      EXPECT_EQ(foundNarrow, found) << "16 bytes a step: " << text;
      auto low = [&](char c) { return lower[static_cast<unsigned char>(c)]; };
      for (std::size_t k = 0; k < entries.size(); ++k) {
        const std::string& e = entries[k];
        bool occurs = false;
        for (std::size_t i = 1; i + e.size() < text.size() && !occurs; ++i) {
          bool same = true;
          for (std::size_t j = 0; j < e.size() && same; ++j) same = low(text[i + j]) == low(e[j]);
          const auto b = low(text[i - 1]), a = low(text[i + e.size()]);
          occurs =
              same && (b == 8 || b == '\n' || b == ' ' || b == '<') && (a == 8 || a == '\r' || a == ' ' || a == '>');
        }
        if (occurs) {
          ++occurring;
          EXPECT_TRUE(found[k]) << "entry [" << e << "] in [" << text << "]";
        } else if (!found[k]) {
          ++passedOver;
        }
      }
      if (HasFailure()) return;
    }
  }
  EXPECT_GT(occurring, 500);
  EXPECT_GT(passedOver, 500);  // the search does rule entries out
}

TEST(TagCandidates, MarkersThatDoNotRestoreReportTheWholeText) {
  LowerTable lower = LowerTableFor(CodePage::Cp1252);
  lower[0xC1] = 'b';  // a second capital of "b"
  const PassOptions s;
  const engine::PassEnv<char> env = EnvFor<char>(lower, s, "<b>x\xc1Yb <i> u \xc1");
  const std::string text = "<i> \xc1Y x";
  auto start = engine::FindTagStart<char>(text, env, "b");
  ASSERT_TRUE(start.has_value());
  engine::TextEdits edits;
  const std::string out = engine::ProcessTagFrom<char>(text, env, "b", "u", *start, &edits);
  EXPECT_EQ(out, "<i> BY x");
  EXPECT_TRUE(edits.whole);
  CheckFinderAroundEdits<char>(lower, 80, 1000);
}

TEST(TagCandidates, EditsOfRemovalsAndReplacements) {
  const PassOptions s;
  const LowerTable& lower = LowerTableFor(CodePage::Cp1252);
  const engine::PassEnv<char> env = EnvFor<char>(lower, s, "");
  auto run = [&](const std::string& text, const std::string& entry, const std::string& rep) {
    auto start = engine::FindTagStart<char>(text, env, entry);
    EXPECT_TRUE(start.has_value());
    engine::TextEdits edits;
    std::string out = engine::ProcessTagFrom<char>(text, env, entry, rep, *start, &edits);
    std::string shown = out + " |";
    for (const auto& r : edits.ranges) shown += " " + std::to_string(r.begin) + "-" + std::to_string(r.end);
    return shown;
  };
  // Removed tags leave bare boundaries where they stood.
  EXPECT_EQ(run("a<b>c<b x>d", "b", ""), "acd | 1-1 2-2");
  // A replacement's text is an edited range.
  EXPECT_EQ(run("<b>x<b>", "b", "strong"), "<strong>x<strong> | 1-7 10-16");
  // An occurrence made of the text put in and the symbols handed back: the
  // later change replaces the range of the earlier one.
  EXPECT_EQ(run("<b b b>", "b b", "b"), "<b> | 1-2");
  // A removal that reaches back over an earlier one keeps only its own boundary.
  EXPECT_EQ(run("<x <b> b>", "b", ""), " | 0-0");
  // An untaken occurrence handed back after the next change is not taken
  // when the change completes it.
  EXPECT_EQ(run(" a<a<a>", "a<a", "a>"), " a<a>> | 3-5");
  EXPECT_EQ(ref::RunPass(" a<a<a>", [](ref::Doc& d) { ref::ProcessTag(d, "a<a", "a>"); }), " a<a>>");
  EXPECT_EQ(run(" A<a<a>", "a<a", ""), " A | 2-2");
  // The text before the first change is not looked at again.
  EXPECT_EQ(run("<b\">\" <b>", "b", "i"), "<b\">\" <i> | 7-8");
}

// The pair search that also keeps the quote parity, against a plain loop,
// over lengths around its sixteen-byte steps and sets of one, two (a letter's
// cases, or not) and four bytes.
TEST(TagCandidates, PairSearchKeepsQuoteParity) {
  std::mt19937 rng(31337);
  const std::string alphabet = "sStT\"\"<> xaA";
  const std::vector<std::pair<std::string, std::string>> sets = {
      {"s", "t"}, {"sS", "tT"}, {"sx", "t"}, {"sS<\"", "tT>a"}, {"\"", "\""}};
  for (const auto& [a, b] : sets) {
    engine::ByteSet first, second;
    for (char c : a) first.add(static_cast<unsigned char>(c));
    for (char c : b) second.add(static_cast<unsigned char>(c));
    const engine::PairFinder finder(first, second);
    for (int round = 0; round < 400; ++round) {
      std::string text;
      for (std::size_t n = rng() % 70; n > 0; --n) text.push_back(alphabet[rng() % alphabet.size()]);
      const char* begin = text.data();
      const char* end = begin + text.size();
      const char* expected = end;
      for (const char* p = begin; end - p >= 2; ++p)
        if (a.find(p[0]) != std::string::npos && b.find(p[1]) != std::string::npos) {
          expected = p;
          break;
        }
      const bool expectedOdd = std::count(begin, expected, '"') % 2 == 1;
      bool odd = round % 2 == 1;
      const char* found = finder.find(begin, end, '"', odd);
      EXPECT_EQ(found - begin, expected - begin) << text;
      EXPECT_EQ(odd, expectedOdd != (round % 2 == 1)) << text;
      EXPECT_EQ(finder.find(begin, end) - begin, expected - begin) << text;
      const Str<Wide> wide = As<Wide>(text);
      bool wideOdd = false;
      EXPECT_EQ(finder.find(wide.data(), wide.data() + wide.size(), Wide('"'), wideOdd) - wide.data(),
                expected - begin);
      EXPECT_EQ(wideOdd, expectedOdd);
      if (HasFailure()) return;
    }
  }
}

// Long tag tables whose entries feed one another, through the whole sequence.
TEST(TagCandidates, ChainedTablesAgainstReference) {
  std::mt19937 rng(2468);
  const auto& pool = EntryPool();
  for (int round = 0; round < 600; ++round) {
    std::string doc = LoadDocumentText(testing::RandomDocument(rng, 50));
    OptimizationSettings s = testing::RandomSettings(rng);
    TagRemovalTable removal;
    for (int k = static_cast<int>(rng() % 6); k > 0; --k)
      removal.push_back({pool[rng() % pool.size()], rng() % 5 != 0});
    TagReplacementTable replacement;
    for (int k = static_cast<int>(rng() % 9); k > 0; --k) {
      std::string to = pool[rng() % pool.size()];
      if (rng() % 3 == 0) to += " " + pool[rng() % pool.size()];
      if (rng() % 4 == 0) to = "<" + to;
      replacement.push_back({pool[rng() % pool.size()], to, rng() % 5 != 0});
    }
    EXPECT_EQ(RunEngine(doc, s, removal, replacement), ref::Optimize(doc, s, removal, replacement, CodePage::Cp1252))
        << "document: " << doc;
    if (HasFailure()) break;
  }
}

// A group of replacement pairs in one sweep gives the text of ProcessTag
// called once per pair. The words feed one another (chains, pairs that
// undo or repeat an earlier one, a replacement equal to its entry), stand in
// and out of quotes and markup, in both cases and with national letters.
template <class Ch>
void CheckGroupsAgainstOneByOne(const LowerTable& lower, unsigned seed, int rounds) {
  std::mt19937 rng(seed);
  static const std::vector<std::string> words = {"b",  "B",    "i",    "em",    "Em",   "strong", "/b",  "/em", "s",
                                                 "st", "rong", "\xc0", "\xe0x", "code", "tt",     "a=1", "x"};
  static const std::vector<std::string> around = {" ", "<", ">", "\n", "\r", "\b", "\"", "=", "/", "\r\n", "\t"};
  int served = 0, changed = 0;
  for (int round = 0; round < rounds; ++round) {
    std::string doc = "<";
    // Long ones too, for the search sixteen bytes at a time.
    for (int k = static_cast<int>(rng() % (round % 2 ? 24 : 120)); k >= 0; --k) {
      const std::string& w = words[rng() % words.size()];
      const unsigned r = rng() % 4;
      doc += r == 0 ? "<" + w : r == 1 ? " " + w : r == 2 ? w + ">" : around[rng() % around.size()];
    }
    std::vector<std::string> texts;
    for (int k = static_cast<int>(rng() % 6) * 2 + 2; k > 0; --k) texts.push_back(words[rng() % words.size()]);
    std::vector<engine::TagPair> pairs;
    for (std::size_t k = 0; k + 1 < texts.size(); k += 2) pairs.push_back({texts[k], texts[k + 1]});
    std::string used = doc;
    for (const auto& t : texts) used += t;
    const PassOptions s;
    const engine::PassEnv<Ch> env = EnvFor<Ch>(lower, s, used);
    const Str<Ch> before = As<Ch>(doc);
    Str<Ch> oneByOne = before;
    for (const auto& p : pairs)
      oneByOne = engine::ProcessTag<Ch>(oneByOne, env, std::string(p.entry), std::string(p.replacement));
    Str<Ch> out = As<Ch>("untouched");
    const std::optional<bool> together = engine::ReplaceTagsTogether<Ch>(before, env, pairs, out);
    if (!together) continue;  // a capital shared by two letters of the code page
    ++served;
    changed += oneByOne != before ? 1 : 0;
    EXPECT_EQ(*together ? out : before, oneByOne) << "document [" << doc << "]";
    Str<Ch> narrow;
    EXPECT_EQ(engine::ReplaceTagsTogether<Ch>(before, env, pairs, narrow, engine::Vectors::Narrow), together);
    if (*together) {
      EXPECT_EQ(narrow, out) << "16 bytes a step, document [" << doc << "]";
    }
    if (!*together) {
      EXPECT_EQ(out, As<Ch>("untouched"));
    }
    if (::testing::Test::HasFailure()) return;
  }
  EXPECT_GT(served, rounds / 2);
  EXPECT_GT(changed, rounds / 4);
}

TEST(TagGroups, TogetherGivesTheTextOfOneByOne) {
  CheckGroupsAgainstOneByOne<char>(LowerTableFor(CodePage::Cp1252), 91, 4000);
  CheckGroupsAgainstOneByOne<Wide>(LowerTableFor(CodePage::Cp1252), 92, 1000);
  CheckGroupsAgainstOneByOne<char>(LowerTableFor(CodePage::Cp1251), 93, 1000);
}

// Pairs whose texts hold a byte that bounds an occurrence or counts for its
// tests, and pairs that remove tags, are left to ProcessTag.
TEST(TagGroups, LeavesOtherPairsToOneByOne) {
  const LowerTable& lower = LowerTableFor(CodePage::Cp1252);
  const PassOptions s;
  const engine::PassEnv<char> env = EnvFor<char>(lower, s, "<b> x");
  const std::vector<std::vector<engine::TagPair>> declined = {
      {{"b", ""}},   {{"x b", "i"}}, {{"b<", "i"}},  {{"b", "i\""}}, {{"b", "<i"}},
      {{"b", "i>"}}, {{"b", "i\r"}}, {{"b", "i\n"}}, {{"b", "\bi"}}, {{"em", "i"}, {"b", "x y"}}};
  std::string out = "untouched";
  for (const auto& pairs : declined) {
    EXPECT_FALSE(engine::ReplaceTagsTogether<char>("<b> x", env, pairs, out)) << pairs.back().replacement;
    EXPECT_EQ(out, "untouched");
  }
  EXPECT_EQ(engine::ReplaceTagsTogether<char>("<b> x", env, {{"B", "strong"}, {"X", "i"}}, out), true);
  EXPECT_EQ(out, "<strong> x");
}

}  // namespace
}  // namespace tersify
