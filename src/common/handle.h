#pragma once
// The one owning wrapper for kernel handles: closes on every path, moves but never copies.
// Two policies, because Win32 reports failure with null for some calls (processes, jobs)
// and with INVALID_HANDLE_VALUE for others (files, pipes).
#include <windows.h>

#include <utility>

struct NullHandlePolicy {
    static HANDLE Invalid() { return nullptr; }
};
struct InvalidHandlePolicy {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
};

template <class Policy>
class BasicHandle {
public:
    BasicHandle() = default;
    explicit BasicHandle(HANDLE h) : h_(h) {}
    ~BasicHandle() { Close(); }
    BasicHandle(const BasicHandle&) = delete;
    BasicHandle& operator=(const BasicHandle&) = delete;
    BasicHandle(BasicHandle&& other) noexcept : h_(other.Release()) {}
    BasicHandle& operator=(BasicHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }

    HANDLE Get() const { return h_; }
    bool Valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
    explicit operator bool() const { return Valid(); }

    HANDLE Release() { return std::exchange(h_, Policy::Invalid()); }
    void Reset(HANDLE h = Policy::Invalid()) {
        if (Valid()) CloseHandle(h_);
        h_ = h;
    }
    void Close() { Reset(); }

private:
    HANDLE h_ = Policy::Invalid();
};

using UniqueHandle = BasicHandle<NullHandlePolicy>;   // process, thread, job, event
using UniqueFile = BasicHandle<InvalidHandlePolicy>;  // CreateFileW results
