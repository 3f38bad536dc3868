// The main window on Qt's offscreen platform: the real views, painted.

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTimer>
#include <filesystem>

#include "app/main_wnd.h"
#include "app/qt/qt_window_system.h"
#include "app/resources.h"
#include "fake_windows.h"
#include "profile/paths.h"
#include "support/settings_files.h"
#include "ui/controls.h"
#include "ui/resource_manager.h"
#include "ui/user_actions.h"
#include "ui/widgets/widgets.h"

namespace vextar::app {
namespace {

namespace fs = std::filesystem;

void Pump(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

// The first visible view whose window title is `title`.
QtAppView* VisibleView(const QString& title) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* view = dynamic_cast<QtAppView*>(w);
        if (view != nullptr && view->isVisible() && view->windowTitle() == title) {
            return view;
        }
    }
    return nullptr;
}

// Runs first: ending a window ends Qt's event loops, which a later modal
// run in the same process would meet.
TEST(MainWindowOnScreen, MessageBoxAndAboutBoxRunModally) {
    test::TempFolder data;
    paths::SetDataRoot(data.Path());
    const std::string skin =
        (fs::path(VEXTAR_SOURCE_DEFAULT_DATA).parent_path() / "skin").string() + "/";
    ASSERT_TRUE(ResourceIndex().Load(skin, nullptr));
    test::FakeSettings settings;
    QtWindowSystem windows;
    MainWndParts parts;
    parts.windows = &windows;
    parts.settings = &settings;
    parts.skinFolder = skin;
    parts.languageConfig = std::string(VEXTAR_SOURCE_DEFAULT_DATA) + "/Language.config";
    parts.skinIni = data.Path() + "main.ini";
    {
        CMainWnd wnd(parts);
        ASSERT_TRUE(wnd.Create(nullptr));
        Pump(150);
        // The box's confirm button, pressed while it runs.
        bool seen = false;
        QTimer::singleShot(100, [&] {
            QtAppView* box = VisibleView(QStringLiteral("msgwnd"));
            ASSERT_NE(box, nullptr);
            seen = true;
            ui::CUserActions(box->Manager()).Click(box->Manager().FindControl("confirm_btn"));
        });
        EXPECT_EQ(wnd.ShowMessage("message_text_27", MsgButtons::Question), 1);
        EXPECT_TRUE(seen);
        // The about box closes on Escape.
        seen = false;
        QTimer::singleShot(100, [&] {
            QtAppView* about = VisibleView(QStringLiteral("  "));
            ASSERT_NE(about, nullptr);
            seen = true;
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(about, &escape);
        });
        wnd.ShowAbout();
        EXPECT_TRUE(seen);
        EXPECT_EQ(VisibleView(QStringLiteral("  ")), nullptr);
        wnd.Exit();
    }
    ui::CResourceManager::Instance().Clear();
    paths::SetDataRoot("");
}

TEST(MainWindowOnScreen, RendersAtItsLogicalSizeWithNoDeviceLink) {
    test::TempFolder data;
    paths::SetDataRoot(data.Path());
    paths::SetDefaultDataFolder(VEXTAR_SOURCE_DEFAULT_DATA);
    const std::string skin =
        (fs::path(VEXTAR_SOURCE_DEFAULT_DATA).parent_path() / "skin").string() + "/";
    ASSERT_TRUE(ResourceIndex().Load(skin, nullptr));
    test::FakeSettings settings;
    test::FakeBus bus;
    QtWindowSystem windows;
    MainWndParts parts;
    parts.windows = &windows;
    parts.bus = &bus;
    parts.settings = &settings;
    parts.skinFolder = skin;
    parts.languageConfig = std::string(VEXTAR_SOURCE_DEFAULT_DATA) + "/Language.config";
    parts.skinIni = data.Path() + "main.ini";
    {
        CMainWnd wnd(parts);
        std::string error;
        ASSERT_TRUE(wnd.Create(&error)) << error;
        auto* view = dynamic_cast<QtAppView*>(wnd.View());
        ASSERT_NE(view, nullptr);
        // The DPI step comes 100 ms after the start (later on a slow build).
        QElapsedTimer waited;
        waited.start();
        while (view->width() != 1000 && waited.elapsed() < 10000) {
            Pump(20);
        }
        EXPECT_TRUE(view->isVisible());
        // The offscreen screen is small: DPI 96, so 1000 × 640 pixels.
        EXPECT_EQ(wnd.WindowDpi(), 96);
        const QImage image = view->RenderToImage();
        EXPECT_EQ(image.width(), 1000);
        EXPECT_EQ(image.height(), 640);
        const ui::CControlUI* link = wnd.Manager().FindControl("No_device_Link");
        ASSERT_TRUE(link->IsVisible());
        // The "OK" button of the no-device notice is painted in its colour.
        const ui::UiRect ok = wnd.Manager().FindControl("nodevice_ok_btn")->GetPos();
        ASSERT_FALSE(ok.IsEmpty());
        const QColor pixel = image.pixelColor(ok.left + 3, ok.top + 3);
        EXPECT_EQ(pixel.name(), QColor(0x0A, 0x6F, 0xB8).name());
        if (const char* out = std::getenv("VEXTAR_SCREENSHOT")) {
            image.save(QString::fromUtf8(out));
        }
        wnd.Exit();
        EXPECT_FALSE(view->isVisible());
    }
    ui::CResourceManager::Instance().Clear();
    paths::SetDataRoot("");
    paths::SetDefaultDataFolder("");
}

}  // namespace
}  // namespace vextar::app

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    vextar::ui::RegisterWidgetClasses();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
