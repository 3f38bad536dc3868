#include "ui/qt/menu_wnd.h"

#include <QAction>
#include <QMenu>
#include <pugixml.hpp>

#include "ui/paint_manager.h"
#include "ui/resource_manager.h"

namespace vextar::ui {

namespace {

void AddElements(QMenu& menu, const pugi::xml_node& node) {
    for (const pugi::xml_node child : node.children()) {
        const std::string_view kind = child.name();
        if (kind == "MenuSeparator") {
            menu.addSeparator();
            continue;
        }
        if (kind != "MenuElement" || !child.attribute("visible").as_bool(true)) {
            continue;
        }
        const std::string raw = child.attribute("text").value();
        const std::string_view id = CResourceManager::TextId(raw);
        const QString text =
            QString::fromStdString(id.empty() ? raw : CResourceManager::Instance().GetText(id));
        if (child.child("MenuElement")) {
            QMenu* sub = menu.addMenu(text);
            AddElements(*sub, child);
            continue;
        }
        QAction* action = menu.addAction(text);
        action->setData(QString::fromUtf8(child.attribute("name").value()));
        action->setEnabled(child.attribute("enabled").as_bool(true));
        action->setCheckable(child.attribute("checkable").as_bool(false));
        action->setChecked(child.attribute("checked").as_bool(false));
    }
}

std::string Run(const pugi::xml_document& doc, QPoint at, std::string* error) {
    const pugi::xml_node root = doc.child("Menu");
    if (!root) {
        if (error != nullptr) {
            *error = "no Menu element";
        }
        return {};
    }
    QMenu menu;
    AddElements(menu, root);
    QAction* chosen = menu.exec(at);
    return chosen != nullptr ? chosen->data().toString().toStdString() : std::string();
}

}  // namespace

std::string CMenuWnd::Show(const CPaintManagerUI& manager, std::string_view file, QPoint at,
                           std::string* error) {
    pugi::xml_document doc;
    const std::string path = manager.ResolveResource(file);
    if (const pugi::xml_parse_result r = doc.load_file(path.c_str()); !r) {
        if (error != nullptr) {
            *error = path + ": " + r.description();
        }
        return {};
    }
    return Run(doc, at, error);
}

std::string CMenuWnd::ShowFromString(std::string_view xml, QPoint at, std::string* error) {
    pugi::xml_document doc;
    if (const pugi::xml_parse_result r = doc.load_buffer(xml.data(), xml.size()); !r) {
        if (error != nullptr) {
            *error = r.description();
        }
        return {};
    }
    return Run(doc, at, error);
}

}  // namespace vextar::ui
