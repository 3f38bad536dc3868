#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QTest>
#include <filesystem>
#include <thread>

#include "ui/qt/qt_window.h"
#include "ui/widgets/widgets.h"

namespace vextar::ui {
namespace {

namespace fs = std::filesystem;

class Widgets : public IDialogBuilderCallback {
  public:
    std::unique_ptr<CControlUI> CreateControl(std::string_view name) override {
        return CreateWidget(name);
    }
};

// A window on a small layout, with a folder holding its one image.
class QtHost : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("vextar_qt_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        QImage red(16, 16, QImage::Format_ARGB32);
        red.fill(QColor(255, 0, 0));
        ASSERT_TRUE(red.save(QString::fromStdString((dir_ / "on.png").string())));
        window_.Manager().SetResourcePath(dir_.string());
        window_.Manager().SetDPI(96);
        Widgets widgets;
        std::string error;
        ASSERT_TRUE(window_.LoadSkinFromString(R"(<Window size="300,200">
            <VerticalLayout name="root" bkcolor="#FF102030">
              <HorizontalLayout height="40">
                <Button name="ok" text="OK" width="80" bkcolor="#FF00FF00" textcolor="#FF000000"/>
                <Option name="opt" selected="true" width="40" selectedimage="file='on.png' dest='0,0,16,16'"/>
                <Edit name="dpi" width="100" numberonly="true" bkcolor="#FFFFFFFF"/>
              </HorizontalLayout>
              <Label name="caption" text="WWWW" height="40" textcolor="#FFFFFFFF" font="0"/>
            </VerticalLayout></Window>)",
                                               &widgets, &error))
            << error;
        window_.SetNotifyHandler([this](TNotifyUI& msg) {
            if (msg.sType != "timer" && msg.sType != "windowinit" && msg.sType != "windowsize") {
                log_.push_back(msg.sType + ":" + msg.pSender->GetName());
            } else if (msg.sType == "timer") {
                ++timers_;
            }
        });
        window_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
        log_.clear();
    }
    void TearDown() override { fs::remove_all(dir_); }

    QPoint CenterOf(std::string_view name) {
        const UiPoint c = window_.Manager().FindControl(name)->GetPos().Center();
        return {c.x, c.y};
    }

    fs::path dir_;
    CQtWindow window_;
    std::vector<std::string> log_;
    int timers_ = 0;
};

TEST_F(QtHost, PaintsColoursTextAndStateImages) {
    EXPECT_EQ(window_.size(), QSize(300, 200));
    const QImage image = window_.RenderToImage();
    EXPECT_EQ(image.pixelColor(250, 150), QColor(0x10, 0x20, 0x30));  // background
    EXPECT_EQ(image.pixelColor(5, 5), QColor(0, 255, 0));             // button colour
    EXPECT_EQ(image.pixelColor(85, 5), QColor(255, 0, 0));            // selected option
    // Text drew something other than the background inside the label.
    int lit = 0;
    for (int x = 0; x < 100; ++x) {
        for (int y = 40; y < 80; ++y) {
            lit += image.pixelColor(x, y) != QColor(0x10, 0x20, 0x30) ? 1 : 0;
        }
    }
    EXPECT_GT(lit, 20);
}

TEST_F(QtHost, AClickAtAButtonRaisesClick) {
    QTest::mouseClick(&window_, Qt::LeftButton, Qt::NoModifier, CenterOf("ok"));
    EXPECT_EQ(log_, (std::vector<std::string>{"click:ok"}));
}

TEST_F(QtHost, TypingIntoAnEditRaisesTextChangedThenKillFocus) {
    QTest::mouseClick(&window_, Qt::LeftButton, Qt::NoModifier, CenterOf("dpi"));
    QLineEdit* overlay = window_.EditOverlay();
    ASSERT_NE(overlay, nullptr);
    QTest::keyClicks(overlay, "4a2");  // the letter is refused
    EXPECT_EQ(window_.Manager().FindControl("dpi")->GetText(), "42");
    QTest::mouseClick(&window_, Qt::LeftButton, Qt::NoModifier, CenterOf("ok"));
    EXPECT_EQ(log_, (std::vector<std::string>{"setfocus:dpi", "textchanged:dpi", "textchanged:dpi",
                                              "killfocus:dpi", "click:ok"}));
    EXPECT_EQ(window_.EditOverlay(), nullptr);
}

TEST_F(QtHost, TimersAndMessagesFromWorkersRunOnTheEventLoop) {
    CControlUI* caption = window_.Manager().FindControl("caption");
    window_.Manager().SetTimer(caption, 5, 20);
    window_.Manager().AddMessageHandler([](uint32_t msg, uintptr_t w, intptr_t, bool& handled) {
        handled = msg == 3090;
        return static_cast<LRESULT>(w + 1);
    });
    LRESULT answer = 0;
    std::thread worker([&] { answer = window_.Manager().SendMessage(3090, 41); });
    for (int i = 0; i < 200 && timers_ < 2; ++i) {
        QTest::qWait(10);
    }
    worker.join();
    EXPECT_GE(timers_, 2);
    EXPECT_EQ(answer, 42);
}

}  // namespace
}  // namespace vextar::ui

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    vextar::ui::RegisterWidgetClasses();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
