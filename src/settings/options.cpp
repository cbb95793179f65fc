#include "settings/options.h"

#include "settings/ini_file.h"


namespace tersify {
namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

struct BoolField {
  std::string_view name;
  bool OptimizationSettings::*field;
};

const BoolField kBoolFields[] = {
    {"cbDelKav", &OptimizationSettings::cbDelKav},
    {"cbDelEmptyPar", &OptimizationSettings::cbDelEmptyPar},
    {"cbDelEmptyLine", &OptimizationSettings::cbDelEmptyLine},
    {"cbDelCRLF", &OptimizationSettings::cbDelCRLF},
    {"cbDelTabLine", &OptimizationSettings::cbDelTabLine},
    {"cbReplaceDoubleSpaces", &OptimizationSettings::cbReplaceDoubleSpaces},
    {"cbReplaceDoubleSpacesInKav", &OptimizationSettings::cbReplaceDoubleSpacesInKav},
    {"cbReplaceDoubleNbsp", &OptimizationSettings::cbReplaceDoubleNbsp},
    {"cbReplaceDoubleNbspInKav", &OptimizationSettings::cbReplaceDoubleNbspInKav},
    {"cbDelComments", &OptimizationSettings::cbDelComments},
    {"cbDelAllTabs", &OptimizationSettings::cbDelAllTabs},
    {"cbDelBegEndSpace", &OptimizationSettings::cbDelBegEndSpace},
    {"cbIsStyle", &OptimizationSettings::cbIsStyle},
    {"cbIsScript", &OptimizationSettings::cbIsScript},
    {"cbOuttag", &OptimizationSettings::cbOuttag},
    {"cbDelScripts", &OptimizationSettings::cbDelScripts},
    {"cbDelScriptsMax", &OptimizationSettings::cbDelScriptsMax},
    {"cbClosedTagsAlso", &OptimizationSettings::cbClosedTagsAlso},
    {"cbProcessEmbeded", &OptimizationSettings::cbProcessEmbeded},
    {"cbMaxEmbCount", &OptimizationSettings::cbMaxEmbCount},
    {"cbMaxFCount", &OptimizationSettings::cbMaxFCount},
    {"cbSaveNopen", &OptimizationSettings::cbSaveNopen},
    {"radModifyOld", &OptimizationSettings::radModifyOld},
    {"cbSaveBefMod", &OptimizationSettings::cbSaveBefMod},
    {"cbShowEnd", &OptimizationSettings::cbShowEnd},
    {"cbShowConf", &OptimizationSettings::cbShowConf},
    {"cbShowInfo", &OptimizationSettings::cbShowInfo},
    {"cbShowOptWin", &OptimizationSettings::cbShowOptWin},
};

struct TextField {
  std::string_view name;
  std::string OptimizationSettings::*field;
};

const TextField kTextFields[] = {
    {"edMaxEmbCount", &OptimizationSettings::edMaxEmbCount},
    {"edMaxFCount", &OptimizationSettings::edMaxFCount},
    {"edBackUpPath", &OptimizationSettings::edBackUpPath},
    {"edOptimizedPath", &OptimizationSettings::edOptimizedPath},
    {"edExtEditor", &OptimizationSettings::edExtEditor},
    {"edBrowser", &OptimizationSettings::edBrowser},
    {"edLan", &OptimizationSettings::edLan},
};

bool* FindBool(OptimizationSettings& s, std::string_view key) {
  for (const auto& f : kBoolFields)
    if (EqualNoCase(f.name, key)) return &(s.*f.field);
  return nullptr;
}

std::string* FindText(OptimizationSettings& s, std::string_view key) {
  for (const auto& f : kTextFields)
    if (EqualNoCase(f.name, key)) return &(s.*f.field);
  return nullptr;
}

int* FindInt(OptimizationSettings& s, std::string_view key) {
  if (EqualNoCase(key, "comboMode")) return &s.comboMode;
  if (EqualNoCase(key, "splitter")) return &s.splitter;
  if (EqualNoCase(key, "column_sort")) return &s.column_sort;
  if (key.size() == 4 && EqualNoCase(key.substr(0, 3), "col") && key[3] >= '0' && key[3] <= '5')
    return &s.col[static_cast<size_t>(key[3] - '0')];
  return nullptr;
}

}  // namespace

std::vector<std::string> ApplyModePreset(OptimizationSettings& s, int mode) {
  std::vector<std::string> changed;
  auto set = [&](std::string_view name, bool value) {
    bool* field = FindBool(s, name);
    if (*field != value) {
      *field = value;
      changed.emplace_back(name);
    }
  };
  if (mode == kModeNormal) {
    set("cbDelScripts", false);
    set("cbDelKav", true);
    set("cbDelEmptyPar", true);
    set("cbDelEmptyLine", true);
    set("cbDelCRLF", false);
    set("cbDelTabLine", true);
    set("cbDelAllTabs", false);
    set("cbDelBegEndSpace", true);
    set("cbReplaceDoubleSpaces", true);
    set("cbReplaceDoubleSpacesInKav", false);
    set("cbReplaceDoubleNbsp", true);
    set("cbReplaceDoubleNbspInKav", false);
    set("cbDelComments", true);
    set("cbIsStyle", true);
    set("cbIsScript", true);
    set("cbOuttag", true);
  } else if (mode == kModeMax) {
    if (s.cbDelScriptsMax) set("cbDelScripts", true);
    for (std::string_view name :
         {"cbDelKav", "cbDelBegEndSpace", "cbDelEmptyPar", "cbDelEmptyLine", "cbDelCRLF", "cbDelTabLine",
          "cbDelAllTabs", "cbReplaceDoubleSpaces", "cbReplaceDoubleSpacesInKav", "cbReplaceDoubleNbsp",
          "cbReplaceDoubleNbspInKav", "cbDelComments", "cbIsStyle", "cbIsScript", "cbOuttag"})
      set(name, true);
  }
  return changed;
}

bool IsModeSensitiveCheckBox(std::string_view name) {
  static constexpr std::string_view kNames[] = {"cbDelKav",
                                                "cbDelCRLF",
                                                "cbReplaceDoubleSpaces",
                                                "cbReplaceDoubleSpacesInKav",
                                                "cbReplaceDoubleNbsp",
                                                "cbReplaceDoubleNbspInKav",
                                                "cbDelEmptyLine",
                                                "cbDelEmptyPar",
                                                "cbDelTabLine",
                                                "cbDelAllTabs",
                                                "cbDelBegEndSpace",
                                                "cbDelComments",
                                                "cbIsStyle",
                                                "cbIsScript",
                                                "cbOuttag",
                                                "cbDelScripts",
                                                "cbClosedTagsAlso"};
  for (auto n : kNames)
    if (n == name) return true;
  return false;
}

bool OnCheckBoxMousePress(OptimizationSettings& s, std::string_view name) {
  if (!IsModeSensitiveCheckBox(name) || s.comboMode == kModeUsers) return false;
  s.comboMode = kModeUsers;
  return true;
}

const std::vector<OptionKey>& OptionKeys() {
  static const std::vector<OptionKey> keys = [] {
    std::vector<OptionKey> k;
    k.push_back({"comboMode", OptionType::Int});
    for (std::string_view name : {"cbDelKav",
                                  "cbDelEmptyPar",
                                  "cbDelEmptyLine",
                                  "cbDelCRLF",
                                  "cbDelTabLine",
                                  "cbReplaceDoubleSpaces",
                                  "cbReplaceDoubleSpacesInKav",
                                  "cbReplaceDoubleNbsp",
                                  "cbReplaceDoubleNbspInKav",
                                  "cbDelComments",
                                  "cbDelAllTabs",
                                  "cbDelBegEndSpace",
                                  "cbIsStyle",
                                  "cbIsScript",
                                  "cbOuttag",
                                  "cbDelScripts",
                                  "cbDelScriptsMax",
                                  "cbClosedTagsAlso",
                                  "cbProcessEmbeded",
                                  "cbMaxEmbCount"})
      k.push_back({name, OptionType::Bool});
    k.push_back({"edMaxEmbCount", OptionType::Text});
    k.push_back({"cbMaxFCount", OptionType::Bool});
    k.push_back({"edMaxFCount", OptionType::Text});
    k.push_back({"cbSaveNopen", OptionType::Bool});
    k.push_back({"radModifyOld", OptionType::Bool});
    k.push_back({"cbSaveBefMod", OptionType::Bool});
    k.push_back({"edBackUpPath", OptionType::Text});
    k.push_back({"edOptimizedPath", OptionType::Text});
    for (std::string_view name : {"cbShowEnd", "cbShowConf", "cbShowInfo", "cbShowOptWin"})
      k.push_back({name, OptionType::Bool});
    k.push_back({"edExtEditor", OptionType::Text});
    k.push_back({"edBrowser", OptionType::Text});
    k.push_back({"edLan", OptionType::Text});
    for (std::string_view name : {"col0", "col1", "col2", "col3", "col4", "col5", "splitter", "column_sort"})
      k.push_back({name, OptionType::Int});
    return k;
  }();
  return keys;
}

std::optional<OptionType> OptionTypeOf(std::string_view key) {
  for (const auto& k : OptionKeys())
    if (EqualNoCase(k.key, key)) return k.type;
  return std::nullopt;
}

std::optional<std::string> GetOption(const OptimizationSettings& cs, std::string_view key) {
  auto& s = const_cast<OptimizationSettings&>(cs);
  if (bool* b = FindBool(s, key)) return std::string(*b ? "1" : "0");
  if (int* i = FindInt(s, key)) return std::to_string(*i);
  if (std::string* t = FindText(s, key)) return *t;
  return std::nullopt;
}

bool SetOption(OptimizationSettings& s, std::string_view key, std::string_view value) {
  if (bool* b = FindBool(s, key)) {
    auto v = ParseIniInteger(value);
    if (!v) return false;
    *b = *v != 0;
    return true;
  }
  if (int* i = FindInt(s, key)) {
    auto v = ParseIniInteger(value);
    if (!v) return false;
    if (EqualNoCase(key, "comboMode") && (*v < 0 || *v > 2)) return false;
    *i = *v;
    return true;
  }
  if (std::string* t = FindText(s, key)) {
    *t = std::string(value);
    return true;
  }
  return false;
}

}  // namespace tersify
