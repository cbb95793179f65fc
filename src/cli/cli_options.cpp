#include "cli/cli_options.h"

#include <charconv>

#include "settings/options.h"

namespace tersify::cli {

const char* UsageText() {
  return R"(Usage: tersify-cli [OPTIONS] PATH...
       tersify-cli [SETTINGS] FILE|-

Optimizes HTML files. Each PATH is an HTML file (.htm, .html), a folder, whose
HTML files are taken (with -r also those of its sub-folders), or a file list
(.lst: one line per file, "+ " or "- " and the full path; "- " lines are left
out). HTML files are exactly those named .htm or .html, in any letter case:
.h, .ht, .shtml or a name ending with a dot are not taken.

Filter form: a single FILE (or - for standard input) with none of the batch
flags below is optimized to standard output; - always is. Every result keeps
its page's line breaks: LF when the page holds no CR, CR LF otherwise.

Where the results go:
  -o, --out DIR         write optimized copies into DIR and leave the sources
                        unchanged (the default mode; DIR defaults to the
                        options' output folder, "optimized" beside the program).
                        Each file goes to the path it has below the folder
                        argument it was found in (sub-folders are made), so
                        same-named files never meet; files named one by one
                        go to the top of DIR.
      --in-place        modify the source files; each is first moved into the
                        backup folder.
      --backup DIR      with --in-place: the backup folder (default: the
                        options' backup folder, "backup" beside the program),
                        laid out as -o is.
      --flat            every copy or backup on top of its folder under its
                        name alone, as the desktop program keeps them; files
                        of the same name then meet (give it to --restore too).
      --no-backup       with --in-place: keep no backup (cannot be restored).
      --overwrite WHAT  an output or backup file that is already there:
                          ask    ask each time (the default on a terminal), with
                                 the choices of the desktop program: overwrite,
                                 overwrite all, skip, skip all, overwrite all
                                 older (backups), new name, rename
                          all    overwrite every one
                          skip   keep every one (the file is counted, not written)
                          older  replace a backup only when the source's date is
                                 later; otherwise leave the backup and the source
                                 untouched (needs --in-place with backups)
                          fail   touch neither, name the file and go on; the
                                 exit status is 1 (the default without a terminal)
      --restore         undo an earlier run over the given PATHs: with
                        --in-place the backups are moved back over the files;
                        otherwise the copies in the output folder are deleted.
                        With a run record, only copies and files that hold
                        what the run wrote are touched; others are named and
                        left in place.
      --dry-run         write nothing; report what would become of each file's
                        copy or backup, and the sizes; exit as the run would.
                        With --restore: report what would be restored.

Which files:
  -r, --recursive       take the files of sub-folders too.
      --max-depth N     how deep into sub-folders (0: the folder alone); implies -r.
      --max-files N     take at most N files.

Settings (applied in this order):
      --options FILE    read an Options.dat file; the tag tables Tagschange.dat
                        and Tagsdelete.dat beside it are read too.
      --mode MODE       normal or max: apply that optimization preset.
      --set KEY=VALUE   set one option, as in Options.dat: booleans 0/1
                        (cbDelCRLF=1, cbDelScripts=1, cbDelComments=0, ...),
                        integers (comboMode=1) or texts. May be repeated.
      --tags-change FILE  the tag replacement table (layout of Tagschange.dat).
      --tags-delete FILE  the tag removal table (layout of Tagsdelete.dat).
      --codepage N      the single-byte code page of the documents: 1250, 1251
                        or 1252 (default 1252).
  The flags above decide the mode, folders and file choice; without --options
  the built-in defaults are used.

Running:
  -j, --jobs N          optimize N files at a time (default: the number of
                        processors). Files are still written one by one in
                        order, so the results equal those of -j 1. Where
                        files go one at a time, a page of 4 MB or more is
                        shared among N threads.
  -q, --quiet           no progress bar and no summary.
      --json            print the summary and every file's sizes and ratio as
                        JSON on standard output.
  -h, --help            show this help and exit.
      --version         show the program's version and exit.
  Short flags combine: -rq is -r -q, and -rqo DIR ends with -o's value.

The run record: each output or backup folder a run writes to holds
.tersify-record, one line per page (source, path written, backup, size and
SHA-256 of the page written and of its original), flushed before the page is
written. --restore reads it, and an existing backup that holds a page's
original is never replaced by a page this program wrote (whatever --overwrite
says) nor by another page.

A progress bar is shown on standard error when it is a terminal. Ctrl-C stops
after the current file; no file is left half written.

Exit status: 0 success; 1 a file could not be read, optimized or written, or
an existing file was refused by --overwrite fail (the other files are still
done); 2 a usage error; 130 interrupted by Ctrl-C.

Examples:
  tersify-cli page.html > page.min.html
  tersify-cli --set cbDelCRLF=1 - < in.html > out.html
  tersify-cli -r -o out/ site/
  tersify-cli --in-place --backup bak/ -r site/
  tersify-cli --restore --in-place --backup bak/ -r site/
  tersify-cli --mode max --dry-run --json site/index.html site/list.lst
)";
}

#ifndef TERSIFY_VERSION
#define TERSIFY_VERSION "unknown"
#endif

const char* VersionText() { return "tersify-cli " TERSIFY_VERSION "\n"; }

bool CliOptions::AnyBatchFlag() const {
  return outDir || inPlace || backupDir || noBackup || recursive || flat || maxDepth || maxFiles || overwrite ||
         restore || jobs || dryRun || quiet || json;
}

namespace {

// The short flags that take no value, which may be combined ("-rq").
bool IsPlainShortFlag(char c) { return c == 'h' || c == 'q' || c == 'r'; }

class ArgReader {
 public:
  ArgReader(std::vector<std::string> args, std::string& error) : args_(std::move(args)), error_(error) {}

  bool Done() const { return i_ >= args_.size(); }
  const std::string& Current() const { return args_[i_]; }
  void Next() { ++i_; }

  // Splits combined short flags at the reader's position: "-rq" becomes
  // "-r" and "-q", "-rj4" becomes "-r" and "-j4". Only a flag's own position
  // is split, never the value a flag before it takes.
  void SplitCombined() {
    const std::string a = args_[i_];
    if (a.size() < 3 || a[0] != '-' || a[1] == '-' || !IsPlainShortFlag(a[1])) return;
    args_[i_] = a.substr(0, 2);
    args_.insert(args_.begin() + static_cast<std::ptrdiff_t>(i_) + 1, std::string("-").append(a, 2));
  }

  // True when the current argument is `flag` (or `shortFlag`), alone or with
  // its value attached ("--out=DIR", "-oDIR").
  bool Is(const std::string& flag, const char* shortFlag = nullptr) {
    const std::string& a = Current();
    attached_.reset();
    if (a == flag) return true;
    if (a.size() > flag.size() && a.compare(0, flag.size(), flag) == 0 && a[flag.size()] == '=') {
      attached_ = a.substr(flag.size() + 1);
      return true;
    }
    if (shortFlag) {
      std::string s = shortFlag;
      if (a == s) return true;
      if (a.size() > s.size() && a.compare(0, s.size(), s) == 0) {
        attached_ = a.substr(s.size());
        return true;
      }
    }
    return false;
  }

  // The flag's value: attached or the next argument.
  bool Value(std::string& value) {
    if (attached_) {
      value = *attached_;
      return true;
    }
    if (i_ + 1 >= args_.size()) {
      error_ = Current() + " needs a value";
      return false;
    }
    value = args_[++i_];
    return true;
  }

  bool Count(int& n, int minimum) {
    std::string flag = Current(), value;
    if (!Value(value)) return false;
    auto [p, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
    if (ec != std::errc() || p != value.data() + value.size() || n < minimum) {
      error_ = "bad number '" + value + "' for " + flag.substr(0, flag.find('='));
      return false;
    }
    return true;
  }

  // A flag without a value must not carry one.
  bool Plain() {
    if (!attached_) return true;
    error_ = Current() + ": this flag takes no value";
    return false;
  }

 private:
  std::vector<std::string> args_;
  std::string& error_;
  std::size_t i_ = 0;
  std::optional<std::string> attached_;
};

bool ParseSet(const std::string& value, CliOptions& o, std::string& error) {
  auto eq = value.find('=');
  if (eq == std::string::npos || eq == 0) {
    error = "--set needs KEY=VALUE, got '" + value + "'";
    return false;
  }
  std::string key = value.substr(0, eq);
  if (!OptionTypeOf(key)) {
    error = "unknown option key '" + key + "'";
    return false;
  }
  OptimizationSettings probe;
  if (!SetOption(probe, key, value.substr(eq + 1))) {
    error = "bad value '" + value.substr(eq + 1) + "' for option key '" + key + "'";
    return false;
  }
  o.sets.emplace_back(key, value.substr(eq + 1));
  return true;
}

std::optional<OverwritePolicy> PolicyNamed(const std::string& name) {
  if (name == "ask") return OverwritePolicy::Ask;
  if (name == "all") return OverwritePolicy::All;
  if (name == "skip") return OverwritePolicy::Skip;
  if (name == "older") return OverwritePolicy::Older;
  if (name == "fail") return OverwritePolicy::Fail;
  return std::nullopt;
}

// One flag at the reader's position; false with `error` set on a bad one.
bool ParseFlag(ArgReader& r, CliOptions& o, std::string& error) {
  std::string value;
  int n = 0;
  if (r.Is("--help", "-h")) {
    o.help = true;
    return r.Plain();
  }
  if (r.Is("--version")) {
    o.version = true;
    return r.Plain();
  }
  if (r.Is("--set")) return r.Value(value) && ParseSet(value, o, error);
  if (r.Is("--codepage")) {
    if (!r.Count(n, 0)) return false;
    o.codePage = CodePageFromNumber(n);
    if (!o.codePage) error = "bad code page '" + std::to_string(n) + "' (1250, 1251 or 1252)";
    return o.codePage.has_value();
  }
  if (r.Is("--tags-change")) return r.Value(o.tagsChange.emplace());
  if (r.Is("--tags-delete")) return r.Value(o.tagsDelete.emplace());
  if (r.Is("--options")) return r.Value(o.optionsFile.emplace());
  if (r.Is("--mode")) {
    if (!r.Value(value)) return false;
    if (value == "normal")
      o.mode = 0;
    else if (value == "max")
      o.mode = 1;
    else
      error = "bad mode '" + value + "' (normal or max)";
    return o.mode.has_value();
  }
  if (r.Is("--out", "-o")) return r.Value(o.outDir.emplace());
  if (r.Is("--backup")) return r.Value(o.backupDir.emplace());
  if (r.Is("--in-place")) return (o.inPlace = true) && r.Plain();
  if (r.Is("--no-backup")) return (o.noBackup = true) && r.Plain();
  if (r.Is("--recursive", "-r")) return (o.recursive = true) && r.Plain();
  if (r.Is("--flat")) return (o.flat = true) && r.Plain();
  if (r.Is("--restore")) return (o.restore = true) && r.Plain();
  if (r.Is("--dry-run")) return (o.dryRun = true) && r.Plain();
  if (r.Is("--quiet", "-q")) return (o.quiet = true) && r.Plain();
  if (r.Is("--json")) return (o.json = true) && r.Plain();
  if (r.Is("--max-depth")) return r.Count(o.maxDepth.emplace(), 0);
  if (r.Is("--max-files")) return r.Count(o.maxFiles.emplace(), 0);
  if (r.Is("--jobs", "-j")) return r.Count(o.jobs.emplace(), 1);
  if (r.Is("--overwrite")) {
    if (!r.Value(value)) return false;
    o.overwrite = PolicyNamed(value);
    if (!o.overwrite) error = "bad --overwrite '" + value + "' (ask, all, skip, older or fail)";
    return o.overwrite.has_value();
  }
  error = "unknown flag '" + r.Current() + "'";
  return false;
}

// Combinations that make no sense.
std::string CheckCombination(const CliOptions& o) {
  if (o.paths.empty()) return "no PATH given";
  for (const std::string& p : o.paths)
    if (p == "-" && (o.paths.size() > 1 || o.AnyBatchFlag()))
      return "- (standard input) goes alone and without batch flags";
  if (o.outDir && o.inPlace) return "-o and --in-place exclude each other";
  if (o.backupDir && o.noBackup) return "--backup and --no-backup exclude each other";
  if ((o.backupDir || o.noBackup) && !o.inPlace) return "--backup and --no-backup need --in-place";
  if (o.restore && o.noBackup) return "--restore needs the backups; it cannot go with --no-backup";
  if (o.restore && o.overwrite) return "--restore goes without --overwrite";
  if (o.overwrite == OverwritePolicy::Older && o.noBackup) return "--overwrite older is for backups";
  return {};
}

}  // namespace

ParseResult ParseArguments(const std::vector<std::string>& args) {
  ParseResult result;
  CliOptions& o = result.options;
  ArgReader r(args, result.error);
  bool onlyPaths = false;
  for (; !r.Done(); r.Next()) {
    if (!onlyPaths) r.SplitCombined();
    const std::string& a = r.Current();
    if (onlyPaths || a == "-" || a.empty() || a[0] != '-') {
      o.paths.push_back(a);
    } else if (a == "--") {
      onlyPaths = true;
    } else if (!ParseFlag(r, o, result.error)) {
      if (result.error.empty()) result.error = "bad flag '" + a + "'";
      return result;
    }
  }
  if (o.maxDepth) o.recursive = true;
  if (!o.help && !o.version) result.error = CheckCombination(o);
  return result;
}

}  // namespace tersify::cli
