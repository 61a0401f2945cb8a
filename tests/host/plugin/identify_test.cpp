// DVP_IdentifyW and DVP_IdentifyFileW of the real DLL, called as the file manager calls them.
// The host records are plain byte buffers here, with the layout written out by offset, so
// the test does not share the plug-in's own declarations.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <cwchar>
#include <thread>

#include "fake_host.h"
#include "plugin_dll.h"
#include "test_support.h"

using namespace testsupport;

namespace {

constexpr unsigned char kCanary = 0xCD;
const wchar_t kDefaultExts[] =
    L".mkv;.mp4;.avi;.mov;.wmv;.flv;.webm;.m4v;.mpg;.mpeg;.m2ts;.ts;.vob;.ogv;.3gp;.rm;.rmvb;"
    L".mp3;.flac;.wav;.aac;.m4a;.ogg;.opus;.wma;.ape;.alac;.aiff;.mid;.midi";

template <class T>
T At(const std::vector<unsigned char>& record, size_t offset) {
    T value;
    std::memcpy(&value, record.data() + offset, sizeof(T));
    return value;
}

template <class T>
void Put(std::vector<unsigned char>& record, size_t offset, T value) {
    std::memcpy(record.data() + offset, &value, sizeof(T));
}

// A text slot: a canary-filled host buffer with room for a guard unit after its capacity.
struct Slot {
    std::vector<wchar_t> buffer;
    uint32_t capacity;
    explicit Slot(uint32_t cap) : buffer(cap + 4, wchar_t(0xCDCD)), capacity(cap) {}
    std::wstring Text() const { return std::wstring(buffer.data()); }
    bool UntouchedFrom(size_t index) const {
        for (size_t i = index; i < buffer.size(); ++i)
            if (buffer[i] != wchar_t(0xCDCD)) return false;
        return true;
    }
};

class IdentifyTest : public ::testing::Test {
protected:
    void SetUp() override {
        dll = PluginDll::Load();
        ASSERT_NE(dll.module, nullptr);
        ASSERT_NE(dll.IdentifyW, nullptr);
        ASSERT_NE(dll.IdentifyFileW, nullptr);
    }
    PluginDll dll;
};

// Plug-in information record: 160 bytes plus a tail that must stay untouched.
struct InfoRecord {
    std::vector<unsigned char> bytes = std::vector<unsigned char>(200, kCanary);
    Slot exts{1024}, name{64}, description{128}, notice{128}, further{8};
    void Attach(uint32_t extsCap, uint32_t nameCap, uint32_t descCap, uint32_t noticeCap, uint32_t furtherCap) {
        Slot* slots[] = {&exts, &name, &description, &notice, &further};
        const uint32_t caps[] = {extsCap, nameCap, descCap, noticeCap, furtherCap};
        for (size_t i = 0; i < 5; ++i) {
            Put<wchar_t*>(bytes, 16 + 8 * i, slots[i]->buffer.data());
            Put<uint32_t>(bytes, 56 + 4 * i, caps[i]);
        }
    }
};

bool InRanges(size_t offset, std::initializer_list<std::pair<size_t, size_t>> ranges) {
    for (auto [begin, end] : ranges)
        if (offset >= begin && offset < end) return true;
    return false;
}

TEST_F(IdentifyTest, InfoRecordGetsExactlyItsFields) {
    InfoRecord record;
    record.Attach(1024, 64, 128, 128, 8);
    ASSERT_TRUE(dll.IdentifyW(record.bytes.data()));

    EXPECT_EQ(At<uint32_t>(record.bytes, 0), 160u);
    EXPECT_EQ(At<uint32_t>(record.bytes, 4), 0x00000C10u);
    EXPECT_EQ(At<uint32_t>(record.bytes, 8), 0x00010000u);
    EXPECT_EQ(At<uint32_t>(record.bytes, 12), 0u);
    EXPECT_EQ(At<uint32_t>(record.bytes, 112), 3u);
    GUID id = At<GUID>(record.bytes, 116);
    GUID zero = {};
    EXPECT_NE(std::memcmp(&id, &zero, sizeof(GUID)), 0);
    // The slots' pointers and capacities are the host's and stay as the host set them.
    EXPECT_EQ(At<wchar_t*>(record.bytes, 24), record.name.buffer.data());
    EXPECT_EQ(At<uint32_t>(record.bytes, 60), 64u);
    for (size_t offset = 0; offset < record.bytes.size(); ++offset) {
        if (InRanges(offset, {{0, 16}, {16, 76}, {112, 132}, {144, 160}})) continue;
        EXPECT_EQ(record.bytes[offset], kCanary) << "byte " << offset << " was written";
    }

    EXPECT_EQ(record.exts.Text(), kDefaultExts);
    EXPECT_EQ(record.name.Text(), L"Tessoravin");
    EXPECT_EQ(record.description.Text(), L"Directory Opus mpv video/audio viewer plugin");
    EXPECT_FALSE(record.notice.Text().empty());
    EXPECT_EQ(record.further.buffer[0], L'\0');
    EXPECT_TRUE(record.further.UntouchedFrom(1));
    // The rest of a slot up to its capacity is zero-filled, nothing past it is touched.
    EXPECT_EQ(record.name.buffer[63], L'\0');
    EXPECT_TRUE(record.name.UntouchedFrom(64));

    for (auto [offset, size] : {std::pair<size_t, int>{144, 16}, {152, 32}}) {
        HICON icon = At<HICON>(record.bytes, offset);
        ASSERT_NE(icon, nullptr) << offset;
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bitmap = {};
        GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
        EXPECT_EQ(bitmap.bmWidth, size);
        if (info.hbmColor) DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
    EXPECT_TRUE(LogContains(L"[DVP_IdentifyW] DVP_IdentifyW ENTER\r\n"));
    EXPECT_TRUE(LogContains(std::wstring(L"[DVP_IdentifyW]   handleExts=[") + kDefaultExts + L"]\r\n"));
    EXPECT_TRUE(LogContains(L"[DVP_IdentifyW] DVP_IdentifyW return TRUE\r\n"));
}

TEST_F(IdentifyTest, TextsAreCutAtCapacityAndZeroCapacitySlotsUntouched) {
    InfoRecord record;
    record.Attach(4, 5, 0, 1, 0);
    ASSERT_TRUE(dll.IdentifyW(record.bytes.data()));
    EXPECT_EQ(record.exts.Text(), L".mk");
    EXPECT_EQ(record.name.Text(), L"Tess");
    EXPECT_TRUE(record.name.UntouchedFrom(5));
    EXPECT_TRUE(record.description.UntouchedFrom(0));
    EXPECT_EQ(record.notice.buffer[0], L'\0');
    EXPECT_TRUE(record.notice.UntouchedFrom(1));
    EXPECT_TRUE(record.further.UntouchedFrom(0));
    EXPECT_EQ(At<uint32_t>(record.bytes, 0), 160u);
    EXPECT_NE(At<HICON>(record.bytes, 144), nullptr);
}

TEST_F(IdentifyTest, NullInfoRecordReturnsFalse) {
    EXPECT_FALSE(dll.IdentifyW(nullptr));
    EXPECT_TRUE(LogContains(L"[DVP_IdentifyW] DVP_IdentifyW: lpVPInfo=NULL, return FALSE\r\n"));
    EXPECT_EQ(fakehost::CallCount(), 0u);  // nothing loaded
}

// File information record: 104 bytes plus a guard tail.
struct FileRecord {
    std::vector<unsigned char> bytes = std::vector<unsigned char>(128, kCanary);
    Slot description;
    explicit FileRecord(uint32_t capacity = 64) : description(capacity) {
        Put<wchar_t*>(bytes, 24, description.buffer.data());
        Put<uint32_t>(bytes, 32, capacity);
    }
    bool Untouched() const {
        for (size_t i = 0; i < bytes.size(); ++i)
            if (!InRanges(i, {{24, 36}}) && bytes[i] != kCanary) return false;
        return description.UntouchedFrom(0);
    }
};

TEST_F(IdentifyTest, FilesAreHandledByExtensionWithoutCase) {
    fakehost::SetValue(L"mappings",
                       L"video\tmkv;mp4;old\\trailer\t/home\\viewers\\mpv\\mpv.exe\n"
                       L"silent\txyz\t\"\"\n");
    struct Case {
        const wchar_t* path;
        bool handled;
        const wchar_t* description;
    } cases[] = {
        {L"C:\\clips\\a.MKV", true, L"mpv (MKV)"},
        {L"C:\\clips\\b.mp4", true, L"mpv (mp4)"},
        {L"D:\\movies.old\\trailer", true, L"mpv (old\\trailer)"},  // the dot in the folder counts
        {L"D:\\movies.new\\trailer", false, nullptr},
        {L"C:\\clips\\noext", false, nullptr},
        {L"C:\\clips\\song.mp3", false, nullptr},
        {L"C:\\clips\\x.xyz", false, nullptr},  // its group's player resolves to nothing
    };
    for (const Case& c : cases) {
        FileRecord record;
        EXPECT_EQ(dll.IdentifyFileW(nullptr, c.path, record.bytes.data(), nullptr) != FALSE, c.handled)
            << WideToUtf8(c.path);
        if (!c.handled) {
            EXPECT_TRUE(record.Untouched()) << WideToUtf8(c.path);
            continue;
        }
        EXPECT_EQ(At<uint32_t>(record.bytes, 0), 104u);
        EXPECT_EQ(At<uint32_t>(record.bytes, 4), 2u);
        EXPECT_EQ(At<uint32_t>(record.bytes, 8), 3u);
        EXPECT_EQ(At<uint32_t>(record.bytes, 20), 32u);
        EXPECT_EQ(record.description.Text(), c.description);
        // Formatted as snprintf does: nothing past the terminator is written.
        EXPECT_TRUE(record.description.UntouchedFrom(wcslen(c.description) + 1)) << WideToUtf8(c.path);
        for (size_t i = 0; i < record.bytes.size(); ++i) {
            if (InRanges(i, {{0, 12}, {20, 36}})) continue;
            EXPECT_EQ(record.bytes[i], kCanary) << WideToUtf8(c.path) << " byte " << i;
        }
    }
    EXPECT_TRUE(LogContains(L"[DVP_IdentifyFileW] DVP_IdentifyFileW ENTER, file=[C:\\clips\\a.MKV]\r\n"));
    EXPECT_TRUE(LogContains(L"[DVP_IdentifyFileW]   matched viewer=[" + fakehost::ProgramFolder() +
                            L"\\viewers\\mpv\\mpv.exe]\r\n"));
    EXPECT_TRUE(LogContains(L"[DVP_IdentifyFileW] DVP_IdentifyFileW: no viewer, FALSE\r\n"));
    EXPECT_TRUE(LogContains(L"[DVP_IdentifyFileW] DVP_IdentifyFileW return TRUE\r\n"));
}

TEST_F(IdentifyTest, DescriptionIsCutToItsSlot) {
    FileRecord small(6);
    ASSERT_TRUE(dll.IdentifyFileW(nullptr, L"C:\\a.mkv", small.bytes.data(), nullptr));
    EXPECT_EQ(small.description.Text(), L"mpv (");
    EXPECT_TRUE(small.description.UntouchedFrom(6));

    FileRecord none(0);
    ASSERT_TRUE(dll.IdentifyFileW(nullptr, L"C:\\a.mkv", none.bytes.data(), nullptr));
    EXPECT_TRUE(none.description.UntouchedFrom(0));
    EXPECT_EQ(At<uint32_t>(none.bytes, 0), 104u);
}

TEST_F(IdentifyTest, NullArgumentsReturnFalse) {
    FileRecord record;
    EXPECT_FALSE(dll.IdentifyFileW(nullptr, nullptr, record.bytes.data(), nullptr));
    EXPECT_FALSE(dll.IdentifyFileW(nullptr, L"C:\\a.mkv", nullptr, nullptr));
    EXPECT_TRUE(record.Untouched());
    EXPECT_TRUE(LogContains(L"[DVP_IdentifyFileW] DVP_IdentifyFileW ENTER, file=[(null)]\r\n"));
    EXPECT_EQ(CountLogLines(L"[DVP_IdentifyFileW] DVP_IdentifyFileW: null arg, FALSE\r\n"), 2);
}

TEST_F(IdentifyTest, StoreChangesAreSeenByTheNextCall) {
    FileRecord record;
    EXPECT_FALSE(dll.IdentifyFileW(nullptr, L"C:\\a.xyz", record.bytes.data(), nullptr));
    fakehost::SetValue(L"mappings", L"custom\txyz\tC:\\player.exe");
    EXPECT_TRUE(dll.IdentifyFileW(nullptr, L"C:\\a.xyz", record.bytes.data(), nullptr));
    InfoRecord info;
    info.Attach(64, 0, 0, 0, 0);
    ASSERT_TRUE(dll.IdentifyW(info.bytes.data()));
    EXPECT_EQ(info.exts.Text(), L".xyz");
    EXPECT_EQ(fakehost::CallCount(), 3u);  // every entry point reads the store again
}

TEST_F(IdentifyTest, ConcurrentCallersOnlyEverSeeAWholeConfiguration) {
    // Both configurations handle mkv and mp4, through different groups and players; a lookup
    // that mixed the indexes of the two would answer "not handled".
    const std::wstring configA = L"video\tmkv;mp4\tC:\\a\\mpv.exe";
    const std::wstring configB = L"clips\tmp4;mkv\tC:\\b\\mpv.exe\nextra\tavi\tC:\\b\\mpv.exe";
    fakehost::SetValue(L"mappings", configA);
    std::atomic<bool> stop{false};
    std::atomic<int> wrongAnswers{0};
    std::atomic<long> calls{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 3; ++t) {
        readers.emplace_back([&, t] {
            const wchar_t* path = t % 2 ? L"C:\\v\\a.mkv" : L"C:\\v\\b.MP4";
            while (!stop) {
                FileRecord record;
                if (!dll.IdentifyFileW(nullptr, path, record.bytes.data(), nullptr)) ++wrongAnswers;
                ++calls;
            }
        });
    }
    std::thread writer([&] {
        for (int i = 0; i < 60; ++i) {
            fakehost::SetValue(L"mappings", i % 2 ? configA : configB);
            InfoRecord info;
            info.Attach(256, 0, 0, 0, 0);
            if (!dll.IdentifyW(info.bytes.data())) ++wrongAnswers;
            const std::wstring exts = info.exts.Text();
            if (exts != L".mkv;.mp4" && exts != L".mp4;.mkv;.avi") ++wrongAnswers;
            Sleep(25);
        }
        stop = true;
    });
    writer.join();
    for (auto& reader : readers) reader.join();
    EXPECT_EQ(wrongAnswers.load(), 0);
    EXPECT_GT(calls.load(), 0);
}

}  // namespace
