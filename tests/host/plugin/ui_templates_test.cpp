// The two dialog templates as compiled into Tessoravin.dll, read back field by field: the
// resource compiler must neither add nor drop a style bit, and must carry the UTF-8 texts over.
#include <gtest/gtest.h>

#include <cstring>
#include <cwctype>
#include <string>

#include "plugin/plugin_dll.h"
#include "resources/resource.h"

namespace {

// The fixed parts of an extended template (DLGTEMPLATEEX) and of its items (DLGITEMTEMPLATEEX).
#pragma pack(push, 2)
struct DialogHead {
    DWORD signature, help, exStyle, style;
    WORD count;
    short x, y, cx, cy;
};
struct ItemHead {
    DWORD help, exStyle, style;
    short x, y, cx, cy;
    DWORD id;
};
#pragma pack(pop)

// The template written out one line for the dialog and one per item: help id, extended style
// and style (hex), x,y,width,height in dialog units, then menu, class, caption and font, or
// id, class (lowercase) and text. Every field is read in a statement of its own, in order.
std::wstring Dump(int id) {
    const PluginDll dll = PluginDll::Load();
    HRSRC found = dll.module ? FindResourceW(dll.module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5)) : nullptr;
    if (!found) return L"(no template)";
    const auto* start = static_cast<const BYTE*>(LockResource(LoadResource(dll.module, found)));
    const BYTE* p = start;
    const auto read = [&](auto value) {  // a value of the argument's type
        memcpy(&value, p, sizeof(value));
        p += sizeof(value);
        return value;
    };
    const auto string = [&] {
        std::wstring text;
        for (WORD c = read(WORD{}); c; c = read(WORD{})) text += static_cast<wchar_t>(c);
        return text;
    };
    // Resource compilers write the predefined classes either by name or as ordinals.
    const auto nameOrOrdinal = [&]() -> std::wstring {
        if (p[0] != 0xFF || p[1] != 0xFF) return string();
        const auto n = static_cast<WORD>(read(DWORD{}) >> 16);
        return n == 0x80 ? L"button" : n == 0x81 ? L"edit" : n == 0x82 ? L"static" : L"#" + std::to_wstring(n);
    };
    wchar_t line[128];
    const auto head = read(DialogHead{});
    swprintf(line, 128, L"dialog %lx %lx %lx %lx %d,%d,%d,%d", head.signature, head.help, head.exStyle, head.style,
             head.x, head.y, head.cx, head.cy);
    std::wstring dump = line;
    dump += L" menu=" + nameOrOrdinal();
    dump += L" class=" + nameOrOrdinal();
    dump += L" caption=" + string();
    dump += L" font=" + std::to_wstring(read(WORD{}));  // point size, weight, italic, character set, face
    dump += L"," + std::to_wstring(read(WORD{}));
    dump += L"," + std::to_wstring(read(BYTE{}));
    dump += L"," + std::to_wstring(read(BYTE{}));
    dump += L"," + string() + L"\n";
    for (WORD i = 0; i < head.count; ++i) {
        p = start + ((p - start + 3) & ~3);  // each item starts on a DWORD
        const auto item = read(ItemHead{});
        swprintf(line, 128, L"item %lx %lx %lx %d,%d,%d,%d %lu ", item.help, item.exStyle, item.style, item.x, item.y,
                 item.cx, item.cy, item.id);
        std::wstring cls = nameOrOrdinal();
        for (wchar_t& c : cls) c = static_cast<wchar_t>(std::towlower(c));
        dump += line + cls;
        dump += L" " + nameOrOrdinal() + L"\n";
        p += read(WORD{});  // creation data
    }
    if (static_cast<DWORD>(p - start) > SizeofResource(dll.module, found)) dump += L"(read past the end)";
    return dump;
}

TEST(DialogTemplates, ConfigurationDialogIsTemplate100) {
    EXPECT_EQ(Dump(IDD_CONFIG),
              L"dialog ffff0001 0 0 90cc0048 0,0,400,270 menu= class= caption=Tessoravin 配置 "
              L"font=8,400,0,1,MS Shell Dlg\n"
              L"item 0 0 50020000 10,10,200,10 1008 static 扩展名映射:\n"
              L"item 0 0 5081800d 10,25,380,130 1001 syslistview32 \n"
              L"item 0 0 50010000 10,165,60,14 1002 button 添加(&A)\n"
              L"item 0 0 50010000 75,165,60,14 1003 button 编辑(&E)\n"
              L"item 0 0 50010000 140,165,60,14 1004 button 删除(&D)\n"
              L"item 0 0 50020000 10,190,100,10 1007 static mpv 额外参数:\n"
              L"item 0 0 50810080 10,205,380,14 1005 edit \n"
              L"item 0 0 50020000 10,225,380,10 1006 static \n"
              L"item 0 0 50010001 280,250,50,14 1 button 确定\n"
              L"item 0 0 50010000 340,250,50,14 2 button 取消\n");
}

TEST(DialogTemplates, MappingEditorIsTemplate101) {
    EXPECT_EQ(Dump(IDD_EDIT_MAPPING),
              L"dialog ffff0001 0 0 80c80048 0,0,360,130 menu= class= caption=编辑映射 font=8,400,0,1,MS Shell Dlg\n"
              L"item 0 0 50020000 10,10,80,10 1105 static 组名:\n"
              L"item 0 0 50810080 95,10,255,14 1101 edit \n"
              L"item 0 0 50020000 10,32,80,10 1106 static 扩展名(分号分隔):\n"
              L"item 0 0 50810080 95,32,255,14 1102 edit \n"
              L"item 0 0 50020000 10,54,80,10 1107 static mpv.exe 路径:\n"
              L"item 0 0 50810080 95,54,230,14 1103 edit \n"
              L"item 0 0 50010000 330,54,20,14 1104 button ...\n"
              L"item 0 0 50010001 240,100,50,14 1 button 确定\n"
              L"item 0 0 50010000 300,100,50,14 2 button 取消\n");
}

}  // namespace
