// The options the passes read, taken from the settings record for one run.
#pragma once

#include "settings/options.h"

namespace tersify {

struct PassOptions {
  // The switches of the sequence.
  bool cbDelCRLF = false;
  bool cbDelComments = false;
  bool cbDelKav = false;
  bool cbClosedTagsAlso = false;
  bool cbReplaceDoubleNbsp = false;
  bool cbDelAllTabs = false;
  bool cbDelTabLine = false;
  bool cbReplaceDoubleSpaces = false;
  bool cbDelBegEndSpace = false;
  bool cbDelEmptyLine = false;
  // The refinements read inside the passes.
  bool cbDelEmptyPar = false;
  bool cbIsStyle = false;
  bool cbIsScript = false;
  bool cbOuttag = false;
  bool cbDelScripts = false;
  bool cbReplaceDoubleSpacesInKav = false;
  bool cbReplaceDoubleNbspInKav = false;

  bool operator==(const PassOptions&) const = default;
};

inline PassOptions PassOptionsOf(const OptimizationSettings& s) {
  PassOptions o;
  o.cbDelCRLF = s.cbDelCRLF;
  o.cbDelComments = s.cbDelComments;
  o.cbDelKav = s.cbDelKav;
  o.cbClosedTagsAlso = s.cbClosedTagsAlso;
  o.cbReplaceDoubleNbsp = s.cbReplaceDoubleNbsp;
  o.cbDelAllTabs = s.cbDelAllTabs;
  o.cbDelTabLine = s.cbDelTabLine;
  o.cbReplaceDoubleSpaces = s.cbReplaceDoubleSpaces;
  o.cbDelBegEndSpace = s.cbDelBegEndSpace;
  o.cbDelEmptyLine = s.cbDelEmptyLine;
  o.cbDelEmptyPar = s.cbDelEmptyPar;
  o.cbIsStyle = s.cbIsStyle;
  o.cbIsScript = s.cbIsScript;
  o.cbOuttag = s.cbOuttag;
  o.cbDelScripts = s.cbDelScripts;
  o.cbReplaceDoubleSpacesInKav = s.cbReplaceDoubleSpacesInKav;
  o.cbReplaceDoubleNbspInKav = s.cbReplaceDoubleNbspInKav;
  return o;
}

}  // namespace tersify
