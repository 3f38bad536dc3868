#include "ui/dialog_builder.h"

#include <pugixml.hpp>

#include "platform/log.h"
#include "ui/container.h"
#include "ui/controls.h"
#include "ui/paint_manager.h"

namespace vextar::ui {

CControlFactory& CControlFactory::Instance() {
    static CControlFactory factory;
    return factory;
}

void CControlFactory::RegisterControl(std::string name, Creator creator) {
    std::lock_guard lock(mutex_);
    creators_[std::move(name)] = std::move(creator);
}

std::unique_ptr<CControlUI> CControlFactory::CreateControl(std::string_view name) const {
    Creator creator;
    {
        std::lock_guard lock(mutex_);
        const auto it = creators_.find(name);
        if (it == creators_.end()) {
            return nullptr;
        }
        creator = it->second;
    }
    return creator();
}

std::unique_ptr<CControlUI> CreateBuiltinControl(std::string_view c) {
    if (c == "Control")
        return std::make_unique<CControlUI>();
    if (c == "Container")
        return std::make_unique<CContainerUI>();
    if (c == "VerticalLayout")
        return std::make_unique<CVerticalLayoutUI>();
    if (c == "HorizontalLayout")
        return std::make_unique<CHorizontalLayoutUI>();
    if (c == "TabLayout")
        return std::make_unique<CTabLayoutUI>();
    if (c == "Label")
        return std::make_unique<CLabelUI>();
    if (c == "Text")
        return std::make_unique<CTextUI>();
    if (c == "Button")
        return std::make_unique<CButtonUI>();
    if (c == "Option")
        return std::make_unique<COptionUI>();
    if (c == "Edit")
        return std::make_unique<CEditUI>();
    if (c == "RichEdit")
        return std::make_unique<CRichEditUI>();
    if (c == "Progress")
        return std::make_unique<CProgressUI>();
    if (c == "Slider")
        return std::make_unique<CSliderUI>();
    if (c == "Combo")
        return std::make_unique<CComboUI>();
    if (c == "List")
        return std::make_unique<CListUI>();
    if (c == "ListLabelElement")
        return std::make_unique<CListLabelElementUI>();
    if (c == "ListTextElement")
        return std::make_unique<CListTextElementUI>();
    if (c == "ListContainerElement")
        return std::make_unique<CListContainerElementUI>();
    if (c == "ColorPalette")
        return std::make_unique<CColorPaletteUI>();
    return nullptr;
}

namespace {

bool Fail(std::string* error, std::string text) {
    VEXTAR_LOG_WARNING("%s", text.c_str());
    if (error != nullptr && error->empty()) {
        *error = std::move(text);
    }
    return false;
}

}  // namespace

std::unique_ptr<CControlUI> CDialogBuilder::Create(std::string_view file,
                                                   IDialogBuilderCallback* callback,
                                                   CPaintManagerUI* manager, std::string* error) {
    const std::string path =
        manager != nullptr ? manager->ResolveResource(file) : std::string(file);
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_file(path.c_str());
    if (!parsed) {
        Fail(error, path + ": " + parsed.description());
        return nullptr;
    }
    return BuildDocument(doc.document_element(), callback, manager, error);
}

std::unique_ptr<CControlUI> CDialogBuilder::CreateFromString(std::string_view xml,
                                                             IDialogBuilderCallback* callback,
                                                             CPaintManagerUI* manager,
                                                             std::string* error) {
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer(xml.data(), xml.size());
    if (!parsed) {
        Fail(error, std::string("layout: ") + parsed.description());
        return nullptr;
    }
    return BuildDocument(doc.document_element(), callback, manager, error);
}

std::unique_ptr<CControlUI> CDialogBuilder::BuildDocument(const pugi::xml_node& root,
                                                          IDialogBuilderCallback* callback,
                                                          CPaintManagerUI* manager,
                                                          std::string* error) {
    if (std::string_view(root.name()) != "Window") {
        return BuildNode(root, callback, manager, error);
    }
    windowAttributes_.clear();
    for (const pugi::xml_attribute a : root.attributes()) {
        windowAttributes_[a.name()] = a.value();
    }
    std::unique_ptr<CControlUI> control;
    for (const pugi::xml_node child : root.children()) {
        const std::string_view name = child.name();
        if (name == "Font") {
            FontInfo font;
            font.face = child.attribute("name").as_string("Noto Sans");
            font.size = child.attribute("size").as_int(12);
            font.bold = child.attribute("bold").as_bool(false);
            font.underline = child.attribute("underline").as_bool(false);
            font.italic = child.attribute("italic").as_bool(false);
            if (manager != nullptr) {
                manager->AddFont(child.attribute("id").as_int(-1), font,
                                 child.attribute("default").as_bool(false));
            }
        } else if (child.type() == pugi::node_element && !control) {
            control = BuildNode(child, callback, manager, error);
        }
    }
    if (!control) {
        Fail(error, "layout names no control");
    }
    return control;
}

std::unique_ptr<CControlUI> CDialogBuilder::BuildNode(const pugi::xml_node& node,
                                                      IDialogBuilderCallback* callback,
                                                      CPaintManagerUI* manager,
                                                      std::string* error) {
    if (depth_ >= kMaxDepth) {
        Fail(error, "layouts nested too deeply (does one include itself?)");
        return nullptr;
    }
    ++depth_;
    struct Leave {
        int& d;
        ~Leave() { --d; }
    } leave{depth_};

    const std::string_view className = node.name();
    if (className == "Include") {
        const char* source = node.attribute("source").value();
        CDialogBuilder nested;
        nested.depth_ = depth_;
        return nested.Create(source, callback, manager, error);
    }
    std::unique_ptr<CControlUI> control = CreateBuiltinControl(className);
    if (!control) {
        control = CControlFactory::Instance().CreateControl(className);
    }
    if (!control && callback != nullptr) {
        // The callback may build a whole layout of its own with a builder
        // that starts from our depth.
        control = callback->CreateControl(className);
    }
    if (!control) {
        Fail(error, "unknown control class '" + std::string(className) + "'");
        return nullptr;
    }
    // Attributes need the DPI and fonts of the window they will live in.
    for (const pugi::xml_attribute a : node.attributes()) {
        control->SetAttribute(a.name(), a.value());
    }
    if (!AddChildren(node, control.get(), callback, manager, error)) {
        return nullptr;
    }
    return control;
}

bool CDialogBuilder::AddChildren(const pugi::xml_node& node, CControlUI* parent,
                                 IDialogBuilderCallback* callback, CPaintManagerUI* manager,
                                 std::string* error) {
    auto* container = dynamic_cast<CContainerUI*>(parent);
    for (const pugi::xml_node child : node.children()) {
        if (child.type() != pugi::node_element) {
            continue;
        }
        const int count = std::string_view(child.name()) == "Include"
                              ? std::max(child.attribute("count").as_int(1), 1)
                              : 1;
        for (int i = 0; i < count && i < 1000; ++i) {
            std::unique_ptr<CControlUI> built = BuildNode(child, callback, manager, error);
            if (!built) {
                return false;
            }
            if (container == nullptr) {
                Fail(error,
                     std::string("'") + node.name() + "' cannot hold '" + child.name() + "'");
                return false;
            }
            container->Add(std::move(built));
        }
    }
    return true;
}

}  // namespace vextar::ui
