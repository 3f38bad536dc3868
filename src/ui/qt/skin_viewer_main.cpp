// vextar-skin: opens any layout in a window, or renders it to a PNG and
// exits. For skin authors and for the tests.

#include <QApplication>
#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ui/qt/qt_window.h"
#include "ui/resource_manager.h"
#include "ui/widgets/widgets.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage =
    "usage: vextar-skin FILE [--lang FILE] [--screenshot OUT.png] [--size WxH] [--dpi N]\n"
    "\n"
    "Opens the layout FILE in a window. The resource root is the nearest folder\n"
    "named 'skin' above FILE, else FILE's folder.\n"
    "  --lang FILE          language texts for \"%{id}\" texts\n"
    "  --screenshot OUT.png render the window to OUT.png and exit\n"
    "  --size WxH           window size (default: the layout's size, else 800x600)\n"
    "  --dpi N              48, 72, 96, 120, 144, 168 or 192 (default: the screen's)\n";

class WidgetCallback : public vextar::ui::IDialogBuilderCallback {
  public:
    std::unique_ptr<vextar::ui::CControlUI> CreateControl(std::string_view name) override {
        return vextar::ui::CreateWidget(name);
    }
};

int Usage(const std::string& message) {
    std::fprintf(stderr, "vextar-skin: %s\n%s", message.c_str(), kUsage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string file;
    std::string lang;
    std::string screenshot;
    std::optional<vextar::ui::UiSize> size;
    std::optional<int> dpi;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](const char* option) -> std::optional<std::string> {
            if (i + 1 >= args.size()) {
                Usage(std::string(option) + " needs a value");
                return std::nullopt;
            }
            return args[++i];
        };
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (a == "--lang") {
            const auto v = value("--lang");
            if (!v) {
                return 2;
            }
            lang = *v;
        } else if (a == "--screenshot") {
            const auto v = value("--screenshot");
            if (!v) {
                return 2;
            }
            screenshot = *v;
        } else if (a == "--size") {
            const auto v = value("--size");
            if (!v) {
                return 2;
            }
            std::string text = *v;
            std::replace(text.begin(), text.end(), 'x', ',');
            size = vextar::ui::ParseSize(text);
            if (!size || size->cx <= 0 || size->cy <= 0 || size->cx > 10000 || size->cy > 10000) {
                return Usage("--size must be WxH, for example 1000x640");
            }
        } else if (a == "--dpi") {
            const auto v = value("--dpi");
            if (!v) {
                return 2;
            }
            dpi = vextar::ui::ParseInt(*v);
            if (!dpi) {
                return Usage("--dpi must be a number");
            }
        } else if (!a.empty() && a[0] == '-') {
            return Usage("unknown option '" + a + "'");
        } else if (file.empty()) {
            file = a;
        } else {
            return Usage("one FILE only");
        }
    }
    if (file.empty()) {
        return Usage("no FILE given");
    }
    std::error_code ec;
    const fs::path path = fs::absolute(file, ec);
    if (ec || !fs::is_regular_file(path, ec)) {
        std::fprintf(stderr, "vextar-skin: cannot read %s\n", file.c_str());
        return 1;
    }
    fs::path root = path.parent_path();
    for (fs::path p = path.parent_path(); !p.empty() && p != p.root_path(); p = p.parent_path()) {
        if (p.filename() == "skin") {
            root = p;
            break;
        }
    }
    // Without a display a screenshot still works.
    if (!screenshot.empty() && std::getenv("QT_QPA_PLATFORM") == nullptr &&
        std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    vextar::ui::RegisterWidgetClasses();
    if (!lang.empty()) {
        std::string error;
        if (!vextar::ui::CResourceManager::Instance().LoadLanguage(lang, &error)) {
            std::fprintf(stderr, "vextar-skin: %s\n", error.c_str());
            return 1;
        }
    }
    vextar::ui::CQtWindow window;
    window.setWindowTitle(QString::fromStdString(path.filename().string()));
    window.Manager().SetResourcePath(root.string());
    if (dpi) {
        window.Manager().SetDPI(*dpi);
    } else if (screenshot.empty()) {
        window.ApplyScreenDpi();
    }
    window.resize(800, 600);
    WidgetCallback callback;
    std::string error;
    if (!window.LoadSkin(fs::relative(path, root).string(), &callback, &error)) {
        std::fprintf(stderr, "vextar-skin: %s\n", error.c_str());
        return 1;
    }
    if (size) {
        window.resize(size->cx, size->cy);
    }
    if (!screenshot.empty()) {
        const QImage image = window.RenderToImage();
        if (!image.save(QString::fromStdString(screenshot), "PNG")) {
            std::fprintf(stderr, "vextar-skin: cannot write %s\n", screenshot.c_str());
            return 1;
        }
        return 0;
    }
    window.show();
    return QApplication::exec();
}
