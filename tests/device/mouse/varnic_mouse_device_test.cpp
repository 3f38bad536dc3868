#include "device/mouse/varnic_mouse_device.h"
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "device/mouse/mouse_protocol.h"
#include "devicelink/device_tables.h"
#include "macro/macro_library.h"
#include "profile/paths.h"
#include "sim/sim_catalog.h"

namespace vextar {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// ---- formats ----

TEST(MouseFormats, DpiConversionsBothWays) {
    const mouse::DpiScale wide{100, 100, mouse::kSensorWideSteps, 200};
    const mouse::DpiScale plain{100, 100, 0x3395, 200};
    struct Case {
        const mouse::DpiScale* scale;
        uint32_t position;
        uint32_t dpi;
    };
    for (const Case& c : {Case{&wide, 30, 3100}, Case{&wide, 48, 4900}, Case{&wide, 50, 5300},
                          Case{&plain, 50, 5100}, Case{&plain, 0, 100}}) {
        SCOPED_TRACE(c.position);
        EXPECT_EQ(mouse::PositionToDpi(*c.scale, c.position), c.dpi);
        EXPECT_EQ(mouse::DpiToPosition(*c.scale, c.dpi), c.position);  // an exact inverse
    }
    // Every position of the wide sensor survives the round trip.
    for (uint32_t b = 0; b <= 200; ++b) {
        ASSERT_EQ(mouse::DpiToPosition(wide, mouse::PositionToDpi(wide, b)), b);
    }
    EXPECT_EQ(mouse::EditTextToPosition(wide, "40"), 0U);  // raised to the lowest DPI
    EXPECT_EQ(mouse::EditTextToPosition(wide, ""), 0U);
    EXPECT_EQ(mouse::EditTextToPosition(wide, "5399"), 50U);     // between two positions: down
    EXPECT_EQ(mouse::EditTextToPosition(wide, "999999"), 200U);  // the slider's range
    const mouse::DpiScale noStep{0, 100, 0, 50};
    EXPECT_EQ(mouse::EditTextToPosition(noStep, "1600"), 0U);  // a device step of 0
}

TEST(MouseFormats, RecordAsTabled) {
    const std::vector<int> codes = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 10, 11};
    const std::vector<DpiStage> stages = {{1, 0, {31, 0}, {31, 0}, 255, 0, 0},
                                          {1, 1, {0x10, 0x02}, {5, 0}, 0, 255, 0}};
    const std::vector<CorrectionEntry> corrections = {{7, 8, 0, "a"}, {3, 4, 1, "b"}};
    mouse::RecordInputs in;
    in.profileNumber = 2;
    in.light = {1, 3, 1, 1, 1, 10, 20, 30};
    in.modeCodes = codes;
    in.pollingIndex = 3;
    in.activeStage = 1;
    in.stages = stages;
    in.flag = 1;
    in.screenWidth = 1920;
    in.screenHeight = 1080;
    in.corrections = corrections;
    const mouse::Record r = mouse::BuildRecord(in);
    const std::vector<uint8_t> head = {2, 8, 3, 3, 1, 1, 10, 20, 30, 0, 0, 3, 1, 0};
    EXPECT_EQ(std::vector<uint8_t>(r.begin(), r.begin() + 14), head);
    const std::vector<uint8_t> stage1 = {1, 1, 0x10, 0x02, 5, 0, 0, 255, 0};
    EXPECT_EQ(std::vector<uint8_t>(r.begin() + 23, r.begin() + 32), stage1);
    EXPECT_EQ(r[14 + 2], 31);
    EXPECT_EQ(r[59], 1);
    EXPECT_EQ(r[60] | (r[61] << 8), 1920);
    EXPECT_EQ(r[62] | (r[63] << 8), 1080);
    EXPECT_EQ(r[64], 4);  // the first selected correction: min sq, then threshold
    EXPECT_EQ(r[65], 3);
    // Custom modes (12 and up) go as mode 0; speed bytes both ways.
    in.light.mode = 12;
    EXPECT_EQ(mouse::BuildRecord(in)[1], 9);
    EXPECT_EQ(mouse::SpeedToRecord(1), 3);
    EXPECT_EQ(mouse::SpeedFromRecord(0), 4);
    EXPECT_EQ(mouse::SpeedToRecord(9), 0);
}

TEST(MouseFormats, BlobLayoutAndOverflow) {
    const std::vector<std::vector<DeviceMacroStep>> entries = {{{1, 0, 0x8A, 4}}, {}};
    std::size_t length = 0;
    const std::vector<uint8_t> blob = mouse::BuildBlob(entries, length);
    ASSERT_EQ(length, 16U + 12 + 4);
    const std::vector<uint8_t> expected = {0xAA, 0x55, 32, 0, 2,    0,  0, 0,  0, 0, 0,
                                           0,    0,    0,  0, 0,    20, 0, 28, 0, 1, 0,
                                           0,    0,    1,  0, 0x8A, 4,  0, 0,  0, 0};
    EXPECT_EQ(blob, expected);
    // 520 bytes against 512: two events too many, told as 3.
    EXPECT_EQ(mouse::BlobOverflow(520, 512), 3);
    EXPECT_EQ(mouse::BlobOverflow(512, 512), 0);
    // A length past the 16-bit field is refused, not wrapped.
    const std::vector<std::vector<DeviceMacroStep>> huge(1, std::vector<DeviceMacroStep>(16400));
    EXPECT_TRUE(mouse::BuildBlob(huge, length).empty());
    EXPECT_EQ(length, 16U + 6 + 4 * 16400);
}

TEST(MouseFormats, NotificationCodes) {
    struct Case {
        uint16_t usage;
        bool receiver;
        bool resync, burst;
        std::optional<int> profile, stage;
    };
    const Case cases[] = {
        {0x1123, false, false, false, 3, 2},
        {0x1005, false, false, false, 5, std::nullopt},
        {0x1200, false, false, false, std::nullopt, std::nullopt},
        {0x0401, false, true, false, std::nullopt, std::nullopt},
        {0x0402, true, true, false, std::nullopt, std::nullopt},
        {0x0403, false, false, true, std::nullopt, std::nullopt},
        {0x0403, true, false, false, std::nullopt, std::nullopt},
        {0x1153, false, false, false, 3, std::nullopt},  // stage 5 does not exist
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.usage);
        const mouse::NotifyAction a = mouse::DecodeNotification(c.usage, c.receiver, true);
        EXPECT_EQ(a.resync, c.resync);
        EXPECT_EQ(a.burst, c.burst);
        EXPECT_EQ(a.profileNumber, c.profile);
        EXPECT_EQ(a.dpiStage, c.stage);
    }
    EXPECT_FALSE(mouse::DecodeNotification(0x1123, false, false).profileNumber);  // link closed
}

// ---- the mouse against the simulated device ----

class Mouse : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("vextar_mouse_" + std::to_string(::getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "user");
        paths::SetDataRoot((root_ / "user").string());
        paths::SetDefaultDataFolder(VEXTAR_SOURCE_DEFAULT_DATA);
    }
    void TearDown() override {
        device_.reset();
        paths::SetDataRoot("");
        paths::SetDefaultDataFolder("");
        fs::remove_all(root_);
    }

    bool Receiver() const { return GetParam(); }
    std::string Name() const { return Receiver() ? "mouse-receiver" : "mouse"; }

    // Plugs the simulated mouse in and opens the page's command link on it.
    void Connect(const std::string& faults = {}) {
        sim::SimOptions options;
        std::string error;
        ASSERT_TRUE(sim::ParseFaults(faults, options.faults, error)) << error;
        ASSERT_TRUE(sim::AddSimulatedDevices(*backend_, Name(), error, options, &devices_))
            << error;
        InterfaceWorkingCopy rows;
        BindPresentInterfaces(rows, backend_);
        for (const HidInterfaceRow& r : rows.Snapshot()) {
            if (r.connected != 0 && r.channel == kChannelCommand) {
                path_ = r.path;
            }
        }
        ASSERT_FALSE(path_.empty());
        device_ = std::make_unique<CVarnicMouseDevice>(backend_);
        CDeviceLink& link = device_->CommandLink();
        CHidInterface& hid = Receiver() ? link.receiverInterface : link.cableInterface;
        ASSERT_TRUE(hid.Open(path_, true, true, true, false)) << hid.LastError();
        link.SetMode(Receiver() ? CDeviceLink::kModeReceiver : CDeviceLink::kModeCable);
        link.open = true;
        firmware_ = devices_.firmware.at(Name());
        model_ = devices_.models.at("mouse");
    }

    std::vector<int> Commands() const {
        std::vector<int> out;
        for (const auto& f : firmware_->Requests()) {
            if (f[3] != CMD_RECEIVER_STATE) {
                out.push_back(f[3]);
            }
        }
        return out;
    }

    fs::path root_;
    std::shared_ptr<sim::SimHidBackend> backend_ = std::make_shared<sim::SimHidBackend>();
    sim::SimDevices devices_;
    std::shared_ptr<sim::CommandFirmware> firmware_;
    std::shared_ptr<sim::PeripheralModel> model_;
    std::unique_ptr<CVarnicMouseDevice> device_;
    std::string path_;
};

// The engine of a connected mouse draws every kind of lighting: a mode, the
// per-zone effect list and a custom sequence.
TEST_P(Mouse, TheEffectEngineDrawsModesZoneEffectsAndCustomSequences) {
    Connect();
    platform::FakeClock clock(1000);
    device_->SetClock(clock);
    device_->SetZoneCount(15);
    device_->OnConnected();
    ASSERT_TRUE(device_->EffectThreadRunning());
    auto waitFor = [&](const std::function<bool()>& done) {
        for (int i = 0; i < 2000 && !done(); ++i) {
            clock.Advance(16);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return done();
    };
    // Spectrum, brightest and fastest: every zone walks the wheel.
    device_->SetLightParameters(1U | (4U << 8) | (4U << 16) | (1U << 24), 0, 0, 0);
    const uint32_t first = device_->GetZoneColour(0);
    EXPECT_TRUE(waitFor([&] { return device_->GetZoneColour(0) != first; }));
    EXPECT_EQ(device_->GetZoneColour(3) >> 24, 255U);

    // A custom sequence: one static green entry.
    EffectStep green;
    green.mode = 1;
    green.brightness = 4;
    green.green = 255;
    green.time = 1000;
    device_->Player().SetEntries({green});
    device_->SetLightParameters(12U | (4U << 8), 0, 0, 0);
    EXPECT_TRUE(waitFor([&] { return device_->GetZoneColour(7) == 0xFF00FF00U; }));

    // The per-zone list: zone 0 static red, zone 1 off.
    device_->SetLightParameters(3U | (4U << 8), 0, 0, 0);  // static, no colour: black
    std::vector<LightSetting> zones(15);
    zones[0].mode = 1;
    zones[0].brightness = 4;
    zones[0].red = 255;
    zones[0].present = 1;
    zones[1].mode = 4;
    for (std::size_t z = 2; z < zones.size(); ++z) {
        zones[z].mode = 9;  // no effect of the list
    }
    EXPECT_TRUE(waitFor([&] { return device_->GetZoneColour(5) == 0xFF000000U; }));
    device_->SetZoneEffects(zones);
    device_->RunZoneEffects(true);
    EXPECT_EQ(device_->GetZoneColour(0), 0xFF0000FFU);
    EXPECT_EQ(device_->GetZoneColour(1), 0U);
    device_->StopEffectThread();
    EXPECT_FALSE(device_->EffectThreadRunning());
}

TEST_P(Mouse, ConnectThenADpiStageReachesTheRecord) {
    Connect();
    device_->OnConnected();
    EXPECT_EQ(device_->Scale().step, 50);
    EXPECT_EQ(device_->SlotMap()[10], 10);  // every key the device has gets its slot
    EXPECT_EQ(device_->SlotMap()[11], mouse::kNoSlot);
    device_->SetStageEditText(1, "1600");
    EXPECT_EQ(device_->GetStageSlider(1), 31U);
    EXPECT_EQ(device_->GetStageEditValue(1), 1600U);
    device_->SaveProfile();
    ASSERT_EQ(device_->WriteSettings(0, 0, 1, 1920, 1080), kResultOk);
    const std::vector<uint8_t> record = model_->Memory(0, 71);
    const std::vector<uint8_t> stage1 = {1, 0, 31, 0, 31, 0, 0, 255, 0};
    EXPECT_EQ(std::vector<uint8_t>(record.begin() + 23, record.begin() + 32), stage1);
    EXPECT_EQ(record[0], 0);
    EXPECT_EQ(record[59], 1);
    EXPECT_EQ(record[60] | (record[61] << 8), 1920);
    // The stored profile has it too: a new page reads it back.
    CVarnicMouseDevice again(backend_);
    ASSERT_EQ(again.LoadProfile(), 1);
    EXPECT_EQ(again.GetStageSlider(1), 31U);
    device_->StopEffectThread();
}

TEST_P(Mouse, KeysReachTheirSlotsWithMacrosRenumbered) {
    Connect();
    ASSERT_EQ(device_->ReadDeviceSetup(), kResultOk);
    ASSERT_EQ(device_->LoadProfile(), 1);
    // Five macros; key 0 plays macro 7 (gone), key 3 macro 4, key 4 macro 2.
    MacroLibrary library(device_->ProfileFolder());
    library.LoadMacroList();
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(library.AddMacro().status, MacroStatus::Ok);
        ASSERT_EQ(library.SaveMacro(static_cast<std::size_t>(i),
                                    {MakeMacroStep(kMacroStepKey, 4 + i, true, 10)}),
                  MacroStatus::Ok);
    }
    std::vector<KeyListEntry> keys = device_->KeyList();
    ASSERT_GE(keys.size(), 5U);
    keys[0].current.SetPacked(0x700700);
    keys[3].current.SetPacked(0x700400);
    keys[4].current.SetPacked(0x710203);
    device_->SetKeyList(keys);
    ASSERT_EQ(device_->WriteKeyAssignments(0), kResultOk);
    const std::vector<uint8_t> table = model_->Keys();
    auto slot = [&](int s) {
        return std::vector<uint8_t>(table.begin() + 3 * s, table.begin() + 3 * s + 3);
    };
    EXPECT_EQ(slot(0), (std::vector<uint8_t>{keys[0].defaults.kind, keys[0].defaults.a,
                                             keys[0].defaults.b}));
    EXPECT_EQ(slot(3), (std::vector<uint8_t>{0x70, 0, 0}));
    EXPECT_EQ(slot(4), (std::vector<uint8_t>{0x71, 1, 3}));
    // The page's own list keeps the macro numbers; the upload follows them.
    EXPECT_EQ(device_->KeyList()[3].current.a, 4);
    const std::vector<int> macros = device_->CollectMacros();
    EXPECT_EQ(macros, (std::vector<int>{4, 2}));
    ASSERT_EQ(device_->WriteMacros(macros), 0);
    EXPECT_TRUE(model_->MacroBlobValid());
    const std::vector<uint8_t> area = model_->MacroArea();
    EXPECT_EQ(area[16] | (area[17] << 8), 20);  // entry 0 after the two offsets
    EXPECT_EQ(area[20 + 4 + 3], 4 + 4);         // entry 0 is macro 4 (key usage 8)
    // Patterns: no files yet, four empty entries.
    firmware_->ClearRequests();
    EXPECT_EQ(device_->WritePatterns(), 0);
    EXPECT_EQ(Commands(), (std::vector<int>{CMD_START, CMD_WRITE_PATTERNS, CMD_END}));
}

TEST_P(Mouse, TooManyMacroEventsSendNothing) {
    Connect();
    ASSERT_EQ(device_->ReadDeviceSetup(), kResultOk);
    MacroLibrary library(device_->ProfileFolder());
    library.LoadMacroList();
    ASSERT_EQ(library.AddMacro().status, MacroStatus::Ok);
    // 16 + 6 + 4 × 508 = 2054 bytes against 2048: two events too many.
    std::vector<Json::Value> steps(508, MakeMacroStep(kMacroStepKey, 4, true, 1));
    ASSERT_EQ(library.SaveMacro(0, steps), MacroStatus::Ok);
    firmware_->ClearRequests();
    const std::vector<int> list = {0};
    EXPECT_EQ(device_->WriteMacros(list), 2);
    EXPECT_TRUE(Commands().empty());
}

TEST_P(Mouse, FailuresAreReportedAndNothingIsLeftOpen) {
    // The information block fails: nothing is written.
    Connect(Name() + (Receiver() ? ":drop@3" : ":drop@2"));
    device_->SetKeyList(std::vector<KeyListEntry>(11));
    EXPECT_EQ(device_->WriteKeyAssignments(0), kResultNoReply);
    for (int c : Commands()) {
        EXPECT_NE(c, CMD_WRITE_KEYS);
    }
    EXPECT_FALSE(model_->InSequence());
}

TEST_P(Mouse, UnplugDuringTheSettingsWrite) {
    Connect(Name() + (Receiver() ? ":unplug@5" : ":unplug@3"));
    ASSERT_EQ(device_->LoadProfile(), 1);
    const int32_t r = device_->WriteSettings(0, 0, 1, 1920, 1080);
    EXPECT_NE(r, kResultOk);
    EXPECT_LE(r, 0);
    EXPECT_FALSE(device_->CommandLink().IsBusy());
}

INSTANTIATE_TEST_SUITE_P(CableAndReceiver, Mouse, ::testing::Bool(),
                         [](const auto& p) { return p.param ? "Receiver" : "Cable"; });

TEST(MouseReceiver, UnlinkedSendsNothingAndSaysSo) {
    auto backend = std::make_shared<sim::SimHidBackend>();
    sim::SimOptions options;
    std::string error;
    ASSERT_TRUE(sim::ParseFaults("mouse-receiver:unlinked", options.faults, error));
    sim::SimDevices devices;
    ASSERT_TRUE(sim::AddSimulatedDevices(*backend, "mouse-receiver", error, options, &devices));
    InterfaceWorkingCopy rows;
    BindPresentInterfaces(rows, backend);
    std::string path;
    for (const HidInterfaceRow& r : rows.Snapshot()) {
        if (r.connected != 0 && r.channel == kChannelCommand) {
            path = r.path;
        }
    }
    CVarnicMouseDevice device(backend);
    ASSERT_TRUE(device.CommandLink().receiverInterface.Open(path, true, true, true, false));
    device.CommandLink().SetMode(CDeviceLink::kModeReceiver);
    device.CommandLink().open = true;
    EXPECT_EQ(device.WriteSettings(0, 0, 1, 1920, 1080), kResultUnreachable);
    EXPECT_EQ(device.WriteKeyAssignments(0), kResultUnreachable);
    EXPECT_LT(device.WriteMacros(std::vector<int>{}), 0);
    EXPECT_EQ(device.IsDeviceReachable(), 0);
    for (const auto& f : devices.firmware.at("mouse-receiver")->Requests()) {
        EXPECT_EQ(f[3], CMD_RECEIVER_STATE);  // only the reachability question
    }
}

TEST(MouseNotifications, ReadersTakeTheDevicesReportsAndStopWhenClosed) {
    auto backend = std::make_shared<sim::SimHidBackend>();
    std::string error;
    ASSERT_TRUE(sim::AddSimulatedDevices(*backend, "mouse", error));
    InterfaceWorkingCopy rows;
    BindPresentInterfaces(rows, backend);
    std::string notifyPath;
    for (const HidInterfaceRow& r : rows.Snapshot()) {
        if (r.connected != 0 && r.channel == kChannelNotify && r.kind == kKindMouse) {
            notifyPath = r.path;
        }
    }
    ASSERT_FALSE(notifyPath.empty());
    CVarnicMouseDevice device(backend);
    device.CommandLink().open = true;
    std::atomic<int> resyncs{0};
    device.SetResyncRequest([&] { ++resyncs; });
    ASSERT_TRUE(device.OpenNotifyInterface(notifyPath, kKindMouse));
    ASSERT_TRUE(backend->SendInputReport("mouse", 1, std::array<uint8_t, 3>{3, 0x23, 0x11}));
    ASSERT_TRUE(backend->SendInputReport("mouse", 1, std::array<uint8_t, 3>{3, 0x01, 0x04}));
    for (int i = 0; i < 200 && resyncs.load() == 0; ++i) {
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(device.CurrentProfileNumber(), 3);
    EXPECT_EQ(device.ActiveStage(), 2);
    EXPECT_EQ(resyncs.load(), 1);
    // Closing wakes the blocked reader; a second close is harmless.
    device.CloseNotifyInterface(kKindMouse);
    device.CloseNotifyInterface(kKindMouse);
    EXPECT_FALSE(device.NotifyLink().cableInterface.IsOpen());
}

}  // namespace
}  // namespace vextar
