#include "profile/file_helpers.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "profile/json_access.h"
#include "profile/notices.h"
#include "profile/profile_data.h"
#include "support/settings_files.h"

namespace vextar {
namespace {

using test::ReadText;
using test::TempFolder;
using test::WriteText;

Json::Value SampleDocument() {
    Json::Value v;
    v["Device"][0]["LightInfo"]["Red"] = 255;
    v["Device"][0]["KeyList"][0]["Assignment"] = 1048832;
    v["name"] = "Zoë";
    v["list"].append(1);
    v["list"].append(2);
    return v;
}

TEST(WriteJsonFile, WritesTheStyledFormAndOneExtraLineEnd) {
    TempFolder folder;
    const std::string path = folder / "a.Json";
    ASSERT_FALSE(WriteJsonFile(path, SampleDocument()));
    // The library's styled writer: three-space indentation, short arrays on
    // one line, non-ASCII escaped.
    EXPECT_EQ(ReadText(path),
              "{\n"
              "   \"Device\" : [\n"
              "      {\n"
              "         \"KeyList\" : [\n"
              "            {\n"
              "               \"Assignment\" : 1048832\n"
              "            }\n"
              "         ],\n"
              "         \"LightInfo\" : {\n"
              "            \"Red\" : 255\n"
              "         }\n"
              "      }\n"
              "   ],\n"
              "   \"list\" : [ 1, 2 ],\n"
              "   \"name\" : \"Zo\\u00eb\"\n"
              "}\n\n");
    EXPECT_EQ(ReadJsonFile(path), SampleDocument());
    // Only the target is left in the folder.
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"a.Json"});
}

TEST(ReadJsonFile, AcceptsByteOrderMarkAndCommentsAndRefusesTheRest) {
    TempFolder folder;
    struct Case {
        const char* name;
        std::string text;
        bool parses;
    };
    const Case cases[] = {
        {"bom", "\xEF\xBB\xBF{\"a\": 1}", true},
        {"comments", "// saved by hand\n{\"a\": 1 /* one */}\n", true},
        {"crlf", "{\r\n\"a\": 1\r\n}\r\n", true},
        {"empty", "", false},
        {"bom only", "\xEF\xBB\xBF", false},
        {"truncated", "{\"a\": [1, 2", false},
        {"deep", std::string(5000, '[') + std::string(5000, ']'), false},
        // The writer would cut this name at the NUL, or re-encode it, and
        // could write another member's name.
        {"NUL in a name", R"({"a": 1, "x": {"a\u0000b": 2}})", false},
        {"name not UTF-8", "{\"a\": 1, \"x\": {\"b\xC3(\": 2}}", false},
    };
    for (const Case& c : cases) {
        WriteText(folder / "f", c.text);
        const Json::Value value = ReadJsonFile(folder / "f");
        EXPECT_EQ(!value.isNull(), c.parses) << c.name;
        if (c.parses) {
            EXPECT_EQ(json::Int(json::Member(value, "a")), 1) << c.name;
        }
    }
}

TEST(WriteJsonFile, CommentsSurviveARewriteWithoutSwallowingMembers) {
    // A line comment that ends in spaces would take the next member into
    // itself on the next write.
    Json::Value value;
    ASSERT_TRUE(ParseJsonText("{\"a\": 1, // note   \n \"b\": 2 // last \t\n}", value));
    TempFolder folder;
    ASSERT_FALSE(WriteJsonFile(folder / "c.Json", value));
    EXPECT_EQ(ReadText(folder / "c.Json"), "{\n   \"a\" : 1, // note\n   \"b\" : 2 // last\n}\n\n");
    EXPECT_EQ(ReadJsonFile(folder / "c.Json"), value);
}

TEST(ReadFileChecked, TellsMissingUnreadableAndTooLarge) {
    TempFolder folder;
    EXPECT_EQ(ReadFileChecked(folder / "none").status, FileReadStatus::Missing);
    EXPECT_EQ(ReadFileChecked(folder.Path()).status, FileReadStatus::Unreadable);
    // Only regular files are read: a FIFO would block a reader forever.
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(ReadFileChecked(folder / "fifo").status, FileReadStatus::Unreadable);
    // A 100 MB file is refused before anything is read (the file is sparse).
    const std::string big = folder / "big";
    WriteText(big, "{}");
    ASSERT_EQ(::truncate(big.c_str(), 100L * 1024 * 1024), 0);
    EXPECT_EQ(ReadFileChecked(big).status, FileReadStatus::TooLarge);
    EXPECT_EQ(ReadTextFile(big), "");
    EXPECT_EQ(ReadFileChecked(big, 200L * 1024 * 1024).status, FileReadStatus::Ok);
}

// Each way a write can fail leaves the old file as it was, reports the
// failure and leaves no temporary file behind.
TEST(WriteJsonFile, FailureKeepsTheOldFileAndIsReported) {
    TempFolder folder;
    const std::string path = folder / "p.Json";
    const std::string old = "{\n   \"old\" : true\n}\n";
    WriteText(path, old);

    Json::Value big;
    big["payload"] = std::string(64 * 1024, 'x');

    // The file size limit makes the write fail even for root.
    {
        const test::FileSizeLimit limit(4096);
        EXPECT_EQ(WriteJsonFile(path, big), std::make_error_code(std::errc::file_too_large));
    }
    EXPECT_EQ(ReadText(path), old);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"p.Json"});

    // A folder in place of the file, a missing folder.
    std::filesystem::create_directory(folder / "dir.Json");
    EXPECT_TRUE(WriteJsonFile(folder / "dir.Json", big));
    EXPECT_TRUE(std::filesystem::is_directory(folder / "dir.Json"));
    EXPECT_TRUE(WriteJsonFile(folder / "missing/p.Json", big));

    // A read-only folder: permissions do not stop root.
    if (::geteuid() != 0) {
        ::chmod(folder.Path().c_str(), 0500);
        EXPECT_TRUE(WriteJsonFile(path, big));
        ::chmod(folder.Path().c_str(), 0700);
        EXPECT_EQ(ReadText(path), old);
    }
}

TEST(WriteJsonFile, KeepsPermissionsAndFollowsSymbolicLinks) {
    TempFolder folder;
    const std::string real = folder / "real.Json";
    WriteText(real, "{}");
    ::chmod(real.c_str(), 0600);
    std::filesystem::create_symlink(real, folder / "link.Json");
    ASSERT_FALSE(WriteJsonFile(folder / "link.Json", SampleDocument()));
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "link.Json"));
    EXPECT_EQ(ReadJsonFile(real), SampleDocument());
    struct stat st {};
    ::stat(real.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600U);
}

TEST(LoadJsonFile, KeepsADamagedFileAsideAndSaysSo) {
    TempFolder folder;
    test::NoticeRecorder notices;
    const std::string path = folder / "macro.config";
    const auto isObject = [](const Json::Value& v) { return v.isObject(); };

    EXPECT_EQ(LoadJsonFile(path, isObject).state, JsonFileState::Missing);

    WriteText(path, "[1, 2]");  // parses, but wrong at the top
    const JsonFileLoad first = LoadJsonFile(path, isObject);
    EXPECT_EQ(first.state, JsonFileState::KeptAside);
    EXPECT_EQ(first.asidePath.rfind(path + ".bad-", 0), 0U);
    EXPECT_EQ(ReadText(first.asidePath), "[1, 2]");
    EXPECT_FALSE(std::filesystem::exists(path));

    // A second damaged file in the same millisecond gets its own name.
    WriteText(path, "{");
    const JsonFileLoad second = LoadJsonFile(path, isObject);
    EXPECT_NE(second.asidePath, first.asidePath);
    EXPECT_EQ(ReadText(first.asidePath), "[1, 2]");
    EXPECT_EQ(ReadText(second.asidePath), "{");

    ASSERT_EQ(notices.Count(kMessageFileKeptAside), 2U);
    EXPECT_EQ(notices.notices[0].path, path);
    EXPECT_EQ(notices.notices[0].detail, first.asidePath);

    // A folder where the file should be cannot be used, and is not moved.
    std::filesystem::create_directory(folder / "d");
    EXPECT_EQ(LoadJsonFile(folder / "d", isObject).state, JsonFileState::Unusable);
    EXPECT_EQ(notices.Count(kMessageFileUnreadable), 1U);
    EXPECT_TRUE(std::filesystem::is_directory(folder / "d"));
}

// A process killed at any moment while it saves leaves every settings file
// whole: the old content or the new.
TEST(WriteJsonFile, KilledWhileSavingLeavesEveryFileParseable) {
    TempFolder folder;
    const std::string profilePath = folder / "p.Json";
    const std::string factoryPath = folder / "factory.Json";
    Json::Value factory;
    factory["Device"][0]["LightInfo"]["Red"] = 1;
    ASSERT_FALSE(WriteJsonFile(factoryPath, factory));
    {
        CBasicProfiledata first;  // the profile exists before the first kill
        first.SetDefaultPath(factoryPath);
        first.LoadActiveSection(profilePath);
    }

    for (int round = 0; round < 12; ++round) {
        // The child says when its first save is done, so that the kill
        // always lands among saves, however busy the machine is.
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(ready[0]);
            SetFileNoticeSink([](const FileNotice&) {});
            CBasicProfiledata profile;
            profile.SetDefaultPath(factoryPath);
            profile.SetProfilePath(profilePath);
            profile.LoadActiveSection(profilePath);
            for (uint8_t n = 0;; ++n) {
                LightSetting light;
                light.red = n;
                profile.SetLightInfo(light);
                // Sizes vary, so a cut file would show.
                std::vector<KeyListEntry> keys(n % 40);
                profile.SetKeyList(keys);
                profile.Save();
                if (n == 0) {
                    const char one = 1;
                    [[maybe_unused]] const ssize_t w = ::write(ready[1], &one, 1);
                }
            }
        }
        ::close(ready[1]);
        char signal = 0;
        ASSERT_EQ(::read(ready[0], &signal, 1), 1);
        ::close(ready[0]);
        std::this_thread::sleep_for(std::chrono::milliseconds(1 + 3 * round));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));

        for (const std::string& name : folder.Names()) {
            if (name.find(".tmp-") != std::string::npos) {
                continue;  // a temporary file never read by anyone
            }
            const JsonFileLoad load = LoadJsonFile(folder / name, nullptr);
            EXPECT_EQ(load.state, JsonFileState::Loaded) << name << " after round " << round;
        }
        EXPECT_TRUE(
            json::Member(json::Element(json::Member(ReadJsonFile(profilePath), "Device"), 0),
                         "LightInfo")
                .isObject());
    }
}

}  // namespace
}  // namespace vextar
