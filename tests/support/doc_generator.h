// Random documents and option sets that trip the engine's passes, for the
// differential tests and the fuzzer.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "settings/option_table.h"
#include "settings/options.h"
#include "settings/tag_tables.h"

namespace tersify::testing {

inline const std::vector<std::string>& TrickyFragments() {
  static const std::vector<std::string> f = {"\"",
                                             "\"",
                                             "\"",
                                             "<",
                                             "<",
                                             ">",
                                             ">",
                                             "=",
                                             " = ",
                                             "--",
                                             "-",
                                             "!--",
                                             "<!--",
                                             "-->",
                                             "<!-- ",
                                             " -->",
                                             "script",
                                             "SCRIPT",
                                             "/script",
                                             "<script>",
                                             "</script>",
                                             "<script src=\"a\">",
                                             " script ",
                                             "Script>",
                                             "style",
                                             "<style>",
                                             "</style>",
                                             "STYLE ",
                                             "&nbsp;",
                                             "&nbsp;&nbsp;",
                                             "&NBSP;",
                                             "\t",
                                             "\t\t",
                                             "\r\n",
                                             "\r",
                                             "\n",
                                             " ",
                                             "  ",
                                             "   ",
                                             "p",
                                             "b",
                                             "/b",
                                             "<b>",
                                             "</b>",
                                             "<p>",
                                             "</P>",
                                             "strong",
                                             "<strong a=1>",
                                             "name=\"x\"",
                                             "name=x",
                                             "<meta name=\"x\" content=\"y\">",
                                             "50",
                                             "\"50\"",
                                             "\"100%\"",
                                             "\"#fff\"",
                                             "\"\"",
                                             "a=\"\"",
                                             " alt=\"\"",
                                             "#",
                                             "%",
                                             "x",
                                             "ab",
                                             "\b",
                                             "<!doctype html>",
                                             "!DOCTYPE",
                                             "> <",
                                             ">  <",
                                             "\x8a",
                                             "\x9f",
                                             "\xa4",
                                             "\xa5",
                                             "\xa6",
                                             "\xac",
                                             "\xaf",
                                             "\xc0",
                                             "\xe0",
                                             "\x9a",
                                             "<pre>",
                                             "</pre>",
                                             "<PRE x>",
                                             "</pre ",
                                             "<textarea\t",
                                             "</textarea>",
                                             "<xmp>",
                                             "</xmp"};
  return f;
}

inline std::string RandomDocument(std::mt19937& rng, std::size_t maxPieces) {
  const auto& f = TrickyFragments();
  std::uniform_int_distribution<std::size_t> count(0, maxPieces);
  std::uniform_int_distribution<std::size_t> pick(0, f.size() - 1);
  std::uniform_int_distribution<int> byte(1, 255);
  std::uniform_int_distribution<int> coin(0, 19);
  std::string doc;
  for (std::size_t n = count(rng), i = 0; i < n; ++i) {
    if (coin(rng) == 0)
      doc.push_back(static_cast<char>(byte(rng)));
    else
      doc += f[pick(rng)];
  }
  return doc;
}

inline OptimizationSettings RandomSettings(std::mt19937& rng) {
  std::bernoulli_distribution b(0.5);
  OptimizationSettings s;
  for (const auto& row : kOptionTable)
    if (IsPassSwitch(row)) SetOption(s, row.key, b(rng) ? "1" : "0");
  s.cbShowInfo = b(rng);
  return s;
}

inline std::string RandomEntry(std::mt19937& rng) {
  static const std::vector<std::string> e = {"b",    "p", "/p", "B",      "strong", "!doctype", "name=\"x\"", "name=x",
                                             "font", "i", "s",  "script", "<b",     "b b",      "\"",         "x\"",
                                             "-",    " ", "a",  "ab",     "P",      "\xc0",     "style"};
  std::uniform_int_distribution<std::size_t> pick(0, e.size() - 1);
  return e[pick(rng)];
}

inline TagRemovalTable RandomRemoval(std::mt19937& rng) {
  std::uniform_int_distribution<int> n(0, 3);
  std::bernoulli_distribution tick(0.8);
  TagRemovalTable t;
  for (int i = n(rng); i > 0; --i) t.push_back({RandomEntry(rng), tick(rng)});
  return t;
}

inline TagReplacementTable RandomReplacement(std::mt19937& rng) {
  std::uniform_int_distribution<int> n(0, 3);
  std::bernoulli_distribution tick(0.8);
  std::uniform_int_distribution<int> kind(0, 4);
  TagReplacementTable t;
  for (int i = n(rng); i > 0; --i) {
    std::string from = RandomEntry(rng);
    std::string to;
    switch (kind(rng)) {
      case 0:
        to = from;
        break;  // a pair that reproduces itself
      case 1:
        to = "\"" + from + " " + from + "\"";
        break;  // holding its entry twice
      case 2:
        to = "";
        break;
      default:
        to = RandomEntry(rng);
        break;
    }
    t.push_back({from, to, tick(rng)});
  }
  return t;
}

}  // namespace tersify::testing
