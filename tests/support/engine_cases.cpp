#include "support/engine_cases.h"

#include <initializer_list>
#include <utility>

#include "settings/option_table.h"

namespace tersify::testsupport {
namespace {

using Flag = SwitchKey;

// A tweak that switches every optional pass off and then the given flags on.
std::function<void(OptimizationSettings&)> Only(std::initializer_list<Flag> on) {
  std::vector<Flag> flags(on);
  return [flags](OptimizationSettings& s) {
    AllPassesOff(s);
    for (Flag f : flags) s[f] = true;
  };
}

// Every pass and sub-option on, scripts still shielded.
void AllOn(OptimizationSettings& s) {
  for (const auto& row : kOptionTable)
    if (IsPassSwitch(row)) SetOption(s, row.key, "1");
  s["cbDelScripts"] = false;
}

EngineCase Case(std::string name, std::string input, std::function<void(OptimizationSettings&)> tweak,
                std::string expected) {
  EngineCase c;
  c.name = std::move(name);
  c.input = std::move(input);
  c.tweak = std::move(tweak);
  c.expected = std::move(expected);
  return c;
}

EngineCase WithRemoval(EngineCase c, TagRemovalTable removal) {
  c.removal = std::move(removal);
  return c;
}

EngineCase WithReplacement(EngineCase c, TagReplacementTable replacement) {
  c.replacement = std::move(replacement);
  return c;
}

void AddDocumentCases(std::vector<EngineCase>& v) {
  v.push_back(Case("empty_input_defaults", "", nullptr, ""));
  v.push_back(Case("empty_input_everything_on", "", AllOn, ""));
  v.push_back(
      Case("glued_text_skips_empty_line_pass", "a\r\n\r\nb\r\n", Only({"cbDelCRLF", "cbDelEmptyLine"}), "a  b "));
  v.push_back(Case("empty_line_pass_without_gluing", "a\r\n\r\nb\r\n", Only({"cbDelEmptyLine"}), "a\r\nb\r\n"));
  v.push_back(
      WithRemoval(Case("name_entry_applied_with_and_without_quotes",
                       "<meta name=\"author\" content=\"x\"><meta name=author content=y>\r\n", Only({}), "\r\n"),
                  {{"name=\"author\"", true}}));
  v.push_back(WithRemoval(
      Case("capital_name_entry_applied_once", "<meta name=\"author\" content=\"x\"><meta name=author content=y>\r\n",
           Only({}), "<meta name=author content=y>\r\n"),
      {{"Name=\"author\"", true}}));
  v.push_back(WithRemoval(Case("unticked_removal_entry_ignored", "<hr>\r\n", Only({}), "<hr>\r\n"), {{"hr", false}}));
  // Defaults on a small page: every default pass has something to do.
  v.push_back(Case("defaults_small_page",
                   "<!DOCTYPE html>\r\n"
                   "<html>\r\n"
                   "<head>\r\n"
                   "<!-- a comment -->\r\n"
                   "<style>\r\n"
                   "<!-- p { color: red } -->\r\n"
                   "</style>\r\n"
                   "<script type=\"text/javascript\">\r\n"
                   "  if (a  <  b) { x = \"   \"; }\r\n"
                   "</script>\r\n"
                   "</head>\r\n"
                   "<body bgcolor = \"#FFFFFF\" >\r\n"
                   "\t<table width=\"100%\" border=\"0\">\r\n"
                   "   \r\n"
                   "  <tr> <td  align=\"center\">a&nbsp;&nbsp;b    c</td> </tr>\r\n"
                   "</table>\r\n"
                   "</body>\r\n"
                   "</html>\r\n",
                   nullptr,
                   "<!DOCTYPE html>\r\n"
                   "<html>\r\n"
                   "<head>\r\n"
                   "<style>\r\n"
                   "<!-- p { color: red } -->\r\n"
                   "</style>\r\n"
                   "<script type=\"text/javascript\">\r\n"
                   "  if (a  <  b) { x = \"   \"; }\r\n"
                   "</script>\r\n"
                   "</head>\r\n"
                   "<body bgcolor=#FFFFFF>\r\n"
                   "<table width=100% border=0>\r\n"
                   "<tr><td align=\"center\">a&nbsp; b c</td></tr>\r\n"
                   "</table>\r\n"
                   "</body>\r\n"
                   "</html>\r\n"));
  v.push_back(Case("everything_on_glues_and_collapses",
                   "<p  class = \"a  b\" >x&nbsp;&nbsp;y</p>\r\n<!-- c -->\r\n<b> </b>\r\n", AllOn,
                   "<p class=\"a b\">x&nbsp; y</p><b></b>\r\n"));
}

// The document's own bytes that the passes use as markers must come through.
void AddMarkerByteCases(std::vector<EngineCase>& v) {
  v.push_back(Case("marker_bytes_in_text_defaults", "<p  class = \"x\">\x8A  \xA4\xA5\xA6\xAC\xAF\x9F</p>  <b>\r\n",
                   nullptr, "<p class=\"x\">\x8A \xA4\xA5\xA6\xAC\xAF\x9F</p><b>\r\n"));
  v.push_back(Case("marker_bytes_survive_comment_dash_restoring", "<p title=\"<!--\">\xA4\xA5</p>\r\n",
                   Only({"cbDelComments"}), "<p title=\"<!--\">\xA4\xA5</p>\r\n"));
  v.push_back(Case("marker_byte_9F_survives_quote_removal", "<a b=\"x\" c=\x9F\"5\">\r\n", Only({"cbDelKav"}),
                   "<a b=\"x\" c=\x9F"
                   "5>\r\n"));
  v.push_back(WithReplacement(Case("marker_bytes_survive_tag_letter_restoring", "<p>\xA4\xA5 bold</p>\r\n", Only({}),
                                   "<p>\xA4\xA5 bold</p>\r\n"),
                              {{"b", "strong", true}}));
  v.push_back(Case("marker_bytes_survive_tag_spacing_in_quotes", "<p title=\"a < b = c > d\">\xA4\xA6\xAC\xAF</p>\r\n",
                   Only({}), "<p title=\"a < b = c > d\">\xA4\xA6\xAC\xAF</p>\r\n"));
  v.push_back(Case("marker_byte_A4_survives_nbsp_in_quotes", "<p title=\"&nbsp;&nbsp;\">\xA4</p>\r\n",
                   Only({"cbReplaceDoubleNbsp"}), "<p title=\"&nbsp;&nbsp;\">\xA4</p>\r\n"));
  v.push_back(Case("marker_byte_8A_does_not_receive_a_script", "<p>\x8A</p><script>x</script>\r\n", nullptr,
                   "<p>\x8A</p><script>x</script>\r\n"));
  v.push_back(Case("marker_bytes_survive_script_letter_restoring", "<p>\xA4\xA5</p> noscript\r\n", Only({}),
                   "<p>\xA4\xA5</p> noscript\r\n"));
}

void AddScriptCases(std::vector<EngineCase>& v) {
  v.push_back(Case("script_in_capitals_comes_back_with_every_pass_on",
                   "<SCRIPT Language=\"JavaScript\">\r\n"
                   "  var a  =  \"50\";   // <!-- x -->\r\n"
                   "\r\n"
                   "</SCRIPT>\r\n"
                   "<p  align = \"center\"  >  <b>x</b></p>\r\n",
                   AllOn,
                   "<SCRIPT Language=\"JavaScript\">\r\n"
                   "  var a  =  \"50\";   // <!-- x -->\r\n"
                   "\r\n"
                   "</SCRIPT> <p align=\"center\"><b>x</b></p>\r\n"));
  v.push_back(Case("noscript_is_not_a_script_block", "<noscript><p title = \"1\">x</p></noscript>\r\n",
                   Only({"cbDelKav"}), "<noscript><p title=1>x</p></noscript>\r\n"));
  v.push_back(Case("closing_script_tag_alone_is_not_a_block", "</script> <b >\r\n", Only({}), "</script><b>\r\n"));
  // A closing tag ends the block even inside the script's own quotes (as a
  // browser reads it); the text after it is running text, whose quote still
  // counts for joining tags.
  v.push_back(Case("closing_tag_in_the_scripts_double_quotes_ends_the_block",
                   "<script>var s = \"</script>\";</script> <b> = </b>\r\n", Only({}),
                   "<script>var s = \"</script>\";</script> <b> = </b>\r\n"));
  v.push_back(Case("opening_tag_without_closing_word_cut_alone_and_cutting_stops",
                   "<script src=x> <b> = </b> <script a = 1>\r\n", Only({}),
                   "<script src=x> <b> = </b><script a=1>\r\n"));
  v.push_back(Case("del_scripts_drops_every_block", "<p>a</p><script>x()</script><p>b</p><SCRIPT>y</SCRIPT>\r\n",
                   Only({"cbDelScripts"}), "<p>a</p><p>b</p>\r\n"));
  v.push_back(Case("three_scripts_back_in_order",
                   "<script>a=1</script>\r\n<p>  x  </p>\r\n<script>b  =  2</script><script>c</script>\r\n", nullptr,
                   "<script>a=1</script>\r\n<p> x </p>\r\n<script>b  =  2</script><script>c</script>\r\n"));
  v.push_back(Case("script_word_in_running_text_starts_no_block", "<p>say script now</p> <i >\r\n </script> <b >\r\n",
                   Only({}), "<p>say script now</p><i>\r\n </script><b>\r\n"));
  v.push_back(Case("script_word_in_running_text_kept_with_del_scripts",
                   "<p>say script now</p> <i >\r\n </script> <b >\r\n", Only({"cbDelScripts"}),
                   "<p>say script now</p><i>\r\n </script><b>\r\n"));
  v.push_back(Case("script_at_first_position_does_not_start_a_block", "script <i >\r\n", Only({}), "script <i>\r\n"));
  v.push_back(Case("script_without_earlier_less_sign_starts_at_first_position", "x script y</script>z<i >\r\n",
                   Only({}), "x script y</script>z<i>\r\n"));
  v.push_back(Case("script_without_closing_greater_sign_runs_to_the_end", "<i > <script>x</script\r\n", Only({}),
                   "<i> <script>x</script\r\n"));
  v.push_back(Case("script_word_in_quoted_value_is_not_a_block", "<a title=\"my script here\" >x</a>\r\n", Only({}),
                   "<a title=\"my script here\">x</a>\r\n"));
  v.push_back(Case("tab_before_script_word_does_not_qualify", "<p>\tscript <i >\r\n", Only({}), "<p>\tscript <i>\r\n"));
  v.push_back(Case("backspace_around_script_word_qualifies", "<\bscript\b a = 1>x</script> <i >\r\n", Only({}),
                   "<\bscript\b a = 1>x</script> <i>\r\n"));
  v.push_back(Case("script_block_holding_an_earlier_marker_comes_back_whole",
                   "<x script>a</script> script b</script>\r\n", nullptr,
                   "<x script>a</script> script b</script>\r\n"));
  v.push_back(Case("comment_holding_a_script_stays_with_is_script", "<!-- <script>x</script> --><p >\r\n",
                   Only({"cbDelComments", "cbIsScript"}), "<!-- <script>x</script> --><p>\r\n"));
  v.push_back(Case("script_inside_removed_comment_is_dropped", "<!-- <script>x</script> --><p >\r\n",
                   Only({"cbDelComments"}), "<p>\r\n"));
  v.push_back(
      WithRemoval(Case("script_inside_removed_tag_is_dropped_and_later_one_kept",
                       "<div x <script>a</script> y>t<script>b</script>\r\n", Only({}), "t<script>b</script>\r\n"),
                  {{"div", true}}));
}

void AddCommentCases(std::vector<EngineCase>& v) {
  auto comments = Only({"cbDelComments"});
  v.push_back(Case("comment_empty_removed_whole", "a<!---->b\r\n", comments, "ab\r\n"));
  v.push_back(Case("comment_ends_at_greater_sign_after_closing_dashes", "a<!-- x -- y >b\r\n", comments, "ab\r\n"));
  v.push_back(Case("comment_dashes_in_quotes_do_not_close", "<!-- \"a--b\" --><p>\r\n", comments, "<p>\r\n"));
  v.push_back(Case("comment_opening_in_quoted_value_left_alone", "<a title=\"<!-- x -->\">y</a><!-- z -->\r\n",
                   comments, "<a title=\"<!-- x -->\">y</a>\r\n"));
  v.push_back(Case("comment_naming_style_kept_with_is_style", "<!-- stylesheet --><!-- x -->\r\n",
                   Only({"cbDelComments", "cbIsStyle"}), "<!-- stylesheet -->\r\n"));
  v.push_back(Case("comment_naming_style_in_capitals_kept", "<!-- STYLE -->x\r\n", Only({"cbDelComments", "cbIsStyle"}),
                   "<!-- STYLE -->x\r\n"));
  v.push_back(Case("comment_naming_style_only_in_quotes_removed", "<!-- \"style\" --><p>\r\n",
                   Only({"cbDelComments", "cbIsStyle"}), "<p>\r\n"));
  v.push_back(Case("comment_inside_style_kept_by_outtag_and_after_it_removed",
                   "<style><!-- a{} --></style><!-- b -->\r\n", Only({"cbDelComments", "cbOuttag"}),
                   "<style><!-- a{} --></style>\r\n"));
  v.push_back(Case("comment_inside_style_removed_without_outtag", "<style><!-- a{} --></style>\r\n",
                   Only({"cbDelComments", "cbIsStyle"}), "<style></style>\r\n"));
  v.push_back(Case("comment_inside_style_with_attributes_kept", "<style type=\"text/css\"><!-- a --></style>\r\n",
                   Only({"cbDelComments", "cbOuttag"}), "<style type=\"text/css\"><!-- a --></style>\r\n"));
  v.push_back(Case("comment_enclosing_walk_skips_less_sign_in_quotes", "<style title=\"<\"><!-- a --></style>\r\n",
                   Only({"cbDelComments", "cbOuttag"}), "<style title=\"<\"><!-- a --></style>\r\n"));
  v.push_back(Case("comment_at_first_position_has_no_enclosing_tag", "<!-- a -->x\r\n",
                   Only({"cbDelComments", "cbOuttag"}), "x\r\n"));
  v.push_back(Case("comment_keep_tests_add_up_outtag", "<style><!-- a --></style>\r\n",
                   Only({"cbDelComments", "cbIsScript", "cbIsStyle", "cbOuttag"}), "<style><!-- a --></style>\r\n"));
  v.push_back(Case("comment_keep_tests_add_up_style_word", "<p><!-- style --></p>\r\n",
                   Only({"cbDelComments", "cbIsScript", "cbIsStyle", "cbOuttag"}), "<p><!-- style --></p>\r\n"));
  v.push_back(Case("comment_without_closing_dashes_ends_at_next_greater_sign", "a<!-- b > c\r\n", comments, "a c\r\n"));
  v.push_back(Case("comment_without_closing_dashes_right_after_opening", "<!-->a>b\r\n", comments, "b\r\n"));
  v.push_back(Case("comment_closed_by_dashes_of_next_opening", "<!-- a > <!-- b -->\r\n", comments, "\r\n"));
  v.push_back(
      Case("comment_takes_text_between_less_sign_and_opening", "<p a !-- b --> c</p>\r\n", comments, " c</p>\r\n"));
  v.push_back(
      Case("comment_opening_in_running_text_stays", "<p>a !-- b --> c</p>\r\n", comments, "<p>a !-- b --> c</p>\r\n"));
  v.push_back(Case("comment_removal_off_keeps_comments", "<!-- a -->\r\n", Only({}), "<!-- a -->\r\n"));
}

void AddQuoteCases(std::vector<EngineCase>& v) {
  auto quotes = Only({"cbDelKav", "cbDelEmptyPar"});
  v.push_back(Case("quotes_numbers_lose_quotes", "<td width=\"50\" height=\"100%\" x=\"007\">\r\n", quotes,
                   "<td width=50 height=100% x=007>\r\n"));
  v.push_back(Case("quotes_non_numbers_keep_quotes", "<a b=\"50px\" c=\"-1\" d=\"1.5\" e=\"5%5\" f=\"red\">\r\n",
                   quotes, "<a b=\"50px\" c=\"-1\" d=\"1.5\" e=\"5%5\" f=\"red\">\r\n"));
  v.push_back(Case("quotes_colours", "<a b=\"#FFF\" c=\"#ff0000\" d=\"#0A0a0A\" e=\"#GGG\" f=\"#1234567\" g=\"#\">\r\n",
                   quotes, "<a b=#FFF c=#ff0000 d=#0A0a0A e=\"#GGG\" f=\"#1234567\" g=\"#\">\r\n"));
  v.push_back(Case("quotes_lone_percent_loses_quotes", "<a b=\"%\">\r\n", quotes, "<a b=%>\r\n"));
  v.push_back(Case("quotes_in_running_text_paired_but_kept", "He said \"42\" <i a=\"7\">\r\n", quotes,
                   "He said \"42\" <i a=7>\r\n"));
  v.push_back(Case("quotes_empty_attribute_removed_space_before_stays", "<img alt=\"\" src=x>\r\n", quotes,
                   "<img  src=x>\r\n"));
  v.push_back(Case("quotes_empty_attribute_kept_without_empty_par", "<img alt=\"\" src=x>\r\n", Only({"cbDelKav"}),
                   "<img alt=\"\" src=x>\r\n"));
  v.push_back(Case("quotes_stray_quote_shifts_pairing_and_unpaired_quote_ends_pass", "a \" b <i c=\"5\">\r\n", quotes,
                   "a \" b <i c=\"5\">\r\n"));
  v.push_back(Case("quotes_single_quotes_untouched", "<a b='5'>\r\n", quotes, "<a b='5'>\r\n"));
  // An empty value in markup stands after a "<": at the second position at the earliest.
  v.push_back(Case("quotes_empty_value_at_first_position_is_running_text", "\"\"x\r\n", quotes, "\"\"x\r\n"));
  v.push_back(Case("quotes_empty_value_at_second_position", "<\"\"x\r\n", quotes, "<x\r\n"));
  v.push_back(Case("quotes_empty_value_walk_stops_at_second_position", "<b=\"\"x\r\n", quotes, "<bx\r\n"));
  v.push_back(
      Case("quotes_empty_attribute_walk_passes_tab_and_line_break", "<p x\r\n\talt=\"\">y\r\n", quotes, "<p >y\r\n"));
  v.push_back(Case("quotes_none_unchanged", "<p>x</p>\r\n", quotes, "<p>x</p>\r\n"));
}

void AddTagCases(std::vector<EngineCase>& v) {
  v.push_back(WithRemoval(Case("tag_doctype_removed_whole_in_any_case",
                               "<!DOCTYPE html PUBLIC \"-//W3C//DTD\">\r\n<html>\r\n", Only({}), "\r\n<html>\r\n"),
                          {{"!doctype", true}}));
  v.push_back(
      WithRemoval(Case("tag_closing_cell_removed_opening_kept", "<td>a</TD><td>b</td>\r\n", Only({}), "<td>a<td>b\r\n"),
                  {{"/TD", true}}));
  v.push_back(WithRemoval(Case("tag_name_entry_skips_text_in_other_value",
                               "<meta content=\"name=generator\"><meta name=\"generator\" content=\"Ed\">\r\n",
                               Only({}), "<meta content=\"name=generator\">\r\n"),
                          {{"name=\"generator\"", true}}));
  v.push_back(WithReplacement(
      Case("tag_pair_without_closing_tags", "<strong class=x>t</strong>\r\n", Only({}), "<b class=x>t</strong>\r\n"),
      {{"strong", "b", true}}));
  v.push_back(WithReplacement(Case("tag_pair_with_closing_tags", "<strong class=x>t</strong>\r\n",
                                   Only({"cbClosedTagsAlso"}), "<b class=x>t</b>\r\n"),
                              {{"strong", "b", true}}));
  v.push_back(
      WithReplacement(Case("tag_entry_in_capitals_untaken_letters_keep_case", "<Strong>x</Strong> STRONGER strong.\r\n",
                           Only({}), "<b>x</Strong> STRONGER strong.\r\n"),
                      {{"STRONG", "b", true}}));
  v.push_back(
      WithRemoval(Case("tag_entry_as_running_word_stays", "<b>x</b> y hr z<i>\r\n", Only({}), "<b>x</b> y hr z<i>\r\n"),
                  {{"hr", true}}));
  v.push_back(WithReplacement(
      Case("tag_pair_with_empty_replacement", "<font size=2>x</font>\r\n", Only({"cbClosedTagsAlso"}), "x</>\r\n"),
      {{"font", "", true}}));
  v.push_back(WithRemoval(Case("tag_entry_not_occurring_and_empty_entry", "<p>a</p>\r\n", Only({}), "<p>a</p>\r\n"),
                          {{"hr", true}, {"", true}}));
  v.push_back(WithReplacement(
      Case("tag_guard_pair_replaced_by_itself", "<b>x</b>\r\n", Only({"cbClosedTagsAlso"}), "<b>x</b>\r\n"),
      {{"b", "b", true}}));
  v.push_back(
      WithReplacement(Case("tag_guard_replacement_holding_its_entry_twice", "<b>x</b>\r\n", Only({}), "<b b>x</b>\r\n"),
                      {{"b", "b b", true}}));
  v.push_back(WithReplacement(Case("tag_guard_takes_partly_inserted_occurrence", "<x y y>\r\n", Only({}), "<x>\r\n"),
                              {{"x y", "x", true}}));
  v.push_back(
      WithRemoval(Case("tag_removal_skips_greater_sign_in_quotes", "<img alt=\"a>b\" src=x>y\r\n", Only({}), "y\r\n"),
                  {{"img", true}}));
  v.push_back(WithRemoval(
      Case("tag_removal_walk_back_skips_less_sign_in_quotes", "<img alt=\"a<b\" class=x>y\r\n", Only({}), "y\r\n"),
      {{"class=x", true}}));
  // In markup, but the only "<" before the entry is inside quotes.
  v.push_back(
      WithRemoval(Case("tag_removal_without_less_sign_starts_at_first_position", "\"<\" hr y>z\r\n", Only({}), "z\r\n"),
                  {{"hr", true}}));
  v.push_back(WithRemoval(Case("tag_removal_without_greater_sign_runs_to_the_end", "<p a hr b\r\n", Only({}), ""),
                          {{"hr", true}}));
  v.push_back(WithRemoval(
      Case("tag_entry_at_first_position_is_not_an_occurrence", "hr <p>\r\n", Only({}), "hr <p>\r\n"), {{"hr", true}}));
}

void AddWhitespaceCases(std::vector<EngineCase>& v) {
  v.push_back(Case("spacing_around_signs_removed_outside_quotes", "<p  class = \"a b = c\" >x</p >\r\n", Only({}),
                   "<p  class=\"a b = c\">x</p>\r\n"));
  v.push_back(Case("join_tags_one_space_only", "<b> <i>\r\n<u>  <s>\r\n", Only({}), "<b><i>\r\n<u>  <s>\r\n"));
  v.push_back(Case("join_tags_in_quotes_stays", "<a title=\"x> <y\">\r\n", Only({}), "<a title=\"x> <y\">\r\n"));
  v.push_back(Case("join_tags_after_collapsing_spaces", "<b>  <i>\r\n", nullptr, "<b><i>\r\n"));
  v.push_back(Case("glue_lines_leaves_trailing_space", "a\r\nb\r\nc\r\n", Only({"cbDelCRLF"}), "a b c "));
  v.push_back(Case("glue_lines_then_trim_adds_line_break", "a\r\nb\r\nc\r\n", Only({"cbDelCRLF", "cbDelBegEndSpace"}),
                   "a b c\r\n"));
  v.push_back(Case("glue_lines_then_blank_lines_adds_line_break", "a\r\nb\r\nc\r\n",
                   Only({"cbDelCRLF", "cbDelTabLine"}), "a b c \r\n"));
  v.push_back(Case("glued_tags_are_joined", "<b>\r\n<i>\r\n", Only({"cbDelCRLF"}), "<b><i> "));
  v.push_back(Case("nbsp_chains_of_three_and_four", "a&nbsp;&nbsp;&nbsp;b&nbsp;&nbsp;&nbsp;&nbsp;c\r\n",
                   Only({"cbReplaceDoubleNbsp"}), "a&nbsp; &nbsp;b&nbsp; &nbsp; c\r\n"));
  v.push_back(Case("nbsp_in_quotes_and_capitals_stay", "<a title=\"&nbsp;&nbsp;\">&NBSP;&NBSP;\r\n",
                   Only({"cbReplaceDoubleNbsp"}), "<a title=\"&nbsp;&nbsp;\">&NBSP;&NBSP;\r\n"));
  v.push_back(Case("nbsp_in_quotes_collapsed_with_in_kav", "<a title=\"&nbsp;&nbsp;\">&NBSP;&NBSP;\r\n",
                   Only({"cbReplaceDoubleNbsp", "cbReplaceDoubleNbspInKav"}), "<a title=\"&nbsp; \">&NBSP;&NBSP;\r\n"));
  v.push_back(Case("blank_lines_removed_empty_line_stays", "a\r\n\t\t \r\n\r\nb\r\n", Only({"cbDelTabLine"}),
                   "a\r\n\r\nb\r\n"));
  v.push_back(Case("blank_and_empty_lines_removed", "a\r\n\t\t \r\n\r\nb\r\n", Only({"cbDelTabLine", "cbDelEmptyLine"}),
                   "a\r\nb\r\n"));
  v.push_back(Case("all_tabs_removed_in_quotes_too", "\ta\t<a title=\"x\ty\">\r\n", Only({"cbDelAllTabs"}),
                   "a<a title=\"xy\">\r\n"));
  v.push_back(Case("double_spaces_collapsed_outside_quotes", "a   b \"c   d\"  e\r\n", Only({"cbReplaceDoubleSpaces"}),
                   "a b \"c   d\" e\r\n"));
  v.push_back(Case("double_spaces_collapsed_in_quotes_with_in_kav", "a   b \"c   d\"  e\r\n",
                   Only({"cbReplaceDoubleSpaces", "cbReplaceDoubleSpacesInKav"}), "a b \"c d\" e\r\n"));
  v.push_back(Case("double_spaces_tab_is_not_a_space", "a \t b\r\n", Only({"cbReplaceDoubleSpaces"}), "a \t b\r\n"));
  v.push_back(Case("double_spaces_single_byte_unchanged", " ", Only({"cbReplaceDoubleSpaces"}), " "));
  v.push_back(Case("trim_lines_both_ends_tabs_and_spaces", "  \ta  b\t \r\n \t \r\n", Only({"cbDelBegEndSpace"}),
                   "a  b\r\n\r\n"));
  v.push_back(
      Case("empty_lines_removed_space_line_stays", "a\r\n\r\n \r\nb\r\n", Only({"cbDelEmptyLine"}), "a\r\n \r\nb\r\n"));
}

std::vector<EngineCase> BuildCases() {
  std::vector<EngineCase> v;
  AddDocumentCases(v);
  AddMarkerByteCases(v);
  AddScriptCases(v);
  AddCommentCases(v);
  AddQuoteCases(v);
  AddTagCases(v);
  AddWhitespaceCases(v);
  return v;
}

}  // namespace

OptimizationSettings EngineCase::Settings() const {
  OptimizationSettings s;
  if (tweak) tweak(s);
  return s;
}

void AllPassesOff(OptimizationSettings& s) {
  for (const auto& row : kOptionTable)
    if (IsPassSwitch(row)) SetOption(s, row.key, "0");
}

const std::vector<EngineCase>& EngineCases() {
  static const std::vector<EngineCase> cases = BuildCases();
  return cases;
}

}  // namespace tersify::testsupport
