#pragma once

// Building control trees from XML layouts, and the factory of control
// classes by name.

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "ui/control.h"

namespace pugi {
class xml_node;
}

namespace vextar::ui {

class CPaintManagerUI;

// Asked for every element the builder does not know; returns the control
// of that class, or null when it does not know it either.
class IDialogBuilderCallback {
  public:
    virtual ~IDialogBuilderCallback() = default;
    virtual std::unique_ptr<CControlUI> CreateControl(std::string_view className) = 0;
};

// Control classes by name ("CCircleProgressUI" and the like).
class CControlFactory {
  public:
    using Creator = std::function<std::unique_ptr<CControlUI>()>;
    static CControlFactory& Instance();
    void RegisterControl(std::string name, Creator creator);
    [[nodiscard]] std::unique_ptr<CControlUI> CreateControl(std::string_view name) const;

  private:
    mutable std::mutex mutex_;
    std::map<std::string, Creator, std::less<>> creators_;
};

class CDialogBuilder {
  public:
    // Builds the tree of a layout file, named relative to the manager's
    // resource path (backslashes allowed). The window element's fonts go to
    // the manager. Returns null, with a reason, when the file cannot be read
    // or parsed or names no control.
    std::unique_ptr<CControlUI> Create(std::string_view file, IDialogBuilderCallback* callback,
                                       CPaintManagerUI* manager, std::string* error = nullptr);
    std::unique_ptr<CControlUI> CreateFromString(std::string_view xml,
                                                 IDialogBuilderCallback* callback,
                                                 CPaintManagerUI* manager,
                                                 std::string* error = nullptr);
    // The window element's attributes of the last build ("size", "caption"...).
    [[nodiscard]] const std::map<std::string, std::string>& WindowAttributes() const {
        return windowAttributes_;
    }

    // Nesting of included and called-back layouts allowed before the builder
    // gives up (a layout that includes itself).
    static constexpr int kMaxDepth = 32;

  private:
    std::unique_ptr<CControlUI> BuildDocument(const pugi::xml_node& root,
                                              IDialogBuilderCallback* callback,
                                              CPaintManagerUI* manager, std::string* error);
    std::unique_ptr<CControlUI> BuildNode(const pugi::xml_node& node,
                                          IDialogBuilderCallback* callback,
                                          CPaintManagerUI* manager, std::string* error);
    bool AddChildren(const pugi::xml_node& node, CControlUI* parent,
                     IDialogBuilderCallback* callback, CPaintManagerUI* manager,
                     std::string* error);

    std::map<std::string, std::string> windowAttributes_;
    int depth_ = 0;
};

// Creates a control of one of the library's own classes, or null.
std::unique_ptr<CControlUI> CreateBuiltinControl(std::string_view className);

}  // namespace vextar::ui
