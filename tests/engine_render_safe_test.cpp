// The passes keep to markup, leave preformatted blocks byte for byte and keep
// a page's line breaks: worked pages (file bytes in, saved bytes out) through
// the engine and the step-by-step reference alike.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>

#include "engine/engine.h"
#include "i18n/catalogue.h"
#include "reference/reference_engine.h"
#include "settings/startup.h"
#include "support/scripted_interaction.h"

namespace tersify {
namespace {

struct Page {
  std::string name;
  std::map<std::string, std::string> set;  // options changed from the defaults
  std::string input;                       // the file's bytes
  std::string output;                      // the saved file's bytes
};

// Reads the worked pages file: a list of objects whose values are strings,
// or objects of small integers ("set").
class PagesReader {
 public:
  explicit PagesReader(std::string text) : s_(std::move(text)) {}

  std::vector<Page> Read() {
    std::vector<Page> pages;
    Expect('[');
    while (!Take(']')) {
      Take(',');
      Page page;
      Expect('{');
      while (!Take('}')) {
        Take(',');
        const std::string key = String();
        Expect(':');
        if (key == "set") {
          Expect('{');
          while (!Take('}')) {
            Take(',');
            std::string option = String();
            Expect(':');
            page.set[option] = Number();
          }
        } else {
          (key == "case" ? page.name : key == "input" ? page.input : page.output) = String();
        }
      }
      pages.push_back(std::move(page));
    }
    return pages;
  }

 private:
  void Skip() {
    while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
  }
  bool Take(char c) {
    Skip();
    if (i_ < s_.size() && s_[i_] == c) return ++i_, true;
    return false;
  }
  void Expect(char c) {
    if (!Take(c)) throw std::runtime_error(std::string("expected ") + c + " at " + std::to_string(i_));
  }
  std::string Number() {
    Skip();
    std::string n;
    while (i_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_]))) n += s_[i_++];
    return n;
  }
  std::string String() {
    Expect('"');
    std::string out;
    for (; s_.at(i_) != '"'; ++i_) {
      if (s_[i_] != '\\') {
        out += s_[i_];
        continue;
      }
      const char e = s_.at(++i_);
      out += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;  // \" and \\ stand for themselves
    }
    ++i_;
    return out;
  }

  std::string s_;
  std::size_t i_ = 0;
};

std::vector<Page> WorkedPages() {
  std::ifstream in(std::string(TERSIFY_SOURCE_DIR) + "/tests/data/render-safe.json", std::ios::binary);
  return PagesReader(std::string(std::istreambuf_iterator<char>(in), {})).Read();
}

// Further pages, one per rule the worked ones leave open.
const std::vector<Page> kMorePages = {
    {"replacement entry in prose, a real tag",
     {},
     "<p>a strong coffee</p>\n<strong>x</strong>\n",
     "<p>a strong coffee</p>\n<b>x</b>\n"},
    {"spaces at > and = only in markup", {}, "<p >5 > 3, x= 2</p >\n", "<p>5 > 3, x= 2</p>\n"},
    {"empty quotes in prose stay, an empty attribute goes",
     {},
     "<p>say \"\" or \"7\"</p><img alt=\"\">\n",
     "<p>say \"\" or \"7\"</p><img >\n"},
    {"comment inside textarea",
     {},
     "<textarea><!-- keep --></textarea>\n<!-- gone -->\n",
     "<textarea><!-- keep --></textarea>\n"},
    {"script dropped from a pre block",
     {{"cbDelScripts", "1"}},
     "<pre><script>x</script> a  b</pre>\n",
     "<pre> a  b</pre>\n"},
    {"closing word in a quoted value of the tag",
     {},
     "<script src=\"a/script\">x  =  1</script>\n",
     "<script src=\"a/script\">x  =  1</script>\n"},
};

std::string Visible(const std::string& s) {
  std::string o;
  for (char c : s) o += c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
  return o;
}

TEST(RenderSafe, PagesComeOutAsWorked) {
  std::vector<Page> pages = WorkedPages();
  ASSERT_EQ(pages.size(), 16u);
  pages.insert(pages.end(), kMorePages.begin(), kMorePages.end());
  const TagTables tables = StartupTagTables();
  MessageCatalogue catalogue;
  for (const Page& page : pages) {
    OptimizationSettings s;
    for (const auto& [key, value] : page.set) ASSERT_TRUE(SetOption(s, key, value)) << key;
    PassFailures failures;
    EngineContext ctx{PassOptionsOf(s), tables.removal, tables.replacement, failures, {}};
    const LineBreaks breaks = LineBreaksOf(page.input);
    std::string text = LoadDocumentText(page.input);
    ASSERT_EQ(Engine().OptimizeDocument(text, ctx), OptimizeResult::Done) << page.name;
    EXPECT_EQ(Visible(SaveDocumentText(text, breaks)), Visible(page.output)) << page.name;
    const std::string theirs =
        reference::Optimize(LoadDocumentText(page.input), s, tables.removal, tables.replacement, CodePage::Cp1252);
    EXPECT_EQ(Visible(SaveDocumentText(theirs, breaks)), Visible(page.output)) << page.name << " (reference)";
  }
}

}  // namespace
}  // namespace tersify
