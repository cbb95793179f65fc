#include "i18n/catalogue.h"

#include "i18n/language_file.h"

namespace tersify {
namespace {

constexpr std::string_view kLineMark = "*|*";
constexpr std::string_view kCrLf = "\r\n";

// Turns the line marks of a message value into CR LF. Pieces before a mark
// join with CR LF, except that pieces taken while the result is still empty
// add no break; the text after the last mark always follows a CR LF.
std::string ExpandMessageMarks(std::string_view value) {
  std::size_t mark = value.find(kLineMark);
  if (mark == std::string_view::npos) return std::string(value);
  std::string result;
  std::size_t start = 0;
  while (mark != std::string_view::npos) {
    const std::string_view piece = value.substr(start, mark - start);
    if (result.empty()) {
      result.assign(piece);
    } else {
      result += kCrLf;
      result += piece;
    }
    start = mark + kLineMark.size();
    mark = value.find(kLineMark, start);
  }
  result += kCrLf;
  result += value.substr(start);
  return result;
}

}  // namespace

std::string MessageCatalogue::Text(std::string_view key) const {
  if (!file_) return {};
  std::string fileKey(key);
  fileKey += ":string";
  const auto value = file_->Find("Misc", fileKey);
  if (!value || value->empty()) return {};
  return ExpandMessageMarks(*value);
}

const std::vector<CatalogueEntry>& CatalogueEntries() {
  // English texts in UTF-8. In const_resolution the sign between 800 and 600
  // is U+0445, the letter that the default language file stores as byte F5
  // of code page 1251.
  static const std::vector<CatalogueEntry> entries = {
      {"const_filesrc_hint", "File source"},
      {"const_optimizing", "optimization in a progress ..."},
      {"const_break", "Break"},
      {"const_cancel", "Cancel"},
      {"const_Start", "Start!"},
      {"const_opt_ver", "With optimized copy of the file"},
      {"const_opt_file", "With file"},
      {"const_isnum_error", "IsNum procedure error"},
      {"const_inKav_error", "Inkav procedure error"},
      {"const_files_info", "Files: %d   Selected: %d"},
      {"const_savetofile", "Save changes to\r < %s >  ?"},
      {"const_exit_error", "Quit procedure error, sorry"},
      {"const_backup", " Restoration finished   "},
      {"const_backup_error", "Restoration error"},
      {"const_extEd_error", "External editor running failed"},
      {"const_restr_Fcount",
       "There are %d files for adding to files panel. You have set files count restriction ( %s files ) to files "
       "panel. Restrict files count for adding?"},
      {"const_restr_Fcount2",
       "There are %d files for adding to files panel. You have set files count restriction ( %s files ) to files "
       "panel. Restrict files count for adding?"},
      {"const_html_fil", "HTML files [ *.htm;*.html ]|*.htm;*.html"},
      {"const_exe_fil", "Executables [ *.exe;*.bat ]|*.exe;*.bat"},
      {"const_lst_fil", "Files list [ *.lst ]|*.lst"},
      {"const_lng_fil", "Language files [ *.lng ]|*.lng"},
      {"const_sort_error", "Error during files sorting"},
      {"const_panel_empty", "Files panel is empty"},
      {"const_save_flist_error", "Error during files list saving"},
      {"const_load_flist_error", "Error during files list loading"},
      {"const_wait_opt", "Please, wait for optimization process finishing"},
      {"const_wait_folder", "Please, wait for folder treatment process finishing"},
      {"const_opt_first", "You should optimize files first"},
      {"const_look_first", "You should select file to view first"},
      {"const_bytes", " bytes    "},
      {"const_get_fileinfo", "Error during getting file information"},
      {"const_comm_error", "Error during comments removal <!-- -->"},
      {"const_script_error", "Error during scripts cutting"},
      {"const_ishex_error", "Ishex procedure error"},
      {"const_spaces_error", "Error during spaces removal"},
      {"const_scripts_insert_error", "Error during scripts inserting"},
      {"const_backup_error2",
       "There is no unpacked copy of the file < %s > in backup folder.\rPacked copy of the file was not removed"},
      {"const_restore_kept",
       "The file < %s > is not the one the optimization wrote: it was changed since, or the program never wrote "
       "it.\rIt "
       "was left in place"},
      {"const_delkav_error", "Error during quotes removal"},
      {"const_deltag_error", "Error during removal of the tag %s"},
      {"const_nbsp_error", "Error during &nbsp; removal"},
      {"const_doubles", "Error during double spaces removal"},
      {"const_break_opt", "\rDo you want to interrupt optimization process?"},
      {"const_opt_finished", "Optimization finished"},
      {"const_opt_error", "Error during optimization process"},
      {"const_ready_foropt", "ready for optimization"},
      {"const_opt_out_error", "Error of optimization results window"},
      {"const_file_in", "The file < %s > is already in the files panel"},
      {"const_file_s_error", "Error during file searching"},
      {"const_opt_cap", "Optimization"},
      {"const_before_opt", "Before optimization files will be copied to:"},
      {"const_opt_old", "Source files optimization."},
      {"const_backup_false", "It will be impossible to restore optimized files"},
      {"const_opt_new", "Optimized copies of the files will be saved to: "},
      {"const_opt_conf", "\rStart optimization?"},
      {"const_opt_war", "You should select files first"},
      {"const_files_under_panel", "You should drop files under files panel"},
      {"const_wrong_file", "Wrong file format"},
      {"const_add_break", "\rDo you want to interrupt files adding?"},
      {"const_f_count1", "Allowed files count in the panel is "},
      {"const_f_count2", "Files count is not restricted."},
      {"const_folder1", "+ embeded folders ( max level of embeded folders - "},
      {"const_folder2", "Embeded folder are processed"},
      {"const_folder3", "Embeded folder are not processed"},
      {"const_f_notf", "File < %s > not found!"},
      {"const_init_error", "Error during initialization"},
      {"const_resolution",
       "Sorry, minimum screen resolution restriction is 800\xD1\x85"
       "600. Program will be closed.\rPlease, set bigger screen resolution and try again."},
      {"const_filesave_error", "Error during saving file"},
      {"const_choose_file", "You should select file first"},
      {"const_unzipped_error", "Error during unpacked file opening"},
      {"const_zipped_error", "Error during packed file opening"},
      {"const_loadchangetable_error", "Error during tags replacement table loading"},
      {"const_loaddeletetable_error", "Error during tags removal table loading"},
      {"const_savechangetable_error", "Error during tags replacement table saving"},
      {"const_savedeletetable_error", "Error during tags removal table saving"},
      {"const_save_error", "Error during options saving"},
      {"const_load_error", "Error during options loading"},
      {"const_optf_error", "Folder for optimized files does not exist!\rPlease, change program options."},
      {"const_ext_error", "External editor file not found!\rPlease, change program options."},
      {"const_rep_cap", "Tags replacement"},
      {"const_del_cap", "Tags removal"},
      {"const_rep_conf", "Do you want to remove tags scheme:\rfrom %s to %s\rfrom tags replacement list?"},
      {"const_del_conf", "\rDo you want to remove tag %s from tags removal list?"},
      {"const_err_lan", "Error applying language file"},
      {"const_cycle_war", "Insertion of this tag will lead to the recycling of replacement procedure!"},
      {"const_table_full", "The list already holds 256 entries. Remove an entry before adding another."},
      {"const_tagis", "This tag is already in the removal list"},
      {"const_saving", "Saving"},
      {"const_new_name", "Enter name for new file"},
      {"const_new_name2", "Enter new filename"},
      {"const_rename", "Renaming"},
  };
  return entries;
}

std::string_view EnglishText(std::string_view key) {
  for (const CatalogueEntry& e : CatalogueEntries())
    if (e.key == key) return e.english;
  return {};
}

std::string FillPlaceholders(std::string_view text, std::initializer_list<std::string_view> args) {
  std::string out;
  out.reserve(text.size());
  auto next = args.begin();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == 's' || text[i + 1] == 'd') && next != args.end()) {
      out += *next++;
      ++i;
      continue;
    }
    out.push_back(text[i]);
  }
  return out;
}

void ShowMessageBox(UserInteraction& ui, const std::string& text, MessageKind kind) {
  if (text.find('\r') != std::string::npos)
    ui.MessageBox(text, kind);
  else
    ui.MessageBox("\r" + text, kind);
}

}  // namespace tersify
