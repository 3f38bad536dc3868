#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"

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

TEST(VextarctlDevices, ListsOnePagePerDeviceWithTheCableFirst) {
    EXPECT_EQ(RunCli({"--simulate", "all", "list"}).out,
              "mouse cable 320f:7074\nkeyboard cable 320f:505b\nMousePad cable 320f:1004\n"
              "HD cable 0c76:1630\n");
    EXPECT_EQ(RunCli({"--simulate", "mouse,mouse-receiver", "list"}).out,
              "mouse cable 320f:7074\n");
    EXPECT_EQ(RunCli({"--simulate", "keyboard-receiver", "list"}).out,
              "keyboard receiver 320f:50ec\n");
}

TEST(VextarctlDevices, InfoKeysReadAndWriteByCableAndReceiver) {
    const Outcome info = RunCli({"--simulate", "mouse-receiver", "info", "MOUSE"});
    ASSERT_EQ(info.status, kExitOk) << info.err;
    EXPECT_EQ(info.out.substr(0, info.out.find("raw=")),
              "key_count=11\nmacro_memory=2048\nsensor=0x3395\ndpi_step=50\n"
              "highest_dpi_step=520\nlowest_dpi=50\n");
    const Outcome keys = RunCli({"--simulate", "keyboard", "keys", "keyboard"});
    ASSERT_EQ(keys.status, kExitOk) << keys.err;
    EXPECT_EQ(std::count(keys.out.begin(), keys.out.end(), '\n'), 170);
    EXPECT_EQ(keys.out.substr(0, 12), "0: 10 01 00\n");

    // Separate runs see the same device through a state folder.
    const std::string state =
        (std::filesystem::temp_directory_path() / ("vextar_simstate_" + std::to_string(::getpid())))
            .string();
    for (const char* device : {"mouse", "mouse-receiver"}) {
        SCOPED_TRACE(device);
        std::filesystem::remove_all(state);
        const Outcome write = RunCli(
            {"--simulate", device, "--sim-state", state, "write", "mouse", "0x81", "de ad be ef"});
        ASSERT_EQ(write.status, kExitOk) << write.err;
        const Outcome read =
            RunCli({"--simulate", device, "--sim-state", state, "read", "mouse", "128", "6"});
        ASSERT_EQ(read.status, kExitOk) << read.err;
        EXPECT_EQ(read.out, "00 de ad be ef 00\n");
    }
    std::filesystem::remove_all(state);
}

TEST(VextarctlDevices, FailuresSayWhatWentWrong) {
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* says;
    };
    const std::vector<Case> cases = {
        {{"--simulate", "mouse-receiver", "--sim-fault", "mouse-receiver:unlinked", "info",
          "mouse"},
         kExitDeviceOrFile,
         "receiver cannot reach its device (-101)"},
        {{"--simulate", "mouse", "--sim-fault", "mouse:fe@2", "info", "mouse"},
         kExitDeviceOrFile,
         "(status 0xFE) (-103)"},
        {{"--simulate", "mouse", "info", "keyboard"},
         kExitDeviceOrFile,
         "no keyboard is connected"},
        {{"--simulate", "mouse", "read", "mouse", "70000", "4"}, kExitUsage, "OFFSET"},
        {{"--simulate", "mouse", "read", "mouse", "0", "0"}, kExitUsage, "LENGTH"},
        {{"--simulate", "mouse", "write", "mouse", "0", "abc"}, kExitUsage, "HEX"},
        {{"--simulate", "mouse", "info", "toaster"}, kExitUsage, "unknown device type"},
        {{"--sim-state", "/tmp/x", "list"}, kExitUsage, "need --simulate"},
        {{"--simulate", "mouse", "--sim-fault", "mouse:burn@1", "list"},
         kExitUsage,
         "unknown fault"},
        {{"--simulate", "mouse", "--sim-fault", "keyboard:drop@1", "list"},
         kExitUsage,
         "not simulated"},
        {{"--simulate", "mouse", "info"}, kExitUsage, "info takes one TYPE"},
    };
    for (const Case& c : cases) {
        const Outcome r = RunCli(c.args);
        EXPECT_EQ(r.status, c.status) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace vextar::cli
