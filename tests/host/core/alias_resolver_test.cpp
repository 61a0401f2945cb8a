// The alias resolver inside a fake Directory Opus. Every TEST is its own process, so each
// one sees the process-wide alias table before its first load.
#include <gtest/gtest.h>

#include "aliases/alias_internal.h"
#include "aliases/alias_resolver.h"
#include "fake_host.h"
#include "test_support.h"

using namespace testsupport;

namespace {

std::string AliasXml(const std::string& label, const std::string& folder) {
    return "  <path label=\"" + label + "\" type=\"user\">\r\n    <pathstring>" + folder +
           "</pathstring>\r\n  </path>\r\n";
}

const std::string kBom = "\xEF\xBB\xBF";
const std::string kAliases = "<?xml version=\"1.0\"?>\r\n<folderaliases>\r\n" + AliasXml("Tools", "D:\\Tools") +
                             AliasXml("music", "/tools/Music") + AliasXml("loop", "/loop") + AliasXml("nothing", "") +
                             AliasXml("TOOLS", "X:\\second") + AliasXml("unicode", "E:\\M\xC3\xBAsica") +
                             "</folderaliases>\r\n";

// Points GetConfigPathW at <temp>\cfg\ (or without the trailing separator) and writes the
// alias file where the resolver should look for it.
std::wstring SetUpHost(const std::string& content, bool trailingSeparator = true) {
    const std::wstring folder = MakeTestFolder(L"cfg");
    fakehost::SetConfigFolder(trailingSeparator ? folder + L"\\" : folder + L"\\Tessoravin");
    WriteFileBytes(folder + L"\\folderaliases.oxc", content);
    return folder;
}

void ExpectStandardTable() {
    EXPECT_EQ(AliasResolver::Load(), 5u);
    EXPECT_EQ(AliasResolver::ExpandPath(L"/TOOLS\\mpv.exe"), L"D:\\Tools\\mpv.exe");
    EXPECT_EQ(AliasResolver::ExpandPath(L"/music/a/b.exe"), L"D:\\Tools\\Music\\a\\b.exe");
    EXPECT_EQ(AliasResolver::ExpandPath(L"/unicode\\x"), L"E:\\M\x00FAsica\\x");
    EXPECT_EQ(AliasResolver::ExpandPath(L"/nothing"), L"");
    EXPECT_EQ(AliasResolver::ExpandPath(L"/nothing\\x"), L"\\x");
    EXPECT_EQ(AliasResolver::ExpandPath(L"/nope/x/y"), L"/nope/x/y");
    EXPECT_EQ(AliasResolver::ExpandPath(L"/loop\\x"), L"/loop\\x");
    EXPECT_EQ(CountLogLines(L"[AliasResolver::ParseXml]   alias: /tools -> D:\\Tools\r\n"), 1);
    EXPECT_EQ(CountLogLines(L"alias: /tools"), 1);  // the second TOOLS is ignored
    EXPECT_EQ(CountLogLines(L"[AliasResolver::Load] AliasResolver: loaded 5 aliases\r\n"), 1);
}

TEST(AliasResolverHost, HomeIsTheFolderOfDopusExe) {
    SetUpHost(kAliases);
    AliasResolver::Load();
    EXPECT_EQ(AliasResolver::HomeFolder(L"home"), fakehost::ProgramFolder());
    EXPECT_EQ(AliasResolver::HomeFolder(L"Home"), L"");  // keys arrive lowercased
    EXPECT_EQ(AliasResolver::ExpandPath(L"/home\\viewers\\mpv\\mpv.exe"),
              fakehost::ProgramFolder() + L"\\viewers\\mpv\\mpv.exe");
    EXPECT_EQ(AliasResolver::ExpandPath(L"/Home/viewers/mpv/mpv.exe"),
              fakehost::ProgramFolder() + L"\\viewers\\mpv\\mpv.exe");
}

TEST(AliasResolverHost, FileWithoutByteOrderMark) {
    SetUpHost(kAliases);
    ExpectStandardTable();
}

TEST(AliasResolverHost, FileWithByteOrderMarkGivesTheSameTable) {
    SetUpHost(kBom + kAliases);
    ExpectStandardTable();
}

TEST(AliasResolverHost, FileSoughtInTheFolderAboveAConfigPathWithoutSeparator) {
    const std::wstring folder = SetUpHost(kAliases, false);
    ExpectStandardTable();
    EXPECT_TRUE(LogContains(L"[AliasResolver::Load] AliasResolver: loading [" + folder + L"\\folderaliases.oxc]\r\n"));
}

TEST(AliasResolverHost, FileSoughtInTheConfigPathWithSeparator) {
    const std::wstring folder = SetUpHost(kAliases, true);
    ExpectStandardTable();
    EXPECT_TRUE(LogContains(L"[AliasResolver::Load] AliasResolver: loading [" + folder + L"\\folderaliases.oxc]\r\n"));
}

// A file of exactly the given size whose only alias is at its start.
std::string PaddedFile(size_t size) {
    std::string text = AliasXml("big", "C:\\Big");
    text.resize(size, ' ');
    return text;
}

TEST(AliasResolverHost, EmptyFileIsRefused) {
    SetUpHost("");
    EXPECT_EQ(AliasResolver::Load(), 0u);
    EXPECT_TRUE(LogContains(L"[AliasResolver::Load] AliasResolver: folderaliases.oxc size invalid (0)\r\n"));
}

TEST(AliasResolverHost, FileOfExactlyOneMebibyteIsRead) {
    SetUpHost(PaddedFile(1048576));
    EXPECT_EQ(AliasResolver::Load(), 1u);
    EXPECT_EQ(AliasResolver::ExpandPath(L"/big\\x"), L"C:\\Big\\x");
}

// The load is the first entry point's, on the host's thread: a file of the largest size that holds
// nothing but alias starts without folders is read in time too (a generous bound).
TEST(AliasResolverHost, FileOfOneMebibyteOfAliasStartsIsReadInTime) {
    std::string starts;
    while (starts.size() < 1048576) starts += "<path label=\"\"";
    starts.resize(1048576);
    SetUpHost(starts);
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(AliasResolver::Load(), 0u);
    EXPECT_LT(GetTickCount64() - start, 2000u);
}

TEST(AliasResolverHost, FileOneByteOverOneMebibyteIsRefused) {
    SetUpHost(PaddedFile(1048577));
    EXPECT_EQ(AliasResolver::Load(), 0u);
    EXPECT_TRUE(LogContains(L"[AliasResolver::Load] AliasResolver: folderaliases.oxc size invalid (1048577)\r\n"));
    EXPECT_EQ(AliasResolver::ExpandPath(L"/big\\x"), L"/big\\x");
}

TEST(AliasResolverHost, MissingFileIsNotRetried) {
    const std::wstring folder = MakeTestFolder(L"cfg");
    fakehost::SetConfigFolder(folder + L"\\");
    EXPECT_EQ(AliasResolver::Load(), 0u);
    EXPECT_TRUE(LogContains(L"[AliasResolver::Load] AliasResolver: folderaliases.oxc not found (err=2)\r\n"));
    WriteFileBytes(folder + L"\\folderaliases.oxc", kAliases);  // appears too late
    EXPECT_EQ(AliasResolver::Load(), 0u);
    EXPECT_EQ(CountLogLines(L"AliasResolver: loading ["), 1);
    EXPECT_EQ(AliasResolver::ExpandPath(L"/tools\\x"), L"/tools\\x");
}

TEST(AliasResolverHost, FailingConfigPathIsNotRetried) {
    SetUpHost(kAliases);
    fakehost::SetConfigPathResult(0);
    EXPECT_EQ(AliasResolver::Load(), 0u);
    fakehost::SetConfigPathResult(1);
    EXPECT_EQ(AliasResolver::Load(), 0u);
    EXPECT_EQ(fakehost::ConfigPathCalls(), 1);
    EXPECT_EQ(CountLogLines(L"[AliasResolver::Load] AliasResolver: GetConfigPath failed\r\n"), 1);
    // "home" needs no file.
    EXPECT_EQ(AliasResolver::ExpandPath(L"/home"), fakehost::ProgramFolder());
}

}  // namespace
