// vextar: the application. One instance per user: a second start asks the
// first to come to the front and exits.

#include <fcntl.h>
#include <unistd.h>
#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/device_option.h"
#include "app/main_wnd.h"
#include "app/qt/power_events.h"
#include "app/qt/qt_window_system.h"
#include "app/registered_messages.h"
#include "app/resources.h"
#include "app/sim_control.h"
#include "app/window_messages.h"
#include "cli/cli_common.h"
#include "platform/log.h"
#include "platform/message_bus.h"
#include "platform/single_instance.h"
#include "profile/paths.h"
#include "profile/settings_store.h"
#include "ui/widgets/widgets.h"
#include "vextar_version.h"

namespace {

using namespace vextar;

constexpr const char* kUsage =
    "usage: vextar [--simulate LIST] [--sim-state DIR] [--sim-fault SPEC] [--trace]\n"
    "              [--screenshot FILE.png] [--help] [--version]\n"
    "\n"
    "Configures the supported mice, keyboards, mouse pads and headsets.\n"
    "  --simulate LIST   simulated devices instead of the machine's (mouse,\n"
    "                    mouse-receiver, keyboard, keyboard-receiver, mousepad,\n"
    "                    headset, all; comma separated)\n"
    "  --sim-state DIR   keep the simulated devices' memory in DIR\n"
    "  --sim-fault SPEC  make a simulated device misbehave (see vextarctl --help)\n"
    "  --trace           log every command frame\n"
    "  --screenshot FILE start, render the main window into FILE and exit\n"
    "\n"
    "A second start brings the running window to the front and exits 0.\n";

int Fail(const std::string& message) {
    std::fprintf(stderr, "vextar: %s\n", message.c_str());
    return 1;
}

int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const int saved = errno;
    const char byte = 1;
    (void)!::write(g_signalPipe[1], &byte, 1);
    errno = saved;
}

// The second instance: asks the first to come forward. The first may still
// be starting, so the bus is tried for a while.
int ActivateFirstInstance(const std::string& socketPath) {
    for (int attempt = 0; attempt < 40; ++attempt) {
        platform::CMessageBusClient client;
        std::string error;
        if (client.Connect(socketPath, &error) ==
                platform::CMessageBusClient::ConnectStatus::Connected &&
            client.SendMessage(app::kActivateInstanceName, 0, 1)) {
            return 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return Fail("another vextar holds the instance lock but does not answer on " + socketPath);
}

bool HasDisplay() {
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    cli::Options options;
    std::string screenshot;
    const std::vector<std::string> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                return false;
            }
            out = args[++i];
            return true;
        };
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (a == "--version") {
            std::printf("vextar %s\n", VEXTAR_VERSION_STRING);
            return 0;
        }
        bool ok = true;
        if (a == "--simulate") {
            ok = value(options.simulate);
        } else if (a == "--sim-state") {
            ok = value(options.simState);
        } else if (a == "--sim-fault") {
            ok = value(options.simFault);
        } else if (a == "--screenshot") {
            ok = value(screenshot);
        } else if (a == "--trace") {
            options.trace = true;
        } else {
            std::fprintf(stderr, "vextar: unknown option %s\n%s", a.c_str(), kUsage);
            return 2;
        }
        if (!ok) {
            std::fprintf(stderr, "vextar: %s needs a value\n%s", a.c_str(), kUsage);
            return 2;
        }
    }

    if (!HasDisplay()) {
        return Fail(
            "no display: DISPLAY and WAYLAND_DISPLAY are not set (start it in a desktop "
            "session, under xvfb-run, or with QT_QPA_PLATFORM=offscreen)");
    }

    // One instance per user.
    std::string error;
    const std::string runtime = platform::RuntimeFolder(&error);
    if (runtime.empty()) {
        return Fail(error);
    }
    const std::string socketPath = platform::BusSocketPath(runtime);
    bool alreadyRunning = false;
    auto instance = platform::CSingleInstance::Acquire(runtime, alreadyRunning, &error);
    if (!instance) {
        if (alreadyRunning) {
            return ActivateFirstInstance(socketPath);
        }
        return Fail(error);
    }

    auto backend = cli::MakeBackend(options, std::cerr);
    if (!backend) {
        return 2;
    }

    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName(QStringLiteral("VEXTAR"));

    app::QtFontRegistrar registrar;
    app::CPrivateFonts fonts(registrar);
    fonts.Load(paths::ExecutableFolder());

    const std::string skin = app::SkinFolder();
    if (skin.empty()) {
        return Fail("no skin folder beside the program or in " VEXTAR_INSTALL_PREFIX
                    "/share/vextar (VEXTAR_SKIN names another)");
    }
    if (!app::ResourceIndex().Load(skin, &error)) {
        return Fail("the skin cannot be read: " + error);
    }
    const std::string defaultData = paths::DefaultDataFolder();
    if (defaultData.empty()) {
        return Fail("no DefaultData folder beside the program or in " VEXTAR_INSTALL_PREFIX
                    "/share/vextar (VEXTAR_DEFAULT_DATA names another)");
    }
    ui::RegisterWidgetClasses();
    app::RegisterAppControls();
    (void)app::Messages();

    CFileSettingsStore settings;
    app::QtWindowSystem windows;
    app::MainWndParts parts;
    parts.windows = &windows;
    parts.settings = &settings;
    parts.backend = backend->hid;
    parts.skinFolder = skin;
    parts.languageConfig = defaultData + "Language.config";
    parts.skinIni = paths::ConfigRoot() + "main.ini";
    parts.windowHandle = ::getpid();

    // Other programs reach the window through the bus. It starts after the
    // window object and stops before it goes, so nothing arrives for a window
    // that is not there.
    app::CMainWnd mainWnd(parts);
    platform::CMessageBusServer::Handlers handlers;
    handlers.onMessage = [&mainWnd](const platform::BusMessage& m) {
        const uint32_t id = app::FindRegisteredMessage(m.name);
        if (id == 0) {
            VEXTAR_LOG_WARNING("message \"%s\" from another program is not known; dropped",
                               m.name.c_str());
            return;
        }
        mainWnd.Manager().PostMessage(id, static_cast<uintptr_t>(m.wParam),
                                      static_cast<intptr_t>(m.lParam));
    };
    // vextarctl's sim commands and status query are answered on the bus
    // thread and never reach the window's copy-data. The answers go out on
    // the bus, which the handler learns of once it has started.
    std::optional<app::CSimControl> simControl;
    if (backend->sim) {
        simControl.emplace(*backend->sim, backend->devices);
    }
    std::promise<platform::IMessageBus*> busStarted;
    std::shared_future<platform::IMessageBus*> answerBus = busStarted.get_future().share();
    auto statusLines = [&mainWnd] {
        std::vector<std::string> lines;
        mainWnd.Manager().SendMessage(app::MSG_STATUS_QUERY, 0, reinterpret_cast<intptr_t>(&lines));
        return lines;
    };
    handlers.onCopyData = [&mainWnd, &simControl, answerBus,
                           statusLines](const platform::BusCopyData& c) {
        // Frames come only from a started bus; the first may wait here until
        // Start has returned.
        platform::IMessageBus& answers = *answerBus.get();
        if (app::AnswerControlFrame(c, simControl ? &*simControl : nullptr, statusLines, answers)) {
            return;
        }
        app::CopyDataStruct data;
        data.dwData = c.dwData;
        data.data = c.payload;
        data.origin = app::CopyDataOrigin::Outside;
        mainWnd.Manager().SendMessage(app::WM_COPYDATA, static_cast<uintptr_t>(c.wParam),
                                      reinterpret_cast<intptr_t>(&data));
    };
    std::unique_ptr<platform::CMessageBusServer> bus =
        platform::CMessageBusServer::Start(socketPath, std::move(handlers), &error);
    busStarted.set_value(bus.get());
    if (!bus) {
        return Fail("the message bus cannot start: " + error);
    }
    mainWnd.SetBus(bus.get());
    if (!mainWnd.Create(&error)) {
        // A copy-data send waiting on the window must not hold up the bus's
        // stop.
        mainWnd.Manager().Shutdown();
        bus->Stop();
        return Fail("the main window cannot be built: " + error);
    }

    app::CPowerEvents power([&mainWnd](bool sleeping) {
        mainWnd.Manager().PostMessage(app::WM_POWERBROADCAST,
                                      sleeping ? app::PBT_APMSUSPEND : app::PBT_APMRESUMEAUTOMATIC);
    });

    // SIGTERM and SIGINT close the window like the tray's "exit".
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return Fail("cannot make the signal pipe");
    }
    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, [&mainWnd] {
        char drain[16];
        while (::read(g_signalPipe[0], drain, sizeof drain) > 0) {
        }
        mainWnd.Exit();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    bool screenshotFailed = false;
    if (!screenshot.empty()) {
        // After the DPI step has sized the window.
        QTimer::singleShot(400, [&mainWnd, &screenshot, &screenshotFailed] {
            auto* view = dynamic_cast<app::QtAppView*>(mainWnd.View());
            const bool saved =
                view != nullptr && view->RenderToImage().save(QString::fromStdString(screenshot));
            if (!saved) {
                std::fprintf(stderr, "vextar: cannot write %s\n", screenshot.c_str());
                screenshotFailed = true;
            }
            mainWnd.Exit();
        });
    }

    const int code = QApplication::exec();
    signal(SIGTERM, SIG_DFL);
    signal(SIGINT, SIG_DFL);
    bus->Stop();
    return screenshotFailed ? 1 : code;
}
