#include "cli/cli.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace vextar::cli {
namespace {

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome RunCli(std::vector<std::string> args) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = Run(args, out, err);
    return {status, out.str(), err.str()};
}

std::string DataFile(const std::string& name) {
    return std::string(VEXTAR_TEST_DATA) + "/hid/" + name;
}

TEST(VextarctlHidDescribe, PrintsOneLinePerCollection) {
    const Outcome r = RunCli({"hid-describe", DataFile("command_interface.bin")});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(
        r.out,
        "collection 1 usage_page=0x0001 usage=0x0006 report_ids=1 input=9 output=0 feature=0\n"
        "collection 2 usage_page=0x0001 usage=0x0080 report_ids=2 input=2 output=0 feature=0\n"
        "collection 3 usage_page=0x000c usage=0x0001 report_ids=3 input=3 output=0 feature=0\n"
        "collection 4 usage_page=0xff1c usage=0x0092 report_ids=4 input=64 output=64 "
        "feature=0\n");
    const Outcome mouse = RunCli({"hid-describe", DataFile("boot_mouse.bin")});
    EXPECT_EQ(mouse.out,
              "collection 1 usage_page=0x0001 usage=0x0002 report_ids=none input=5 output=0 "
              "feature=0\n");
    const Outcome headset = RunCli({"hid-describe", DataFile("headset.bin")});
    EXPECT_NE(headset.out.find("report_ids=1,4,255 input=64 output=64"), std::string::npos);
}

TEST(VextarctlHidDescribe, RejectsMalformedAndMissingFiles) {
    const std::filesystem::path bad = std::filesystem::temp_directory_path() /
                                      ("vextar_bad_descriptor_" + std::to_string(::getpid()));
    {
        std::ofstream f(bad, std::ios::binary);
        const char bytes[] = {0x05, 0x01, 0x09, 0x02, static_cast<char>(0xA1), 0x01};
        f.write(bytes, sizeof bytes);
    }
    const Outcome malformed = RunCli({"hid-describe", bad.string()});
    std::filesystem::remove(bad);
    EXPECT_EQ(malformed.status, kExitUsage);
    EXPECT_TRUE(malformed.out.empty());
    EXPECT_NE(malformed.err.find("malformed report descriptor: "), std::string::npos);
    EXPECT_NE(malformed.err.find("never closed"), std::string::npos);

    EXPECT_EQ(RunCli({"hid-describe", "/nonexistent/descriptor.bin"}).status, kExitDeviceOrFile);
}

TEST(VextarctlHidList, ListsSimulatedDevices) {
    const Outcome r = RunCli({"--simulate", "all", "hid-list"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    std::istringstream lines(r.out);
    std::vector<std::string> all;
    for (std::string line; std::getline(lines, line);) {
        all.push_back(line);
    }
    // mouse 5 (boot mouse + 4 collections), keyboard 5, mouse pad 4, headset 1
    ASSERT_EQ(all.size(), 15U);
    EXPECT_EQ(all[4].substr(0, all[4].find(' ')).find("sim#vid_320f&pid_7074&mi_01&col04#"), 0U);
    EXPECT_NE(all[4].find(" 320f:7074 ff1c:0092 in=64 out=64 feat=0"), std::string::npos);

    const Outcome receiver = RunCli({"--simulate=mouse-receiver", "hid-list"});
    EXPECT_NE(receiver.out.find("320f:221d ff1c:0092"), std::string::npos);
}

TEST(VextarctlUsage, ReportsUsageErrorsWithStatus2) {
    struct Case {
        std::vector<std::string> args;
        const char* says;
    };
    const std::vector<Case> cases = {
        {{}, "no command"},
        {{"frobnicate"}, "unknown command"},
        {{"--bogus", "hid-list"}, "unknown option"},
        {{"--simulate"}, "needs a LIST"},
        {{"--simulate", "toaster", "hid-list"}, "unknown simulated device 'toaster'"},
        {{"hid-describe"}, "one FILE"},
        {{"hid-list", "extra"}, "no arguments"},
    };
    for (const Case& c : cases) {
        const Outcome r = RunCli(c.args);
        EXPECT_EQ(r.status, kExitUsage) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
    EXPECT_EQ(RunCli({"--help"}).status, kExitOk);
    EXPECT_EQ(RunCli({"--version"}).out.rfind("vextarctl ", 0), 0U);
}

}  // namespace
}  // namespace vextar::cli
