// The profile list decides which file a device loads: any bytes as
// "ProfileList.ini" give a usable list whose files stay inside the folder.

#include <cstdint>
#include <string>

#include "fuzz_settings.h"
#include "profile/profile_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vextar;
    static const fuzz::ScratchFolder folder;
    static const std::string factory = [] {
        const std::string text = R"({"Device": [{}]})";
        return folder.Write("factory", reinterpret_cast<const uint8_t*>(text.data()), text.size());
    }();
    folder.Write(kProfileListFileName, data, size);
    ProfileListFile list(folder.Path(), factory);
    const ProfileListFile::Status status = list.Init();
    if (status == ProfileListFile::Status::Ok || status == ProfileListFile::Status::Created) {
        fuzz::Check(!list.Entries().empty());
        fuzz::Check(list.Selected() >= 0 &&
                    static_cast<std::size_t>(list.Selected()) < list.Entries().size());
    }
    for (const std::string& path : list.ProfilePaths()) {
        fuzz::Check(path.rfind(folder.Path(), 0) == 0);
        fuzz::Check(path.find('/', folder.Path().size()) == std::string::npos);
    }
    folder.Clear("factory");
    return 0;
}
