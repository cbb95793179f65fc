// The engine against the step-by-step reference: random and mutated
// documents under random options and tag tables, pass by pass and whole.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "engine/engine.h"
#include "engine/passes.h"
#include "i18n/catalogue.h"
#include "reference/reference_engine.h"
#include "settings/option_table.h"
#include "settings/tag_tables.h"
#include "support/doc_generator.h"
#include "support/engine_run.h"
#include "support/scripted_interaction.h"

namespace tersify {
namespace {

namespace ref = tersify::reference;
using engine::Str;
using engine::Wide;
using testing::RandomDocument;
using testing::RandomSettings;
using testing::RunEngine;

// The engine's bytes for one pass, with the script marker shown as 0x8A as
// the reference shows it.
struct PassRunner {
  PassRunner(const std::string& doc, const OptimizationSettings& s) : settings(PassOptionsOf(s)) {
    const LowerTable& t = LowerTableFor(CodePage::Cp1252);
    const std::array<char, 3> free = testing::FreeMarkerBytes(t, doc);
    env = {&t, &settings, free[0], free[1], free[2]};
    wide = {&t, &settings, 0x100, 0x101, 0x10000};
  }
  static Str<Wide> Widen(const std::string& s) {
    Str<Wide> w;
    for (char c : s) w.push_back(static_cast<unsigned char>(c));
    return w;
  }
  static std::string Narrow(const Str<Wide>& w) {
    std::string s;
    for (Wide c : w) s.push_back(c >= 0x10000 ? '\x8a' : static_cast<char>(c & 0xFF));
    return s;
  }
  std::string Shown(std::string text) const {
    for (char& c : text)
      if (c == env.scriptMarker) c = '\x8a';
    return text;
  }
  PassOptions settings;
  engine::PassEnv<char> env;
  engine::PassEnv<Wide> wide;
};

// TERSIFY_DIFF_SCALE multiplies the number of rounds for longer hunts.
int Rounds(int base) {
  const char* scale = std::getenv("TERSIFY_DIFF_SCALE");
  return scale ? base * std::max(1, std::atoi(scale)) : base;
}

std::string Visible(const std::string& s) {
  std::ostringstream o;
  for (unsigned char c : s) {
    if (c >= 32 && c < 127)
      o << c;
    else
      o << "\\x" << std::hex << int(c) << std::dec;
  }
  return o.str();
}

std::string Describe(const OptimizationSettings& s, const TagRemovalTable& removal,
                     const TagReplacementTable& replacement) {
  std::ostringstream o;
  for (const OptionRow* row : kOptionFileOrder)
    if (row->type() == OptionType::Bool && row->key.substr(0, 2) == "cb")
      o << row->key << "=" << *GetOption(s, row->key) << " ";
  o << "\nremoval:";
  for (const auto& e : removal) o << " [" << Visible(e.tag) << (e.ticked ? "" : " unticked") << "]";
  o << "\nreplacement:";
  for (const auto& e : replacement)
    o << " [" << Visible(e.from) << " -> " << Visible(e.to) << (e.ticked ? "" : " unticked") << "]";
  return o.str();
}

// Passes that rewrite the text they are given, or write into a buffer that
// may hold an earlier text, as functions of the document.
template <class F>
std::string InPlace(std::string doc, F&& pass) {
  pass(doc);
  return doc;
}
template <class F>
std::string Into(const std::string& doc, F&& pass) {
  std::string out = "an earlier text that must not show";
  pass(doc, out);
  return out;
}

// Script cutting as bytes, or as wide symbols where the bytes cannot do.
std::string Cut(const std::string& doc, PassRunner& r) {
  using namespace engine;
  ScriptBlocks<char> bytesStore;
  std::string cut = "an earlier text that must not show";
  if (CutScripts<char>(doc, r.env, bytesStore, cut)) return r.Shown(cut);
  ScriptBlocks<Wide> store;
  Str<Wide> wide;
  EXPECT_TRUE(CutScripts<Wide>(r.Widen(doc), r.wide, store, wide));
  return r.Narrow(wide);
}

std::string Uncommented(const std::string& doc, PassRunner& r) {
  return r.Shown(
      Into(doc, [&](const std::string& t, std::string& out) { engine::RemoveComments<char>(t, r.env, out); }));
}

#define EXPECT_SAME(engineOut, refOut, doc) \
  EXPECT_EQ(Visible(engineOut), Visible(refOut)) << "document: " << Visible(doc)

// The line passes on bytes against the reference, each alone and the three
// as one walk.
void ExpectLinePassesMatch(const std::string& doc, const PassRunner& r) {
  using namespace engine;
  EXPECT_SAME(Into(doc, [&](const std::string& t, std::string& o) { TrimLines<char>(t, r.env, o); }),
              ref::RunPass(doc, [&](ref::Doc& d) { ref::TrimLines(d); }), doc);
  EXPECT_SAME(Into(doc, [&](const std::string& t, std::string& o) { RemoveBlankLines<char>(t, r.env, o); }),
              ref::RunPass(doc, [&](ref::Doc& d) { ref::RemoveBlankLines(d); }), doc);
  EXPECT_SAME(Into(doc, [&](const std::string& t, std::string& o) { RemoveEmptyLines<char>(t, r.env, o); }),
              ref::RunPass(doc, [&](ref::Doc& d) { ref::RemoveEmptyLines(d); }), doc);
  EXPECT_SAME(Into(doc,
                   [&](const std::string& t, std::string& o) {
                     TidyLines<char>(t, {true, true, true}, o);
                   }),
              ref::RunPass(doc,
                           [&](ref::Doc& d) {
                             ref::RemoveBlankLines(d);
                             ref::TrimLines(d);
                             ref::RemoveEmptyLines(d);
                           }),
              doc);
}

// The one-scan passes on bytes against the reference, each alone.
void ExpectCharPassesMatch(const std::string& doc, const PassRunner& r, const OptimizationSettings& s) {
  using namespace engine;
  EXPECT_SAME(Into(doc, [&](const std::string& t, std::string& o) { RemoveQuotes<char>(t, r.env, o); }),
              ref::RunPass(doc, [&](ref::Doc& d) { ref::RemoveQuotes(d, s); }), doc);
  EXPECT_SAME(InPlace(doc, [&](std::string& t) { TightenTagSpaces<char>(t, r.env); }),
              ref::RunPass(doc, [&](ref::Doc& d) { ref::TightenTagSpaces(d); }), doc);
  EXPECT_SAME(InPlace(doc, [&](std::string& t) { JoinTags<char>(t, r.env); }),
              ref::RunPass(doc, [&](ref::Doc& d) { ref::JoinTags(d); }), doc);
  EXPECT_SAME(InPlace(doc, [&](std::string& t) { RemoveAllTabs<char>(t, r.env); }),
              ref::RunPass(doc, [&](ref::Doc& d) { ref::RemoveAllTabs(d); }), doc);
  EXPECT_SAME(InPlace(doc, [&](std::string& t) { CollapseNbsp<char>(t, r.env); }),
              ref::RunPass(doc, [&](ref::Doc& d) { ref::CollapseNbsp(d, s); }), doc);
  EXPECT_SAME(InPlace(doc, [&](std::string& t) { CollapseSpaces<char>(t, r.env); }),
              ref::RunPass(doc, [&](ref::Doc& d) { ref::CollapseSpaces(d, s); }), doc);
  EXPECT_SAME(InPlace(doc, [&](std::string& t) { GlueLines<char>(t, r.env); }),
              ref::RunPass(doc, [&](ref::Doc& d) { ref::GlueLines(d); }), doc);
  ExpectLinePassesMatch(doc, r);
}

TEST(Differential, EachPassAlone) {
  std::mt19937 rng(1234);
  for (int round = 0; round < Rounds(1500); ++round) {
    std::string doc = RandomDocument(rng, 24);
    OptimizationSettings s = RandomSettings(rng);
    PassRunner r(doc, s);
    using namespace engine;
    EXPECT_SAME(Uncommented(doc, r), ref::RunPass(doc, [&](ref::Doc& d) { ref::RemoveComments(d, s); }), doc);
    ExpectCharPassesMatch(doc, r, s);
    const std::string cut = Cut(doc, r);
    EXPECT_SAME(cut, ref::RunPass(doc, [&](ref::Doc& d) { ref::CutScripts(d, s); }), doc);
    EXPECT_SAME(
        [&] {
          Str<Wide> out;
          RemoveComments<Wide>(r.Widen(doc), r.wide, out);
          return r.Narrow(out);
        }(),
        ref::RunPass(doc, [&](ref::Doc& d) { ref::RemoveComments(d, s); }), doc);
    std::string entry = testing::RandomEntry(rng);
    std::string rep = rng() % 2 ? std::string() : testing::RandomEntry(rng);
    if (rng() % 4 == 0) rep = entry;
    EXPECT_SAME(ProcessTag<char>(doc, r.env, entry, rep),
                ref::RunPass(doc, [&](ref::Doc& d) { ref::ProcessTag(d, entry, rep); }), doc)
        << " entry " << Visible(entry) << " -> " << Visible(rep);
    if (HasFailure()) break;
  }
}

// Long documents give the comment remover deep stacks of "<" to go back
// through, the white space passes long runs of changes and the quote pass
// many blocks of quotes.
TEST(Differential, CommentsAndSpacesOnLongDocuments) {
  std::mt19937 rng(4321);
  for (int round = 0; round < Rounds(150); ++round) {
    std::string doc = RandomDocument(rng, 300);
    OptimizationSettings s = RandomSettings(rng);
    s["cbOuttag"] = round % 4 != 0;
    PassRunner r(doc, s);
    using namespace engine;
    EXPECT_SAME(Uncommented(doc, r), ref::RunPass(doc, [&](ref::Doc& d) { ref::RemoveComments(d, s); }), doc);
    EXPECT_SAME(InPlace(doc, [&](std::string& t) { TightenTagSpaces<char>(t, r.env); }),
                ref::RunPass(doc, [&](ref::Doc& d) { ref::TightenTagSpaces(d); }), doc);
    EXPECT_SAME(InPlace(doc, [&](std::string& t) { CollapseSpaces<char>(t, r.env); }),
                ref::RunPass(doc, [&](ref::Doc& d) { ref::CollapseSpaces(d, s); }), doc);
    EXPECT_SAME(Into(doc, [&](const std::string& t, std::string& o) { RemoveQuotes<char>(t, r.env, o); }),
                ref::RunPass(doc, [&](ref::Doc& d) { ref::RemoveQuotes(d, s); }), doc);
    if (HasFailure()) break;
  }
}

// The passes look at sixteen bytes at a time: every snippet is tried at each
// place in such a block, with the bytes around it plain or themselves in
// the passes' way (spaces, quotes, line ends).
TEST(Differential, PassesAtEveryPlaceInABlock) {
  const std::vector<std::string> snippets = {
      "a <  b = \"c\" >  <d> = e",
      "> <",
      "x  \"y  z\"  w",
      "\"q\" <  > \"",
      "&nbsp;&nbsp;&nbsp;",
      "\"&nbsp;&nbsp;\"",
      "\r\n  \r\n\t\r\n\r\n x \r\n",
      "\r\r\n\n \t",
      "a\0b",
      "<!-- c --> <!-- \"",
      "<p><!--x--></p>",
      "<script>a\"/script\"</script>",
      "\"\" \"12\" \"#fff\"",
      "<b  c=\"\" >",
      "  =  ",
      "</script",
  };
  const std::vector<std::string> fillers = {"x", " ", "\"", "\r\n", "<", "xy z"};
  OptimizationSettings s;
  s["cbDelEmptyPar"] = true;
  s["cbOuttag"] = true;
  PassRunner r(snippets.front() + "xyz", s);
  using namespace engine;
  for (const std::string& snippet : snippets)
    for (const std::string& fill : fillers)
      for (std::size_t before = 0; before < 34; ++before) {
        std::string doc;
        while (doc.size() < before) doc += fill;
        doc.resize(before);
        doc += snippet;
        for (std::size_t after = 0; after < before % 7 * 3; ++after) doc += fill[after % fill.size()];
        ExpectCharPassesMatch(doc, r, s);
        EXPECT_SAME(Uncommented(doc, r), ref::RunPass(doc, [&](ref::Doc& d) { ref::RemoveComments(d, s); }), doc);
        EXPECT_SAME(Cut(doc, r), ref::RunPass(doc, [&](ref::Doc& d) { ref::CutScripts(d, s); }), doc);
        if (HasFailure()) return;
      }
}

// The line passes pass over runs of lines that they keep as they stand: one
// line they may change (or one that ends the text or breaks oddly) stands
// at every place after such a run, inside runs long enough to be looked at
// sixteen bytes at a time.
TEST(Differential, LinePassesFindTheOneLineToChange) {
  const std::vector<std::string> odd = {
      std::string("a\0b", 3), "x\ry", "x\ny", " lead", "trail\t", "", "\t", " ", "\n"};
  const OptimizationSettings s;
  PassRunner r("x", s);
  for (const std::string& line : odd)
    for (std::size_t at = 0; at < 40; ++at) {
      std::string doc = "<p>first</p>\r\n";
      for (std::size_t k = 0; k < at; ++k) doc += static_cast<char>('a' + k % 26);
      doc += "\r\n" + line + "\r\n" + std::string(at % 5, 'z') + "\r\nlast line, long enough\r\n";
      ExpectLinePassesMatch(doc, r);
      if (HasFailure()) return;
    }
}

// Script cutting jumps from one "sc" pair to the next and counts the quotes in
// between: long runs of letters, quotes and near misses around the words.
TEST(Differential, ScriptCuttingOverLongRunsOfText) {
  std::mt19937 rng(2468);
  const std::vector<std::string> pieces = {"a",  "s",      "c",       "S",        "C",         "sc",
                                           "Sc", "\"",     "\"\"",    "<script>", "</script>", "x ",
                                           "<",  "script", "/script", "SCRIPT ",  "<sCrIpT>",  "aaaaaaaaaaaaaaaaaaaa",
                                           "\n", ">"};
  for (int round = 0; round < Rounds(300); ++round) {
    std::string doc;
    const int count = 20 + static_cast<int>(rng() % 200);
    for (int i = 0; i < count; ++i) doc += pieces[rng() % pieces.size()];
    OptimizationSettings s = RandomSettings(rng);
    PassRunner r(doc, s);
    using namespace engine;
    const std::string cut = Cut(doc, r);
    EXPECT_SAME(cut, ref::RunPass(doc, [&](ref::Doc& d) { ref::CutScripts(d, s); }), doc);
    if (HasFailure()) break;
  }
}

TEST(Differential, WholeSequenceOnRandomDocuments) {
  std::mt19937 rng(98765);
  for (int round = 0; round < Rounds(1500); ++round) {
    std::string doc = LoadDocumentText(RandomDocument(rng, 40));
    OptimizationSettings s = RandomSettings(rng);
    TagRemovalTable removal = testing::RandomRemoval(rng);
    TagReplacementTable replacement = testing::RandomReplacement(rng);
    EXPECT_SAME(RunEngine(doc, s, removal, replacement), ref::Optimize(doc, s, removal, replacement, CodePage::Cp1252),
                doc)
        << Describe(s, removal, replacement);
    if (HasFailure()) break;
  }
}

// Documents holding every byte value leave no byte free for the markers: the
// engine then works on wide symbols.
TEST(Differential, DocumentsHoldingEveryByte) {
  std::mt19937 rng(555);
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  for (int round = 0; round < Rounds(60); ++round) {
    std::string doc = LoadDocumentText(RandomDocument(rng, 30) + all + RandomDocument(rng, 30));
    OptimizationSettings s = RandomSettings(rng);
    TagRemovalTable removal = testing::RandomRemoval(rng);
    TagReplacementTable replacement = testing::RandomReplacement(rng);
    EXPECT_SAME(RunEngine(doc, s, removal, replacement), ref::Optimize(doc, s, removal, replacement, CodePage::Cp1252),
                doc)
        << Describe(s, removal, replacement);
    if (HasFailure()) break;
  }
}

// Mutations of a realistic page: bytes dropped, doubled or swapped.
TEST(Differential, MutatedPages) {
  const std::string page = LoadDocumentText(
      "<!DOCTYPE html>\n<html><head><META name=\"generator\" content=\"x\">\n"
      "<style type=\"text/css\"><!-- body { color: red } --></style>\n"
      "<script language=\"javascript\"><!--\n var s = \"</script>\"; // -->\n</script>\n"
      "</head>\n<body bgcolor=\"#FFFFFF\" width=\"100%\" alt=\"\">\n\t<p class = \"a\" >Hello  &nbsp;&nbsp;&nbsp; "
      "world</p> \n"
      "   \t \n<!-- a comment --> <b>bold</b> <strong>x</strong>\n<table><tr><td width=\"50\">1</TD></tr></table>\n"
      "<noscript>n</noscript> script here </body></html>\n");
  TagRemovalTable removal = {{"!doctype", true}, {"name=\"generator\"", true}, {"/td", true}};
  TagReplacementTable replacement = {{"strong", "b", true}, {"b", "b", true}};
  std::mt19937 rng(4242);
  for (int round = 0; round < Rounds(800); ++round) {
    std::string doc = page;
    std::uniform_int_distribution<int> edits(1, 6);
    for (int k = edits(rng); k > 0; --k) {
      std::size_t at = std::uniform_int_distribution<std::size_t>(0, doc.size() - 1)(rng);
      switch (rng() % 4) {
        case 0:
          doc.erase(at, 1 + rng() % 8);
          break;
        case 1:
          doc.insert(at, doc.substr(at, 1 + rng() % 8));
          break;
        case 2:
          doc.insert(at, testing::TrickyFragments()[rng() % testing::TrickyFragments().size()]);
          break;
        default:
          std::swap(doc[at], doc[rng() % doc.size()]);
          break;
      }
      if (doc.empty()) doc = "x";
    }
    OptimizationSettings s = RandomSettings(rng);
    EXPECT_SAME(RunEngine(doc, s, removal, replacement), ref::Optimize(doc, s, removal, replacement, CodePage::Cp1252),
                doc)
        << Describe(s, removal, replacement);
    if (HasFailure()) break;
  }
}

// Every page of the folder named by TERSIFY_CORPUS, with the default options,
// "Max optimization" and scripts removed, against the reference.
TEST(Differential, CorpusPages) {
  const char* folder = std::getenv("TERSIFY_CORPUS");
  if (!folder || !*folder) GTEST_SKIP() << "TERSIFY_CORPUS is not set";
  TagTables tables = BuiltInTagTables();
  TickDefaultEntries(tables);
  OptimizationSettings normal;
  OptimizationSettings max;
  ApplyModePreset(max, kModeMax);
  OptimizationSettings dropScripts;
  dropScripts["cbDelScripts"] = true;
  int pages = 0;
  for (const auto& item : std::filesystem::recursive_directory_iterator(folder)) {
    if (!item.is_regular_file()) continue;
    std::ifstream in(item.path(), std::ios::binary);
    std::string doc = LoadDocumentText(std::string(std::istreambuf_iterator<char>(in), {}));
    for (const OptimizationSettings* s : {&normal, &max, &dropScripts}) {
      std::string mine = RunEngine(doc, *s, tables.removal, tables.replacement);
      std::string theirs = ref::Optimize(doc, *s, tables.removal, tables.replacement, CodePage::Cp1252);
      EXPECT_TRUE(mine == theirs) << item.path() << "\n" << Describe(*s, tables.removal, tables.replacement);
    }
    ++pages;
    if (HasFailure()) break;
  }
  RecordProperty("pages", pages);
}

}  // namespace
}  // namespace tersify
