// "main.ini" is edited by hand: any bytes either parse, give back the same
// bytes and take a new value that reads back without touching the other
// values, or are refused whole.

#include <cctype>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz_settings.h"
#include "profile/ini_file.h"

namespace {

// The section and key names a document mentions, for looking values up
// before and after a change.
std::vector<std::pair<std::string, std::string>> NamesIn(std::string_view text) {
    std::vector<std::pair<std::string, std::string>> names;
    std::string section;
    while (!text.empty() && names.size() < 64) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line[0] == '[') {
            section = std::string(line.substr(1, line.find(']') - 1));
        } else if (const std::size_t equals = line.find('='); equals != std::string_view::npos) {
            names.emplace_back(section, std::string(line.substr(0, equals)));
        }
    }
    return names;
}

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool SameName(std::string_view a, std::string_view b) {
    a = Trimmed(a);
    b = Trimmed(b);
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vextar;
    static const fuzz::ScratchFolder folder;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // The last line of the input, split at its first two "|", is the change:
    // SECTION|KEY|VALUE.
    const std::size_t lastLine = bytes.rfind('\n');
    const std::string_view change =
        lastLine == std::string_view::npos ? bytes : bytes.substr(lastLine + 1);
    const std::size_t bar1 = change.find('|');
    const std::size_t bar2 = bar1 == std::string_view::npos ? bar1 : change.find('|', bar1 + 1);
    const std::string_view section = change.substr(0, bar1);
    const std::string_view key =
        bar1 == std::string_view::npos ? "Key" : change.substr(bar1 + 1, bar2 - bar1 - 1);
    const std::string_view value =
        bar2 == std::string_view::npos ? "value" : change.substr(bar2 + 1);

    std::optional<CIniDocument> document = CIniDocument::Parse(bytes);
    if (!document) {
        fuzz::Check(bytes.size() > kMaxIniFileBytes || bytes.size() > kMaxIniLineBytes);
        return 0;
    }
    fuzz::Check(document->Text() == bytes);

    const auto names = NamesIn(bytes);
    std::vector<std::optional<std::string>> before;
    for (const auto& [s, k] : names) {
        before.push_back(document->Get(s, k));
    }
    if (!document->Set(section, key, value)) {
        fuzz::Check(document->Text() == bytes);
        return 0;
    }
    fuzz::Check(document->Get(section, key) == std::string(Trimmed(value)));
    const std::optional<CIniDocument> again = CIniDocument::Parse(document->Text());
    fuzz::Check(again.has_value());
    fuzz::Check(again->Text() == document->Text());
    fuzz::Check(again->Get(section, key) == std::string(Trimmed(value)));
    // Every other value reads as before.
    for (std::size_t i = 0; i < names.size(); ++i) {
        const auto& [s, k] = names[i];
        if (!SameName(s, section) || !SameName(k, key)) {
            fuzz::Check(again->Get(s, k) == before[i]);
        }
    }

    // Through the file: written atomically and read back.
    const std::string path = folder.Write("main.ini", data, size);
    std::string error;
    fuzz::Check(WriteIniValue(path, section, key, value, &error));
    fuzz::Check(ReadIniValue(path, section, key) == std::string(Trimmed(value)));
    folder.Clear();
    return 0;
}
