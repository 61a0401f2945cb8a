// How long the scan of the host's alias file takes per MiB of text, on the first entry point's
// thread: a file of real aliases, and one of alias starts without folders, at three sizes each, so
// that a scan that grows faster than the text shows as a rising figure per MiB.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "aliases/alias_internal.h"
#include "bench_timing.h"
#include "test_support.h"

namespace {

constexpr int kRuns = 5;

// Text of the given size in UTF-16 units (one per byte of an ASCII file), made of the piece repeated.
std::wstring Repeated(const std::wstring& piece, size_t units) {
    std::wstring text;
    text.reserve(units + piece.size());
    while (text.size() < units) text += piece;
    text.resize(units);
    return text;
}

// Each run scans into a table that already holds the text's aliases, so that no run pays for the
// log line of an alias's first definition.
double MedianScanMs(const std::wstring& text) {
    AliasTable known;
    ParseAliasText(text, known);
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        AliasTable table = known;
        const double start = NowMs();
        ParseAliasText(text, table);
        times.push_back(NowMs() - start);
    }
    return Median(times);
}

}  // namespace

int main() {
    testsupport::UsePrivateTempFolder();  // the first definition of each alias is logged
    std::wstring aliases;
    for (int i = 0; i < 64; ++i)
        aliases += L"  <path label=\"alias" + std::to_wstring(i) +
                   L"\" type=\"user\">\r\n    <pathstring>D:\\Media\\Folder</pathstring>\r\n  </path>\r\n";
    const struct {
        const char* name;
        std::wstring piece;
    } shapes[] = {{"aliases with folders", aliases}, {"alias starts without folders", L"<path label=\"\""}};
    for (const auto& shape : shapes) {
        for (const size_t kib : {256, 512, 1024}) {
            const double ms = MedianScanMs(Repeated(shape.piece, kib * 1024));
            std::printf("alias scan, %-29s %5zu KiB: %9.2f ms  (%8.2f ms per MiB)\n", shape.name, kib, ms,
                        ms * 1024.0 / static_cast<double>(kib));
        }
    }
    return 0;
}
