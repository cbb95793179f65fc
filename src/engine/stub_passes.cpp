#include "engine/passes.h"
namespace tersify::engine {
template <class Ch>
Str<Ch> CutScripts(Str<Ch> text, const PassEnv<Ch>&, ScriptBlocks<Ch>&) { return text; }
template <class Ch>
Str<Ch> InsertScripts(const Str<Ch>& text, const PassEnv<Ch>&, const ScriptBlocks<Ch>&) { return text; }
template <class Ch>
Str<Ch> RemoveComments(Str<Ch> text, const PassEnv<Ch>&) { return text; }
template <class Ch>
Str<Ch> RemoveQuotes(Str<Ch> text, const PassEnv<Ch>&) { return text; }
template <class Ch>
Str<Ch> ProcessTag(Str<Ch> text, const PassEnv<Ch>&, std::string_view, std::string_view) { return text; }
#define I(Ch) \
template Str<Ch> CutScripts<Ch>(Str<Ch>, const PassEnv<Ch>&, ScriptBlocks<Ch>&); \
template Str<Ch> InsertScripts<Ch>(const Str<Ch>&, const PassEnv<Ch>&, const ScriptBlocks<Ch>&); \
template Str<Ch> RemoveComments<Ch>(Str<Ch>, const PassEnv<Ch>&); \
template Str<Ch> RemoveQuotes<Ch>(Str<Ch>, const PassEnv<Ch>&); \
template Str<Ch> ProcessTag<Ch>(Str<Ch>, const PassEnv<Ch>&, std::string_view, std::string_view);
I(char)
I(Wide)
}
