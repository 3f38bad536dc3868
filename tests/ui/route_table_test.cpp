#include "ui/route_table.h"

#include <gtest/gtest.h>

#include "ui/control.h"

namespace vextar::ui {
namespace {

using Log = std::vector<std::string>;

// One table with a route of every sort; each handler writes its tag and the
// index it got.
class Routes : public ::testing::Test {
  protected:
    void SetUp() override {
        using M = CRouteTable::Match;
        Add("click", M::AnyCase, "device_add_btn", {}, false, "add");
        Add("click", M::Exact, "profile_fun_spread_btn", {}, false, "spread");
        Add("click", M::Prefix, "key_", {1, 2}, false, "key");
        Add("click", M::AnyCase, "key_butt_keysave", {1, 2}, false, "keysave");
        Add("click", M::Prefix, "key_butt_", {}, false, "keybutt");
        Add("selectchanged", M::Prefix, "polling_rate_option_", {2}, false, "poll-mouse");
        Add("selectchanged", M::Prefix, "polling_rate_option_", {1}, false, "poll-keyboard");
        Add("selectchanged", M::AnyCase, "device_select", {}, true, "strip");
        Add("killfocus", M::Prefix, "zentor_DPI_edit_", {}, true, "zentor");
        Add("valuechanged", M::Prefix, "DPI_slider_", {2}, false, "dpi");
    }

    void Add(std::string type, CRouteTable::Match match, std::string name, std::vector<int> kinds,
             bool withoutPage, std::string tag) {
        table_.Add({std::move(type), match, std::move(name), std::move(kinds), withoutPage,
                    [this, tag](TNotifyUI&, int index) {
                        log_.push_back(tag + ":" + std::to_string(index));
                    }});
    }

    Log Raise(std::string_view type, std::string_view name, int kind) {
        CControlUI sender;
        sender.SetName(name);
        TNotifyUI msg;
        msg.sType = type;
        msg.pSender = &sender;
        log_.clear();
        const int ran = table_.Dispatch(msg, kind);
        EXPECT_EQ(ran, static_cast<int>(log_.size()));
        return log_;
    }

    CRouteTable table_;
    Log log_;
};

TEST_F(Routes, NamesIndexesKindsAndPages) {
    struct Case {
        const char* type;
        const char* name;
        int kind;
        Log expected;
    };
    const Case cases[] = {
        // Whole names ignore letter case unless the route keeps it.
        {"click", "DEVICE_ADD_BTN", 2, {"add:0"}},
        {"click", "profile_fun_spread_btn", 2, {"spread:0"}},
        {"click", "Profile_Fun_Spread_Btn", 2, {}},
        // An indexed name: the prefix up to the last "_", a decimal index;
        // a rest that is no number counts as 0; no "_": no prefix route.
        {"click", "key_7", 2, {"key:7"}},
        {"CLICK", "KEY_12", 1, {"key:12"}},
        {"click", "key_x", 2, {"key:0"}},
        {"click", "key_3rd", 2, {"key:3"}},
        {"click", "key", 2, {}},
        {"valuechanged", "DPI_slider_4", 2, {"dpi:4"}},
        {"valuechanged", "zentor_DPI_slider_4", 2, {}},  // its own prefix
        // Prefix routes first, then the whole names of the same type.
        {"click", "key_butt_keysave", 2, {"keybutt:0", "keysave:0"}},
        {"click", "key_butt_keysave", 7, {"keybutt:0"}},
        // A route of other kinds does nothing; routes of one prefix split by kind.
        {"click", "key_1", 7, {}},
        {"selectchanged", "polling_rate_option_3", 2, {"poll-mouse:3"}},
        {"selectchanged", "polling_rate_option_3", 1, {"poll-keyboard:3"}},
        {"selectchanged", "polling_rate_option_3", 3, {}},
        // The type must match too.
        {"selectchanged", "device_add_btn", 2, {}},
        // No page: only the routes that run without one.
        {"click", "device_add_btn", 0, {}},
        {"click", "key_1", 0, {}},
        {"selectchanged", "device_select", 0, {"strip:0"}},
        {"killfocus", "zentor_DPI_edit_1", 0, {"zentor:1"}},
        {"killfocus", "zentor_DPI_edit_1", 3, {"zentor:1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.type) + " " + c.name + " kind " + std::to_string(c.kind));
        EXPECT_EQ(Raise(c.type, c.name, c.kind), c.expected);
    }
}

TEST_F(Routes, AHandlerMayAddRoutesWhileItRuns) {
    table_.Add({"click", CRouteTable::Match::AnyCase, "grow", {}, false, [&](TNotifyUI&, int) {
                    log_.emplace_back("grow");
                    for (int i = 0; i < 100; ++i) {
                        Add("click", CRouteTable::Match::AnyCase, "grow", {}, false, "new");
                    }
                }});
    EXPECT_EQ(Raise("click", "grow", 2), Log{"grow"});  // the new ones wait for the next one
    EXPECT_EQ(Raise("click", "grow", 2).size(), 101U);
}

}  // namespace
}  // namespace vextar::ui
