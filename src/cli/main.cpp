// tersify-cli: the optimizer for terminals, scripts and build pipelines, on the
// same run, panel and settings code as the desktop program.
#include <cerrno>
#include <cstdio>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "cli/batch.h"
#include "cli/cli_options.h"
#include "cli/interrupt.h"
#include "cli/setup.h"
#include "cli/summary.h"
#include "cli/terminal_interaction.h"
#include "engine/engine.h"
#include "i18n/catalogue.h"
#include "panel/adding.h"
#include "platform/memory.h"
#include "platform/process.h"
#include "run/file_ops.h"
#include "run/file_step.h"
#include "run/paths.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#define isatty _isatty
#else
#include <unistd.h>
#endif

namespace tersify::cli {
namespace {

// Reads a stream to its end. False, with the system's reason, when reading
// breaks off or the bytes do not fit into memory: a run never goes on with
// part of its input.
bool ReadAll(std::FILE* in, std::string& out, std::error_code& why) {
  try {
    std::string data;
    std::vector<char> chunk(1 << 16);
    for (;;) {
      errno = 0;
      const std::size_t n = std::fread(chunk.data(), 1, chunk.size(), in);
      data.append(chunk.data(), n);
      if (n == chunk.size()) continue;
      if (!std::ferror(in)) break;
      why = std::error_code(errno != 0 ? errno : EIO, std::generic_category());
      return false;
    }
    out = std::move(data);
    return true;
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  why = std::make_error_code(std::errc::not_enough_memory);
  return false;
}

bool ReadInput(const std::string& path, std::string& bytes, std::error_code& why) {
  if (path == "-") return ReadAll(stdin, bytes, why);
  // A plain file is read straight into a buffer of its size; anything else
  // the user names (a pipe, a process substitution) as a stream.
  if (std::optional<std::string> file = ReadWholeFile(path, &why)) {
    bytes = std::move(*file);
    return true;
  }
  if (why) return false;
  errno = 0;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!in) {
    why = std::error_code(errno != 0 ? errno : EIO, std::generic_category());
    return false;
  }
  return ReadAll(in.get(), bytes, why);
}

int Fail(int status, const std::string& message) {
  std::fprintf(stderr, "tersify-cli: %s\n", message.c_str());
  return status;
}

bool Print(const std::string& text) {
  errno = 0;
#ifdef _WIN32
  return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0;
#else
  // A whole page goes out in one system call rather than through the stream's buffer.
  if (std::fflush(stdout) != 0) return false;
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t n = ::write(STDOUT_FILENO, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
#endif
}

// The message of a failed write to standard output, with the system's reason.
std::string CannotWriteOutput() {
  return "cannot write to standard output" + ReasonSuffix(std::error_code(errno, std::generic_category()));
}

// One file (or standard input) to standard output.
int RunFilter(const std::string& input, const CliSettings& cli, const MessageCatalogue& catalogue,
              TerminalInteraction& ui) {
  // One buffer goes all the way: the file's bytes become the document, the
  // optimized document and the bytes written out.
  const std::string name = input == "-" ? std::string("standard input") : "'" + input + "'";
  // The page's buffers (the text with room for CRs, the spare text, comment
  // removal's positions) come to about three times its size.
  const platform::LargePageRoom room(
      input == "-" ? 0 : 3 * static_cast<std::size_t>(std::max<std::int64_t>(0, FileSizeOf(input))));
  std::string text;
  std::error_code why;
  if (!ReadInput(input, text, why)) return Fail(1, "cannot read " + name + ReasonSuffix(why));
  try {
    const std::optional<LineBreaks> breaks = NormalizePageLines(text);
    if (!breaks) return Fail(1, name + " is not a text page; nothing written");
    Engine engine(cli.codePage);
    PassFailures failures;
    // The one page may use every core.
    EngineContext ctx{PassOptionsOf(cli.settings), cli.tables.removal, cli.tables.replacement, failures, {},
                      platform::ProcessorCount()};
    const OptimizeResult result = engine.OptimizeDocumentInPlace(text, ctx);
    ShowPassFailures(failures, 0, cli.settings.cbShowInfo, catalogue, ui);
    if (result != OptimizeResult::Done) return Fail(1, "optimization of " + name + " failed");
    SaveLinesInPlace(text, *breaks);
  } catch (const std::bad_alloc&) {
    return Fail(1, "optimization of " + name + " failed: not enough memory");
  }
  if (!Print(text)) return Fail(1, CannotWriteOutput());
  return ui.errorCount() > 0 ? 1 : 0;
}

// A lone file given without batch flags is optimized to standard output.
bool IsFilterForm(const CliOptions& o, const MessageCatalogue& catalogue) {
  if (o.paths.size() != 1 || o.AnyBatchFlag()) return false;
  const std::string& p = o.paths.front();
  return p == "-" || (!FolderExists(p) && !IsFileList(p, catalogue));
}

bool OnTerminal() { return isatty(0) && isatty(2); }

int RunBatchForm(const CliOptions& o, const CliSettings& cli, const MessageCatalogue& catalogue,
                 TerminalInteraction& ui) {
  const OptimizationSettings& s = cli.settings;
  const OverwritePolicy policy = o.overwrite.value_or(OnTerminal() ? OverwritePolicy::Ask : OverwritePolicy::Fail);
  ui.SetPolicy(policy);
  ui.sourcesAreOutputs = s.radModifyOld && !s.cbSaveBefMod;
  TargetLayout layout(!o.flat);
  BatchEnv env{o, cli, catalogue, ui, layout};
  RunState state;
  FilesPanel panel;
  // A path that is not there fails like a page that could not be done.
  const int missing = GatherFiles(o.paths, panel, state, env);
  if (Interrupted()) return Fail(kExitInterrupted, "interrupted");

  if (o.restore) {
    std::string lines;
    RestoreReport report = RestoreFiles(panel, state, env, o.dryRun ? &lines : nullptr);
    report.failed += missing;
    if (!o.json && !o.quiet && !Print(lines)) return Fail(1, "cannot write to standard output");
    if (o.json ? !Print(RestoreSummaryJson(report)) : (!o.quiet && !Print(RestoreSummaryText(report, s.radModifyOld))))
      return Fail(1, CannotWriteOutput());
    if (Interrupted()) return kExitInterrupted;
    bool lost = s.radModifyOld && report.missing > 0;
    return ui.errorCount() > 0 || lost || report.kept > 0 ? 1 : 0;
  }

  // Copies into a page's own folder would replace the pages themselves.
  if (!s.radModifyOld && o.outDir)
    if (std::optional<std::string> own = TickedRowIn(panel, *o.outDir))
      return Fail(2, "-o " + *o.outDir + ": the folder holds the page '" + *own +
                         "' itself; its copy would replace it (choose another folder)");

  int jobs = o.jobs.value_or(static_cast<int>(platform::ProcessorCount()));
  std::size_t ticked = static_cast<std::size_t>(panel.CheckedCount());
  std::int64_t bytes = 0;
  for (const PanelRow& row : panel.rows())
    if (row.checked) bytes += std::max<std::int64_t>(0, FileSizeOf(row.FullPath()));
  ProgressBar progress(stderr, isatty(2) && !o.quiet, ticked, bytes);
  ui.beforeOutput = [&progress] { progress.Clear(); };
  BatchReport report = OptimizeTicked(panel, state, env, jobs, progress);
  ui.beforeOutput = nullptr;
  const std::string dryLines = o.dryRun ? DryRunAccount(report, s, policy) : std::string();
  report.failed += missing;

  std::string out;
  if (o.json)
    out = SummaryJson(report);
  else if (!o.quiet)
    out = dryLines + SummaryText(report);
  if (!Print(out)) return Fail(1, CannotWriteOutput());
  if (report.interrupted) return kExitInterrupted;
  return ui.errorCount() > 0 || report.failed > 0 ? 1 : 0;
}

int RunCli(const CliOptions& o) {
  MessageCatalogue catalogue(std::make_shared<LanguageFile>(EnglishLanguageFile()));
  TerminalInteraction ui;
  CliSettings cli;
  SetupResult setup = BuildSettings(o, catalogue, ui, cli);
  if (setup.status != 0) return Fail(setup.status, setup.message);
  if (IsFilterForm(o, catalogue)) return RunFilter(o.paths.front(), cli, catalogue, ui);
  return RunBatchForm(o, cli, catalogue, ui);
}

}  // namespace
}  // namespace tersify::cli

int main(int argc, char** argv) {
#ifdef _WIN32
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  using namespace tersify;
  using namespace tersify::cli;
  platform::KeepFreedMemoryForReuse();
  std::vector<std::string> args(argv + 1, argv + argc);
  ParseResult parsed = ParseArguments(args);
  if (parsed.options.help) {
    std::fputs(UsageText(), stdout);
    return 0;
  }
  if (parsed.options.version) {
    std::fputs(VersionText(), stdout);
    return 0;
  }
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "tersify-cli: %s (see --help)\n", parsed.error.c_str());
    return 2;
  }
  InstallInterruptHandler();
  try {
    return RunCli(parsed.options);
  } catch (const std::bad_alloc&) {
    // Each page's own shortage is that page's failure; this is one outside
    // any page (the file list, the summary).
    return Fail(1, "not enough memory");
  }
}
