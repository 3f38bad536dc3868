// Any bytes as "macro.config": the list loads, its identifiers never name a
// file outside the folder, and adding a macro leaves a list that loads with
// one more entry.

#include <cstdint>
#include <string>

#include "fuzz_settings.h"
#include "macro/macro_library.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vextar;
    static const fuzz::ScratchFolder folder;
    folder.Write(kMacroListFileName, data, size);
    MacroLibrary library(folder.Path());
    if (library.LoadMacroList() != MacroStatus::Ok) {
        folder.Clear();
        return 0;
    }
    const std::size_t count = library.Entries().size();
    for (std::size_t i = 0; i < count; ++i) {
        const std::string path = library.MacroFilePath(i);
        fuzz::Check(path.empty() || (path.rfind(folder.Path(), 0) == 0 &&
                                     path.find('/', folder.Path().size()) == std::string::npos));
        fuzz::Check(library.LoadMacroSteps(i).size() <= kMaxMacroSteps);
    }
    if (count > 0) {
        fuzz::Check(library.Find(library.Entries()[count - 1].name).has_value());
    }
    const MacroAdded added = library.AddMacro();
    MacroLibrary reloaded(folder.Path());
    fuzz::Check(reloaded.LoadMacroList() == MacroStatus::Ok);
    if (added.status == MacroStatus::Ok) {
        fuzz::Check(reloaded.Entries().size() == count + 1);
        fuzz::Check(reloaded.Entries()[count].name == added.name);
    } else {
        fuzz::Check(added.status == MacroStatus::LimitReached && count >= kMaxMacros);
    }
    folder.Clear();
    return 0;
}
