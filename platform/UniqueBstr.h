#pragma once
// Owns one counted wide string and frees it when it goes.
#include <oleauto.h>

#include <utility>

namespace orvane {

class UniqueBstr {
public:
    UniqueBstr() noexcept = default;
    explicit UniqueBstr(BSTR adopted) noexcept : text_(adopted) {}
    UniqueBstr(const UniqueBstr&) = delete;
    UniqueBstr& operator=(const UniqueBstr&) = delete;
    UniqueBstr(UniqueBstr&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}
    UniqueBstr& operator=(UniqueBstr&& other) noexcept
    {
        if (this != &other) {
            Reset(std::exchange(other.text_, nullptr));
        }
        return *this;
    }
    ~UniqueBstr() { Reset(); }

    // A copy with the same length, embedded NULs included. A null source gives a null copy, which
    // is not a failure; `ok` is false only when the copy could not be allocated.
    static UniqueBstr Copy(BSTR source, bool& ok) noexcept
    {
        ok = true;
        if (source == nullptr) {
            return {};
        }
        UniqueBstr copy(SysAllocStringLen(source, SysStringLen(source)));
        ok = copy.Get() != nullptr;
        return copy;
    }

    // Converts 8-bit text from the calling thread's ANSI code page. Null when the conversion or the
    // allocation fails.
    static UniqueBstr FromAnsi(const char* text) noexcept
    {
        if (text == nullptr) {
            text = "";
        }
        const int length = MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, nullptr, 0);
        if (length <= 0) {
            return {};
        }
        // The count includes the terminator, which SysAllocStringLen adds by itself.
        UniqueBstr result(SysAllocStringLen(nullptr, static_cast<UINT>(length - 1)));
        if (result.Get() == nullptr ||
            MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, result.Get(), length) != length) {
            return {};
        }
        return result;
    }

    BSTR Get() const noexcept { return text_; }
    BSTR Detach() noexcept { return std::exchange(text_, nullptr); }
    BSTR* Put() noexcept
    {
        Reset();
        return &text_;
    }
    void Reset(BSTR text = nullptr) noexcept
    {
        if (text_ != nullptr) {
            SysFreeString(text_);
        }
        text_ = text;
    }

private:
    BSTR text_ = nullptr;
};

}  // namespace orvane
