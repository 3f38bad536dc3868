#pragma once

// Where the skin is, the resource index that names its layouts, and the
// program's private fonts.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vextar::app {

// The "skin" folder: VEXTAR_SKIN names it; else "skin" beside the
// executable; else <install prefix>/share/vextar/skin. Ends with "/"; empty
// when none exists.
std::string SkinFolder();

// "res.xml" of the skin: <Res><Item id="XML_MAIN" file="XML\main.xml"/>...
// Layouts are named by id or by path; an id resolves to its file.
class CResourceIndex {
  public:
    bool Load(const std::string& skinFolder, std::string* error);
    [[nodiscard]] std::string Resolve(std::string_view name) const;
    [[nodiscard]] bool Has(std::string_view id) const;
    void Clear() { items_.clear(); }

  private:
    std::map<std::string, std::string, std::less<>> items_;
};
CResourceIndex& ResourceIndex();

// Registers a font file for this process only; a handle, or nothing when
// the file cannot be used. Undone by Remove.
class IFontRegistrar {
  public:
    virtual ~IFontRegistrar() = default;
    virtual std::optional<int> Add(const std::string& path) = 0;
    virtual void Remove(int handle) = 0;
};

// The four private fonts: the file beside the executable ("Font/..."),
// else the system's file of the same face, else the face is left out.
struct PrivateFont {
    std::string relativePath;  // below the executable's folder
    std::string face;
    std::vector<std::string> systemFiles;  // the same face as shipped by the system
};
const std::vector<PrivateFont>& PrivateFonts();

class CPrivateFonts {
  public:
    explicit CPrivateFonts(IFontRegistrar& registrar) : registrar_(registrar) {}
    ~CPrivateFonts() { Release(); }
    CPrivateFonts(const CPrivateFonts&) = delete;
    CPrivateFonts& operator=(const CPrivateFonts&) = delete;

    // Loads the fonts in order from `programFolder`; the faces it could not
    // load are skipped. Returns the number loaded.
    int Load(const std::string& programFolder);
    // Releases them, last loaded first.
    void Release();
    [[nodiscard]] const std::vector<std::string>& LoadedFaces() const { return faces_; }

  private:
    IFontRegistrar& registrar_;
    std::vector<int> handles_;
    std::vector<std::string> faces_;
};

}  // namespace vextar::app
