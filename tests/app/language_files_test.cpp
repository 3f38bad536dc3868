// The languages that ship: DefaultData/Language.config and the language
// files of skin/.

#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <map>
#include <set>
#include <string>

#include "app/language.h"
#include "ui/resource_manager.h"

namespace vextar::app {
namespace {

const std::string kSkin = std::string(VEXTAR_SOURCE_SKIN) + "/";
const std::string kLanguageConfig = std::string(VEXTAR_SOURCE_DEFAULT_DATA) + "/Language.config";

// The texts of a language file by id; a repeated id fails the test.
std::map<std::string, std::string> TextsOf(const std::string& file) {
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_file((kSkin + file).c_str());
    EXPECT_TRUE(parsed) << file << ": " << parsed.description();
    std::map<std::string, std::string> texts;
    for (const pugi::xml_node text : document.child("Language").children("Text")) {
        const std::string id = text.attribute("id").value();
        EXPECT_FALSE(id.empty()) << file;
        EXPECT_TRUE(texts.emplace(id, text.attribute("value").value()).second)
            << file << " repeats " << id;
        EXPECT_FALSE(texts[id].empty()) << file << " " << id;
    }
    return texts;
}

std::set<std::string> IdsOf(const std::map<std::string, std::string>& texts) {
    std::set<std::string> ids;
    for (const auto& [id, text] : texts) {
        ids.insert(id);
    }
    return ids;
}

TEST(ShippedLanguages, TheListNamesEnglishThenSimplifiedChineseAndEveryFileLoads) {
    std::string error;
    const auto entries = ReadLanguageConfig(kLanguageConfig, &error);
    ASSERT_TRUE(entries) << error;
    ASSERT_GE(entries->size(), 2U);
    EXPECT_EQ((*entries)[0].id, 1033);
    EXPECT_EQ((*entries)[0].name, "en");
    EXPECT_EQ((*entries)[0].file, "lan_en.xml");
    EXPECT_EQ((*entries)[0].text, "English");
    EXPECT_EQ((*entries)[1].id, 2052);
    EXPECT_EQ((*entries)[1].name, "zh_CN");
    EXPECT_EQ((*entries)[1].file, "lan_cn.xml");
    EXPECT_EQ((*entries)[1].text, "简体中文");
    for (const LanguageEntry& entry : *entries) {
        EXPECT_TRUE(ui::CResourceManager::Instance().LoadLanguage(kSkin + entry.file, &error))
            << error;
    }
    ui::CResourceManager::Instance().Clear();
}

TEST(ShippedLanguages, EveryFileHoldsTheSameIdsWithTheMessagesTheProgramShows) {
    const auto english = TextsOf("lan_en.xml");
    const auto chinese = TextsOf("lan_cn.xml");
    EXPECT_EQ(IdsOf(english), IdsOf(chinese));
    for (const char* id :
         {"message_text_2", "message_text_4", "message_text_5", "message_text_6", "message_text_7",
          "message_text_16", "message_text_22", "message_text_25", "message_text_26",
          "message_text_27", "message_text_28", "message_text_29", "message_text_30",
          "message_text_31", "message_file_kept_aside", "message_file_unreadable",
          "message_file_write_failed"}) {
        EXPECT_TRUE(english.contains(id)) << id;
        EXPECT_TRUE(chinese.contains(id)) << id;
    }
    EXPECT_EQ(chinese.at("control_light_text"), "控制灯光");
    EXPECT_EQ(chinese.at("uncontrol_light_text"), "不控制灯光");
}

TEST(ShippedLanguages, TheFormattedMessageHasOneNumberAndNoOtherConversion) {
    for (const char* file : {"lan_en.xml", "lan_cn.xml"}) {
        const std::string text = TextsOf(file).at("message_text_16");
        const std::size_t first = text.find('%');
        ASSERT_NE(first, std::string::npos) << file;
        EXPECT_EQ(text.substr(first, 2), "%d") << file;
        EXPECT_EQ(text.find('%', first + 1), std::string::npos) << file;
    }
}

}  // namespace
}  // namespace vextar::app
