// Stand-ins for the catalogue and engine entry points until their own code is
// in this branch; weak, so the real definitions win as soon as they link in.
#include <map>
#include <string>

#include "engine/engine.h"
#include "i18n/catalogue.h"

namespace tersify {

namespace {
std::string Lower(std::string_view t) {
  std::string s(t);
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}
const std::map<std::string, std::string>& English() {
  static const std::map<std::string, std::string> m = {
      {"const_start", "Start!"},
      {"const_add_break", "\r\nDo you want to interrupt files adding?"},
      {"const_backup", " Restoration finished   "},
      {"const_backup_error", "Restoration error"},
      {"const_backup_error2",
       "There is no unpacked copy of the file < %s > in backup folder.\r\nPacked copy of the file was not removed"},
      {"const_backup_false", "It will be impossible to restore optimized files"},
      {"const_before_opt", "Before optimization files will be copied to:"},
      {"const_break", "Break"},
      {"const_break_opt", "\r\nDo you want to interrupt optimization process?"},
      {"const_bytes", " bytes    "},
      {"const_cancel", "Cancel"},
      {"const_choose_file", "You should select file first"},
      {"const_f_count1", "Allowed files count in the panel is "},
      {"const_f_count2", "Files count is not restricted."},
      {"const_f_notf", "File < %s > not found!"},
      {"const_file_in", "The file < %s > is already in the files panel"},
      {"const_file_s_error", "Error during file searching"},
      {"const_files_info", "Files: %d   Selected: %d"},
      {"const_files_under_panel", "You should drop files under files panel"},
      {"const_filesave_error", "Error during saving file"},
      {"const_filesrc_hint", "File source"},
      {"const_folder1", "+ embeded folders ( max level of embeded folders - "},
      {"const_folder2", "Embeded folder are processed"},
      {"const_folder3", "Embeded folder are not processed"},
      {"const_get_fileinfo", "Error during getting file information"},
      {"const_html_fil", "HTML files [ *.htm;*.html ]|*.htm;*.html"},
      {"const_look_first", "You should select file to view first"},
      {"const_lst_fil", "Files list [ *.lst ]|*.lst"},
      {"const_new_name", "Enter name for new file"},
      {"const_new_name2", "Enter new filename"},
      {"const_opt_cap", "Optimization"},
      {"const_opt_conf", "\r\nStart optimization?"},
      {"const_opt_error", "Error during optimization process"},
      {"const_opt_file", "With file"},
      {"const_opt_finished", "Optimization finished"},
      {"const_opt_first", "You should optimize files first"},
      {"const_opt_new", "Optimized copies of the files will be saved to: "},
      {"const_opt_old", "Source files optimization."},
      {"const_opt_ver", "With optimized copy of the file"},
      {"const_opt_war", "You should select files first"},
      {"const_optimizing", "optimization in a progress ..."},
      {"const_panel_empty", "Files panel is empty"},
      {"const_ready_foropt", "ready for optimization"},
      {"const_rename", "Renaming"},
      {"const_restr_fcount",
       "There are %d files for adding to files panel. You have set files count restriction ( %s files ) to files "
       "panel. Restrict files count for adding?"},
      {"const_restr_fcount2",
       "There are %d files for adding to files panel. You have set files count restriction ( %s files ) to files "
       "panel. Restrict files count for adding?"},
      {"const_save_flist_error", "Error during files list saving"},
      {"const_savetofile", "Save changes to\r\n < %s >  ?"},
      {"const_saving", "Saving"},
      {"const_sort_error", "Error during files sorting"},
      {"const_unzipped_error", "Error during unpacked file opening"},
      {"const_wait_folder", "Please, wait for folder treatment process finishing"},
      {"const_wait_opt", "Please, wait for optimization process finishing"},
      {"const_wrong_file", "Wrong file format"},
      {"const_zipped_error", "Error during packed file opening"},
  };
  return m;
}
}  // namespace

__attribute__((weak)) std::string MessageCatalogue::Text(std::string_view key) const {
  auto it = English().find(Lower(key));
  return it == English().end() ? std::string() : it->second;
}

__attribute__((weak)) std::string FillPlaceholders(std::string_view text, std::initializer_list<std::string_view> args) {
  std::string out;
  auto next = args.begin();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == 's' || text[i + 1] == 'd') && next != args.end()) {
      out += *next++;
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

__attribute__((weak)) void ShowMessageBox(UserInteraction& ui, const std::string& text, MessageKind kind) {
  ui.MessageBox(text.find('\r') == std::string::npos ? "\r" + text : text, kind);
}

}  // namespace tersify
