// The two dialog templates as compiled into Tessoravin.dll, read back field by field: the
// resource compiler must neither add nor drop a style bit, and must carry the UTF-8 texts over.
#include <gtest/gtest.h>

#include <cstring>
#include <cwctype>
#include <string>
#include <vector>

#include "plugin/plugin_dll.h"
#include "resources/resource.h"

namespace {

struct Item {
    int id;
    std::wstring cls;  // lowercase name
    std::wstring text;
    std::vector<int> rect;  // x, y, width, height in dialog units
    DWORD style;
};

struct Template {
    DWORD style = 0, exStyle = 0;
    std::vector<int> rect;
    std::wstring menu, cls, caption, font;
    int fontData[4] = {};  // point size, weight, italic, character set
    std::vector<Item> items;
    std::vector<DWORD> itemExStyles;
};

// Walks an extended template (DLGTEMPLATEEX, then DLGITEMTEMPLATEEX records).
struct Reader {
    const BYTE* p;
    template <class T>
    T Get() {
        T value;
        memcpy(&value, p, sizeof(T));
        p += sizeof(T);
        return value;
    }
    std::wstring String() {
        std::wstring text;
        for (wchar_t c = Get<wchar_t>(); c; c = Get<wchar_t>()) text += c;
        return text;
    }
    std::wstring StringOrOrdinal() {
        if (reinterpret_cast<const WORD*>(p)[0] != 0xFFFF) return String();
        p += sizeof(WORD);
        return L"#" + std::to_wstring(Get<WORD>());
    }
    std::vector<int> Rect() {
        std::vector<int> r;
        for (int i = 0; i < 4; ++i) r.push_back(Get<short>());
        return r;
    }
};

// Resource compilers write the predefined classes either by name or as ordinals 0x80 to 0x82.
std::wstring ClassName(std::wstring cls) {
    if (cls == L"button") return L"button";
    if (cls == L"edit") return L"edit";
    if (cls == L"static") return L"static";
    for (wchar_t& c : cls) c = static_cast<wchar_t>(std::towlower(c));
    return cls;
}

Template ReadTemplate(HMODULE module, int id) {
    Template t;
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5));  // RT_DIALOG
    if (!found) return t;
    const auto* start = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    Reader r{start};
    EXPECT_EQ(r.Get<DWORD>(), 0xFFFF0001u);  // version 1 of the extended format
    r.Get<DWORD>();                          // help id
    t.exStyle = r.Get<DWORD>();
    t.style = r.Get<DWORD>();
    const WORD count = r.Get<WORD>();
    t.rect = r.Rect();
    t.menu = r.StringOrOrdinal();
    t.cls = r.StringOrOrdinal();
    t.caption = r.String();
    t.fontData[0] = r.Get<WORD>();
    t.fontData[1] = r.Get<WORD>();
    t.fontData[2] = r.Get<BYTE>();
    t.fontData[3] = r.Get<BYTE>();
    t.font = r.String();
    for (WORD i = 0; i < count; ++i) {
        r.p = start + ((r.p - start + 3) & ~3);  // each item starts on a DWORD
        r.Get<DWORD>();                          // help id
        t.itemExStyles.push_back(r.Get<DWORD>());
        Item item{};
        item.style = r.Get<DWORD>();
        item.rect = r.Rect();
        item.id = static_cast<int>(r.Get<DWORD>());
        item.cls = ClassName(r.StringOrOrdinal());
        item.text = r.StringOrOrdinal();
        r.p += r.Get<WORD>();  // creation data
        t.items.push_back(item);
    }
    EXPECT_LE(static_cast<DWORD>(r.p - start), SizeofResource(module, found)) << "template " << id;
    return t;
}

constexpr DWORD kLabel = 0x50020000, kEdit = 0x50810080, kButton = 0x50010000, kDefaultButton = 0x50010001;

void ExpectTemplate(int id, DWORD style, std::vector<int> rect, const std::wstring& caption,
                    const std::vector<Item>& items) {
    const PluginDll dll = PluginDll::Load();
    ASSERT_NE(dll.module, nullptr);
    const Template t = ReadTemplate(dll.module, id);
    EXPECT_EQ(t.style, style) << std::hex << t.style;
    EXPECT_EQ(t.exStyle, 0u);
    EXPECT_EQ(t.rect, rect);
    EXPECT_EQ(t.menu, L"");
    EXPECT_EQ(t.cls, L"");
    EXPECT_EQ(t.caption, caption);
    EXPECT_EQ(t.font, L"MS Shell Dlg");
    EXPECT_EQ(std::vector<int>(t.fontData, t.fontData + 4), (std::vector<int>{8, 400, 0, 1}));
    ASSERT_EQ(t.items.size(), items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE("item " + std::to_string(i) + ", id " + std::to_string(items[i].id));
        EXPECT_EQ(t.items[i].id, items[i].id);
        EXPECT_EQ(t.items[i].cls, items[i].cls);
        EXPECT_EQ(t.items[i].text, items[i].text);
        EXPECT_EQ(t.items[i].rect, items[i].rect);
        EXPECT_EQ(t.items[i].style, items[i].style) << std::hex << t.items[i].style;
        EXPECT_EQ(t.itemExStyles[i], 0u);
    }
}

TEST(DialogTemplates, ConfigurationDialogIsTemplate100) {
    ExpectTemplate(IDD_CONFIG, 0x90CC0048, {0, 0, 400, 270}, L"Tessoravin 配置",
                   {
                       {1008, L"static", L"扩展名映射:", {10, 10, 200, 10}, kLabel},
                       {1001, L"syslistview32", L"", {10, 25, 380, 130}, 0x5081800D},
                       {1002, L"button", L"添加(&A)", {10, 165, 60, 14}, kButton},
                       {1003, L"button", L"编辑(&E)", {75, 165, 60, 14}, kButton},
                       {1004, L"button", L"删除(&D)", {140, 165, 60, 14}, kButton},
                       {1007, L"static", L"mpv 额外参数:", {10, 190, 100, 10}, kLabel},
                       {1005, L"edit", L"", {10, 205, 380, 14}, kEdit},
                       {1006, L"static", L"", {10, 225, 380, 10}, kLabel},
                       {IDOK, L"button", L"确定", {280, 250, 50, 14}, kDefaultButton},
                       {IDCANCEL, L"button", L"取消", {340, 250, 50, 14}, kButton},
                   });
}

TEST(DialogTemplates, MappingEditorIsTemplate101) {
    ExpectTemplate(IDD_EDIT_MAPPING, 0x80C80048, {0, 0, 360, 130}, L"编辑映射",
                   {
                       {1105, L"static", L"组名:", {10, 10, 80, 10}, kLabel},
                       {1101, L"edit", L"", {95, 10, 255, 14}, kEdit},
                       {1106, L"static", L"扩展名(分号分隔):", {10, 32, 80, 10}, kLabel},
                       {1102, L"edit", L"", {95, 32, 255, 14}, kEdit},
                       {1107, L"static", L"mpv.exe 路径:", {10, 54, 80, 10}, kLabel},
                       {1103, L"edit", L"", {95, 54, 230, 14}, kEdit},
                       {1104, L"button", L"...", {330, 54, 20, 14}, kButton},
                       {IDOK, L"button", L"确定", {240, 100, 50, 14}, kDefaultButton},
                       {IDCANCEL, L"button", L"取消", {300, 100, 50, 14}, kButton},
                   });
}

}  // namespace
