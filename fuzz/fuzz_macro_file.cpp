// Any bytes as a macro file: its steps load and convert to the device form,
// importing it either refuses it or copies it unchanged, and a save of what
// was loaded reads back with the same steps.

#include <cstdint>
#include <string>

#include "fuzz_settings.h"
#include "macro/macro_library.h"
#include "profile/file_helpers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vextar;
    static const fuzz::ScratchFolder folder;
    const std::string source = folder.Write("source.mac", data, size);
    const std::vector<Json::Value> steps = LoadMacroFile(source);
    fuzz::Check(steps.size() <= kMaxMacroSteps);
    for (const Json::Value& step : steps) {
        const DeviceMacroStep device = ToDeviceMacroStep(step);
        fuzz::Check((device.delayLow | (device.delayHigh << 8)) == MacroStepDelay(step));
    }
    // LoadMacroFile kept a damaged file aside: import the bytes again.
    folder.Write("source.mac", data, size);
    MacroLibrary library(folder.Path());
    const MacroAdded imported = library.ImportMacro(source);
    if (imported.status == MacroStatus::Ok) {
        const std::string copy = library.MacroFilePath(imported.number);
        fuzz::Check(ReadTextFile(copy) == ReadTextFile(source));
        fuzz::Check(library.SaveMacro(imported.number, steps) == MacroStatus::Ok);
        const std::vector<Json::Value> saved = library.LoadMacroSteps(imported.number);
        std::size_t objects = 0;
        while (objects < steps.size() && steps[objects].isObject()) {
            ++objects;
        }
        fuzz::Check(saved.size() == objects);
        for (std::size_t i = 0; i < saved.size(); ++i) {
            fuzz::Check(ToDeviceMacroStep(saved[i]) == ToDeviceMacroStep(steps[i]));
        }
    }
    folder.Clear();
    return 0;
}
