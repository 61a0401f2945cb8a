#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>
#include <thread>

#include "log/log.h"
#include "log/log_format.h"
#include "log/log_test_hooks.h"
#include "test_support.h"

using namespace testsupport;

namespace {

const std::wregex kPrefix(LR"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}\] )");

// Splits the log text into entry bodies (text after each timestamp prefix).
std::vector<std::wstring> Entries(const std::wstring& log) {
    std::vector<std::wstring> bodies;
    auto begin = std::wsregex_iterator(log.begin(), log.end(), kPrefix);
    std::vector<std::pair<size_t, size_t>> marks;
    for (auto it = begin; it != std::wsregex_iterator(); ++it)
        marks.emplace_back(static_cast<size_t>(it->position()), static_cast<size_t>(it->length()));
    for (size_t i = 0; i < marks.size(); ++i) {
        const size_t start = marks[i].first + marks[i].second;
        const size_t end = i + 1 < marks.size() ? marks[i + 1].first : log.size();
        bodies.push_back(log.substr(start, end - start));
    }
    return bodies;
}

TEST(Log, FileLivesInTheTemporaryFolder) {
    EXPECT_EQ(std::wstring(LogFilePath()), PrivateTempFolder() + L"Tessoravin.log");
}

TEST(Log, NewFileStartsWithOneByteOrderMarkThenPrefixAndMessage) {
    LogWrite(L"[Test] first\r\n");
    LogWrite(L"[Test] second\r\n");
    const std::string bytes = ReadLogBytes();
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE", 2));
    const std::wstring text = ReadLog();
    ASSERT_EQ(text.size(), 2 * 26 + 14 + 15u);
    EXPECT_TRUE(std::regex_match(text.substr(0, 26), kPrefix)) << WideToUtf8(text);
    EXPECT_EQ(text.substr(26, 14), L"[Test] first\r\n");
    EXPECT_TRUE(std::regex_match(text.substr(40, 26), kPrefix));
    EXPECT_EQ(text.substr(66), L"[Test] second\r\n");
    EXPECT_EQ(text.find(wchar_t(0xFEFF)), std::wstring::npos);  // no second mark
}

TEST(Log, PrefixIsZeroPaddedAndTwentySixCharactersLong) {
    struct Case {
        SYSTEMTIME time;
        const wchar_t* expected;
    } cases[] = {
        {{2026, 1, 0, 2, 3, 4, 5, 6}, L"[2026-01-02 03:04:05.006] "},
        {{999, 12, 0, 31, 23, 59, 59, 999}, L"[0999-12-31 23:59:59.999] "},
        {{2024, 2, 4, 29, 0, 0, 0, 0}, L"[2024-02-29 00:00:00.000] "},
    };
    for (const Case& c : cases) {
        wchar_t prefix[kLogPrefixBufferChars];
        EXPECT_EQ(FormatLogPrefix(c.time, prefix), 26u);
        EXPECT_EQ(std::wstring(prefix), c.expected);
    }
}

TEST(Log, PrintfAddsCrLfOnlyWhenTheLineHasRoomAndNoLineFeed) {
    struct Case {
        size_t length;
        wchar_t last;
        bool crlfAdded;
    } cases[] = {
        {1, L'x', true},     {2045, L'x', true},  {2046, L'x', false},
        {2047, L'x', false}, {5000, L'x', false},  // cut at 2047, written without a line end
        {10, L'\n', false},                        // already ends in a line feed
        {0, L'x', false},                          // empty: the prefix alone
    };
    for (const Case& c : cases) {
        DeleteLog();
        std::wstring text(c.length, L'a');
        if (c.length > 0) text.back() = c.last;
        LogPrintf(L"%s", text.c_str());
        const std::vector<std::wstring> entries = Entries(ReadLog());
        ASSERT_EQ(entries.size(), 1u) << c.length;
        const std::wstring expectedBody = text.substr(0, 2047) + (c.crlfAdded ? L"\r\n" : L"");
        EXPECT_EQ(entries[0], expectedBody) << "length " << c.length;
    }
}

TEST(Log, PlainMessageIsWrittenUnchanged) {
    LogWrite(L"no line end");
    LogWrite(L"[X] tail\r\n");
    const std::wstring log = ReadLog();
    EXPECT_EQ(log.substr(26, 11), L"no line end");
    EXPECT_TRUE(std::regex_match(log.substr(37, 26), kPrefix));  // next prefix on the same line
}

TEST(Log, PrintfFormatsWideNarrowAndNumbers) {
    LogPrintf(L"[T] %s %hs %d %lu %lld 0x%08X %04X", L"wide", "narrow", -5, 7ul, -9ll, 0xABCu, 0x8F80u);
    EXPECT_EQ(Entries(ReadLog()).at(0), L"[T] wide narrow -5 7 -9 0x00000ABC 8F80\r\n");
}

TEST(Log, NullMessageOrFormatWritesNothing) {
    LogWrite(nullptr);
    LogPrintf(nullptr);
    EXPECT_FALSE(FileExists(LogFilePath()));
    LogWrite(L"x\r\n");
    EXPECT_TRUE(FileExists(LogFilePath()));
}

TEST(Log, DeletedFileIsRecreatedWithByteOrderMark) {
    LogWrite(L"[T] before\r\n");
    ASSERT_TRUE(DeleteFileW(LogFilePath()));
    LogWrite(L"[T] after\r\n");
    const std::string bytes = ReadLogBytes();
    EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE", 2));
    const std::vector<std::wstring> entries = Entries(ReadLog());
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0], L"[T] after\r\n");
}

TEST(Log, EntriesFromTwoThreadsNeverInterleave) {
    const std::wstring a = L"[A] " + std::wstring(700, L'a') + L"\r\n";
    const std::wstring b = L"[B] " + std::wstring(900, L'b') + L"\r\n";
    constexpr int kPerThread = 300;
    std::thread first([&] {
        for (int i = 0; i < kPerThread; ++i) LogWrite(a.c_str());
    });
    std::thread second([&] {
        for (int i = 0; i < kPerThread; ++i) LogPrintf(L"%s", b.c_str());
    });
    first.join();
    second.join();
    const std::vector<std::wstring> entries = Entries(ReadLog());
    ASSERT_EQ(entries.size(), 2u * kPerThread);
    int countA = 0;
    for (const std::wstring& entry : entries) {
        ASSERT_TRUE(entry == a || entry == b) << "torn entry of " << entry.size() << " units";
        countA += entry == a;
    }
    EXPECT_EQ(countA, kPerThread);
}

TEST(Log, ConcurrentFirstCallsInitialiseOnce) {
    // Several threads race to be first; every entry must land in the one file with one mark.
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) threads.emplace_back([t] { LogPrintf(L"[Race] thread %d", t); });
    for (auto& thread : threads) thread.join();
    const std::string bytes = ReadLogBytes();
    EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE", 2));
    std::set<std::wstring> seen;
    for (const std::wstring& entry : Entries(ReadLog())) seen.insert(entry);
    EXPECT_EQ(seen.size(), 8u);
}

TEST(Log, PathFallsBackToDriveRootWhenTheTemporaryFolderIsUnusable) {
    struct Case {
        std::wstring temp;
        DWORD result;
        std::wstring expected;
    };
    const std::wstring fits(245, L'x');  // 245 + 14 = 259 units: just fits
    const std::wstring tooLong(246, L'x');
    const Case cases[] = {
        {L"C:\\Temp\\", 8, L"C:\\Temp\\Tessoravin.log"}, {L"", 0, L"C:\\Tessoravin.log"},
        {L"C:\\Temp\\", 260, L"C:\\Tessoravin.log"},     {fits, 245, fits + L"Tessoravin.log"},
        {tooLong, 246, L"C:\\Tessoravin.log"},
    };
    for (const Case& c : cases) {
        wchar_t out[kLogPathChars];
        BuildLogPath(c.temp.c_str(), c.result, out);
        EXPECT_EQ(std::wstring(out), c.expected) << c.temp.size();
    }
}

}  // namespace
