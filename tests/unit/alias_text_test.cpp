#include <gtest/gtest.h>

#include "aliases/alias_internal.h"
#include "test_support.h"

using namespace testsupport;

namespace {

std::wstring Alias(const std::wstring& label, const std::wstring& folder) {
    return L"<path label=\"" + label + L"\" other=\"1\"><pathstring>" + folder + L"</pathstring></path>\r\n";
}

TEST(AliasText, ParsesLabelsLowercasedAndFoldersDecoded) {
    AliasTable table;
    ParseAliasText(L"<aliases>" + Alias(L"Tools", L"D:\\Tools &amp; More ") + Alias(L"docs", L"/home/docs") +
                       Alias(L"R&amp;D &#x41;rchive", L"C:\\R&amp;D\\Caf&#233; &lt;1&gt;") + L"</aliases>",
                   table);
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(table.at(L"tools"), L"D:\\Tools & More ");
    EXPECT_EQ(table.at(L"docs"), L"/home/docs");
    EXPECT_EQ(table.at(L"r&d archive"), L"C:\\R&D\\Caf\u00E9 <1>");
    EXPECT_TRUE(LogContains(L"[AliasResolver::ParseXml]   alias: /tools -> D:\\Tools & More \r\n"));
    EXPECT_TRUE(LogContains(L"[AliasResolver::ParseXml]   alias: /r&d archive -> C:\\R&D\\Caf\u00E9 <1>\r\n"));
}

TEST(AliasText, DecodesXmlReferencesAndKeepsAnythingElseAsWritten) {
    struct Case {
        const wchar_t* text;
        const wchar_t* expected;
    } cases[] = {
        {L"C:\\plain\\path; a & b", L"C:\\plain\\path; a & b"},  // nothing to decode
        {L"", L""},
        {L"&amp;&lt;&gt;&quot;&apos;", L"&<>\"'"},
        {L"&amp;lt;", L"&lt;"},  // one pass: a decoded '&' starts nothing
        {L"&#233;&#xE9;&#xe9;&#0000065;", L"\u00E9\u00E9\u00E9A"},
        {L"&#x1F3B5;|&#127925;|&#x10FFFF;", L"\U0001F3B5|\U0001F3B5|\U0010FFFF"},  // surrogate pairs
        {L"&#9;&#xD7FF;&#xE000;&#xFFFD;", L"\t\uD7FF\uE000\uFFFD"},
        // unknown, incomplete or naming no XML character: kept as written
        {L"&foo; &AMP; &#; &#x; &#X41; &#12a; &#-1;", L"&foo; &AMP; &#; &#x; &#X41; &#12a; &#-1;"},
        {L"&#0; &#x1; &#xD800; &#xDFFF; &#xFFFE; &#x110000; &#99999999999;",
         L"&#0; &#x1; &#xD800; &#xDFFF; &#xFFFE; &#x110000; &#99999999999;"},
        {L"&amp &amp", L"&amp &amp"},  // no semicolon
        {L"&&amp;&", L"&&&"},
        {L"&foo&amp; x&", L"&foo& x&"},
        {L"&am p;", L"&am p;"},
    };
    for (const Case& c : cases) EXPECT_EQ(DecodeXmlText(c.text), c.expected) << WideToUtf8(c.text);
}

TEST(AliasText, FirstDefinitionWinsAndOnlyItIsLogged) {
    AliasTable table;
    ParseAliasText(Alias(L"Media", L"C:\\one") + Alias(L"MEDIA", L"C:\\two"), table);
    EXPECT_EQ(table.at(L"media"), L"C:\\one");
    EXPECT_EQ(CountLogLines(L"alias: /media"), 1);
}

TEST(AliasText, MalformedEntriesAreSkippedOrStopTheScan) {
    struct Case {
        std::wstring text;
        AliasTable expected;
    } cases[] = {
        // an alias without its own folder: its folder tag lies after the next alias start
        {L"<path label=\"bare\"></path>" + Alias(L"next", L"C:\\n"), {{L"next", L"C:\\n"}}},
        // no closing quote: the scan stops, earlier aliases stay
        {Alias(L"ok", L"C:\\ok") + L"<path label=\"broken", {{L"ok", L"C:\\ok"}}},
        // no closing folder tag: stops
        {Alias(L"ok", L"C:\\ok") + L"<path label=\"x\"><pathstring>C:\\x", {{L"ok", L"C:\\ok"}}},
        // nothing after the alias start
        {L"<path label=\"", {}},
        // no folder anywhere after the name
        {L"<path label=\"lonely\">", {}},
        // empty name and empty folder are kept
        {Alias(L"", L""), {{L"", L""}}},
    };
    for (const Case& c : cases) {
        AliasTable table;
        ParseAliasText(c.text, table);
        EXPECT_EQ(table, c.expected) << WideToUtf8(c.text);
    }
}

TEST(AliasText, ExpandsAliasesWithHomeFirst) {
    const AliasTable table{
        {L"tools", L"D:\\Tools"}, {L"chain", L"/tools/sub"},   {L"self", L"/self"},           {L"empty", L""},
        {L"", L"E:\\root"},       {L"home", L"Z:\\from-file"}, {L"fwd", L"C:/forward/slash"},
    };
    struct Case {
        const wchar_t* path;
        const wchar_t* home;
        const wchar_t* expected;
    } cases[] = {
        {L"/home\\viewers\\mpv\\mpv.exe", L"C:\\Opus", L"C:\\Opus\\viewers\\mpv\\mpv.exe"},
        {L"/HOME/viewers/mpv/mpv.exe", L"C:\\Opus", L"C:\\Opus\\viewers\\mpv\\mpv.exe"},
        {L"/home\\x", L"", L"Z:\\from-file\\x"},  // the file's "home" only without the host
        {L"/Tools\\mpv.exe", L"C:\\Opus", L"D:\\Tools\\mpv.exe"},
        {L"/chain/mpv.exe", L"", L"D:\\Tools\\sub\\mpv.exe"},
        {L"/self\\x", L"", L"/self\\x"},          // 20 passes, still a slash: no replacement
        {L"/unknown/a/b", L"", L"/unknown/a/b"},  // unknown alias: unchanged
        {L"C:/not/an/alias", L"", L"C:/not/an/alias"},
        {L"relative/x", L"", L"relative/x"},
        {L"", L"", L""},
        {L"/empty", L"", L""},
        {L"/empty\\x", L"", L"\\x"},
        {L"/", L"", L"E:\\root"},
        {L"/fwd", L"", L"C:\\forward\\slash"},
    };
    for (const Case& c : cases) EXPECT_EQ(ExpandAliasPath(c.path, table, c.home), c.expected) << WideToUtf8(c.path);
}

TEST(AliasText, AliasFileSitsBesideTheConfigurationPath) {
    EXPECT_EQ(AliasFilePathFor(L"C:\\Opus\\ConfigFiles\\"), L"C:\\Opus\\ConfigFiles\\folderaliases.oxc");
    EXPECT_EQ(AliasFilePathFor(L"C:\\Opus\\ConfigFiles"), L"C:\\Opus\\folderaliases.oxc");
    EXPECT_EQ(AliasFilePathFor(L"C:/Opus/cfg/"), L"C:/Opus/cfg\\folderaliases.oxc");
    EXPECT_EQ(AliasFilePathFor(L"plain"), L"plain\\folderaliases.oxc");
}

}  // namespace
