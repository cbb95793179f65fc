#include "cli/cli_options.h"

#include <charconv>

#include "settings/options.h"

namespace tersify::cli {

const char* UsageText() {
  return R"(Usage: tersify-cli [OPTIONS] INPUT

Optimizes one HTML file and writes the result to standard output. INPUT is a
file, or - for standard input. Line breaks of the result are CR LF.

Options:
  --set KEY=VALUE       set one option, as in Options.dat: booleans 0/1
                        (cbDelCRLF=1, cbDelScripts=1, cbDelComments=0, ...),
                        integers (comboMode=1) or texts. May be repeated; applied
                        in order after the defaults (and after --options).
  --options FILE        read the options from an Options.dat file first.
  --codepage N          the single-byte code page of the text: 1250, 1251 or
                        1252 (default 1252); it decides how letters are
                        lower-cased when tags and keywords are matched.
  --tags-change FILE    the tag replacement table, in the layout of
                        Tagschange.dat (default: the built-in table).
  --tags-delete FILE    the tag removal table, in the layout of Tagsdelete.dat
                        (default: the built-in table).
  -h, --help            show this help and exit.

Exit status: 0 success, 1 an input or output failure, 2 a usage error.

Examples:
  tersify-cli page.html > page.min.html
  tersify-cli --set cbDelCRLF=1 --set cbDelScripts=1 - < in.html > out.html
)";
}

namespace {

bool TakeValue(const std::vector<std::string>& args, size_t& i, const std::string& flag, std::string& value,
               std::string& error) {
  const std::string& a = args[i];
  if (a.size() > flag.size() && a.compare(0, flag.size(), flag) == 0 && a[flag.size()] == '=') {
    value = a.substr(flag.size() + 1);
    return true;
  }
  if (i + 1 >= args.size()) {
    error = flag + " needs a value";
    return false;
  }
  value = args[++i];
  return true;
}

bool FlagIs(const std::string& arg, const std::string& flag) {
  return arg == flag || (arg.size() > flag.size() && arg.compare(0, flag.size(), flag) == 0 && arg[flag.size()] == '=');
}

}  // namespace

ParseResult ParseArguments(const std::vector<std::string>& args) {
  ParseResult r;
  CliOptions& o = r.options;
  bool onlyPaths = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string value;
    if (onlyPaths || a == "-" || a.empty() || a[0] != '-') {
      o.paths.push_back(a);
    } else if (a == "--") {
      onlyPaths = true;
    } else if (a == "-h" || a == "--help") {
      o.help = true;
    } else if (FlagIs(a, "--set")) {
      if (!TakeValue(args, i, "--set", value, r.error)) return r;
      auto eq = value.find('=');
      if (eq == std::string::npos || eq == 0) {
        r.error = "--set needs KEY=VALUE, got '" + value + "'";
        return r;
      }
      std::string key = value.substr(0, eq);
      if (!OptionTypeOf(key)) {
        r.error = "unknown option key '" + key + "'";
        return r;
      }
      OptimizationSettings probe;
      if (!SetOption(probe, key, value.substr(eq + 1))) {
        r.error = "bad value '" + value.substr(eq + 1) + "' for option key '" + key + "'";
        return r;
      }
      o.sets.emplace_back(key, value.substr(eq + 1));
    } else if (FlagIs(a, "--codepage")) {
      if (!TakeValue(args, i, "--codepage", value, r.error)) return r;
      int n = 0;
      auto [p, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
      auto cp = (ec == std::errc() && p == value.data() + value.size()) ? CodePageFromNumber(n) : std::nullopt;
      if (!cp) {
        r.error = "bad code page '" + value + "' (1250, 1251 or 1252)";
        return r;
      }
      o.codePage = cp;
    } else if (FlagIs(a, "--tags-change")) {
      if (!TakeValue(args, i, "--tags-change", value, r.error)) return r;
      o.tagsChange = value;
    } else if (FlagIs(a, "--tags-delete")) {
      if (!TakeValue(args, i, "--tags-delete", value, r.error)) return r;
      o.tagsDelete = value;
    } else if (FlagIs(a, "--options")) {
      if (!TakeValue(args, i, "--options", value, r.error)) return r;
      o.optionsFile = value;
    } else {
      r.error = "unknown flag '" + a + "'";
      return r;
    }
  }
  if (!o.help && o.paths.size() != 1) r.error = o.paths.empty() ? "no INPUT given" : "give exactly one INPUT";
  return r;
}

}  // namespace tersify::cli
