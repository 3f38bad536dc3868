// "Language.config" names the language files the program loads: any bytes
// give either nothing or a list whose files all stay inside the skin folder.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/language.h"
#include "platform/log.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vextar;
    static const bool quiet = [] {
        log::SetLevel(log::Level::Off);
        return true;
    }();
    (void)quiet;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const auto entries = app::ParseLanguageConfig(text, &error);
    if (!entries) {
        if (error.empty()) {
            std::abort();
        }
        return 0;
    }
    for (const app::LanguageEntry& entry : *entries) {
        const std::string_view file = entry.file;
        if (!app::IsPlainRelativePath(file) || file.find('\\') != std::string_view::npos ||
            file.front() == '/' || file == ".." || file.starts_with("../") ||
            file.find("/../") != std::string_view::npos || file.ends_with("/..")) {
            std::abort();
        }
    }
    return 0;
}
