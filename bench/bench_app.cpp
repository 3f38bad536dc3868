// The application at rest and as devices arrive: the main window with its
// discovery thread over simulated devices, its timers run as the event loop
// would run them.
//
//   BM_IdleCpu/0   no device      CPU of the whole process per second of
//   BM_IdleCpu/1   all four       wall time, window hidden
//   BM_PlugToEntryShown           a cable mouse plugged → its entry shown

#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <thread>

#include "app/device_option.h"
#include "app/main_wnd.h"
#include "app/resources.h"
#include "profile/paths.h"
#include "profile/settings_store.h"
#include "sim/sim_catalog.h"
#include "ui/widgets/widgets.h"

namespace {

using namespace vextar;
namespace fs = std::filesystem;

// A window system that shows nothing.
class HeadlessView final : public app::IWindowView {
  public:
    explicit HeadlessView(app::CAppWindow& w) : window_(w) {}
    void Show(bool show) override { visible_ = show; }
    [[nodiscard]] bool IsVisible() const override { return visible_; }
    [[nodiscard]] bool IsMinimised() const override { return false; }
    [[nodiscard]] bool IsMaximised() const override { return false; }
    void Command(app::SysCommand) override {}
    void Resize(ui::UiSize px) override {
        window_.Manager().SetClientSize(px);
        window_.Manager().UpdateLayout();
    }
    void Move(ui::UiPoint) override {}
    [[nodiscard]] ui::UiRect WindowRect() const override { return {0, 0, 1000, 640}; }
    void Center() override {}
    void BringToFront() override {}
    [[nodiscard]] ui::UiRect MonitorRect() const override { return {0, 0, 1366, 768}; }
    void Close() override { window_.OnViewClosed(); }

  private:
    app::CAppWindow& window_;
    bool visible_ = false;
};

class HeadlessWindows final : public app::IWindowSystem {
  public:
    std::unique_ptr<app::IWindowView> CreateView(app::CAppWindow& w, app::CAppWindow*,
                                                 const app::ViewStyle&) override {
        return std::make_unique<HeadlessView>(w);
    }
    void RunModal(app::CAppWindow&, app::CAppWindow*) override {}
    [[nodiscard]] ui::UiSize PrimaryScreenSize() const override { return {1366, 768}; }
    [[nodiscard]] ui::UiPoint CursorPosition() const override { return {}; }
    [[nodiscard]] std::optional<ui::UiRect> TaskbarRect() const override { return {}; }
    std::string ShowMenu(const ui::CPaintManagerUI&, std::string_view, ui::UiPoint) override {
        return {};
    }
    std::string ShowMenuXml(std::string_view, ui::UiPoint) override { return {}; }
    bool CreateTray(const std::string&, const std::string&,
                    std::function<void(intptr_t)>) override {
        return true;
    }
    void DeleteTray() override {}
    std::optional<std::string> OpenFileDialog(app::CAppWindow*, std::string_view) override {
        return {};
    }
    void Quit(int) override {}
};

struct App {
    explicit App(const std::string& list) {
        const fs::path root = fs::temp_directory_path() / "vextar_bench_app";
        fs::remove_all(root);
        fs::create_directories(root);
        paths::SetDataRoot((root / "data").string());
        paths::SetConfigRoot((root / "config").string());
        paths::SetDefaultDataFolder(VEXTAR_SOURCE_DEFAULT_DATA);
        ui::RegisterWidgetClasses();
        app::RegisterAppControls();
        skin = (fs::path(VEXTAR_SOURCE_DEFAULT_DATA).parent_path() / "skin").string() + "/";
        app::ResourceIndex().Load(skin, nullptr);
        sim = std::make_shared<sim::SimHidBackend>();
        std::string error;
        if (!list.empty()) {
            sim::AddSimulatedDevices(*sim, list, error);
        }
        app::MainWndParts parts;
        parts.windows = &windows;
        parts.settings = &settings;
        parts.backend = sim;
        parts.skinFolder = skin;
        parts.languageConfig = std::string(VEXTAR_SOURCE_DEFAULT_DATA) + "/Language.config";
        parts.skinIni = (root / "config" / "main.ini").string();
        wnd = std::make_unique<app::CMainWnd>(parts);
        wnd->Manager().SetWakeUpHook([this] {
            std::lock_guard lock(mutex);
            woken = true;
            wake.notify_one();
        });
        wnd->Create(&error);
    }
    ~App() { wnd->Manager().SetWakeUpHook(nullptr); }
    // What the event loop does: messages, then the timers, then sleep until
    // the next one is due or something is posted.
    void Loop(std::chrono::milliseconds span) {
        const auto end = std::chrono::steady_clock::now() + span;
        while (std::chrono::steady_clock::now() < end) {
            wnd->Manager().ProcessMessages();
            wnd->Manager().ProcessTimers();
            const int64_t next = wnd->Manager().NextTimerDelay();
            auto until = end;
            if (next >= 0) {
                until = std::min(
                    until, std::chrono::steady_clock::now() + std::chrono::milliseconds(next));
            }
            std::unique_lock lock(mutex);
            wake.wait_until(lock, until, [this] { return woken; });
            woken = false;
        }
    }

    std::mutex mutex;
    std::condition_variable wake;
    bool woken = false;

    std::string skin;
    HeadlessWindows windows;
    CFileSettingsStore settings;
    std::shared_ptr<sim::SimHidBackend> sim;
    std::unique_ptr<app::CMainWnd> wnd;
};

double ProcessCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

void BM_IdleCpu(benchmark::State& state) {
    App app(state.range(0) == 0 ? "" : "all");
    app.Loop(std::chrono::milliseconds(1500));  // connected and settled
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        const double c0 = ProcessCpuSeconds();
        const auto w0 = std::chrono::steady_clock::now();
        app.Loop(std::chrono::seconds(30));
        cpu += ProcessCpuSeconds() - c0;
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
    }
    state.counters["cpu_percent_of_a_core"] = 100.0 * cpu / wall;
    app.wnd->Exit();
}
BENCHMARK(BM_IdleCpu)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_PlugToEntryShown(benchmark::State& state) {
    App app("mouse");
    app.sim->Unplug("mouse");
    app.Loop(std::chrono::milliseconds(300));
    double total = 0;
    int n = 0;
    for (auto _ : state) {
        app.sim->Plug("mouse");
        const auto t0 = std::chrono::steady_clock::now();
        while (!app.wnd->Entry(0)->IsVisible()) {
            app.Loop(std::chrono::milliseconds(1));
        }
        total += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                     .count();
        ++n;
        state.PauseTiming();
        app.sim->Unplug("mouse");
        while (app.wnd->Entry(0)->IsVisible()) {
            app.Loop(std::chrono::milliseconds(1));
        }
        state.ResumeTiming();
    }
    state.counters["ms_to_shown"] = total / n;
    app.wnd->Exit();
}
BENCHMARK(BM_PlugToEntryShown)->Iterations(20)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
