#pragma once

// Windows only: the boundary where the program's UTF-8 meets the system's UTF-16, and the
// owner of a system handle.

#include <windows.h>

#include <random>
#include <string>
#include <string_view>

namespace ondivo::platform {

// UTF-8 to UTF-16 for the system's wide calls; bytes that are not UTF-8 become U+FFFD, so a
// bad name is never silently cut short.
inline std::wstring Largo(std::string_view utf8) {
    if (utf8.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                      nullptr, 0);
    std::wstring largo(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), largo.data(), n);
    return largo;
}

// UTF-16 from the system back to UTF-8.
inline std::string Stretto(std::wstring_view largo) {
    if (largo.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, largo.data(), static_cast<int>(largo.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string stretto(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, largo.data(), static_cast<int>(largo.size()), stretto.data(),
                        n, nullptr, nullptr);
    return stretto;
}

// Six random letters and digits for a new file's or folder's name: with CREATE_NEW or
// CreateDirectory a name already taken is simply tried again.
inline std::wstring SuffissoCasuale() {
    static constexpr wchar_t kCifre[] = L"abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 generatore{std::random_device{}()};
    std::uniform_int_distribution<int> scelta(0, 35);
    std::wstring s(6, L'a');
    for (auto& c : s)
        c = kCifre[scelta(generatore)];
    return s;
}

// Owns one handle and closes it on scope exit. Both "no handle" values of the system (null
// and INVALID_HANDLE_VALUE) count as none.
class UniqueHandle {
public:
    explicit UniqueHandle(HANDLE h = nullptr) : m_h(h) {}
    ~UniqueHandle() { chiudi(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& altro) noexcept : m_h(altro.rilascia()) {}
    UniqueHandle& operator=(UniqueHandle&& altro) noexcept {
        if (this != &altro) {
            chiudi();
            m_h = altro.rilascia();
        }
        return *this;
    }

    HANDLE get() const { return m_h; }
    bool valido() const { return m_h != nullptr && m_h != INVALID_HANDLE_VALUE; }
    HANDLE rilascia() {
        HANDLE h = m_h;
        m_h = nullptr;
        return h;
    }
    // Closes now; false when the system reports a failure.
    bool chiudi() {
        const bool ok = !valido() || CloseHandle(m_h) != 0;
        m_h = nullptr;
        return ok;
    }

private:
    HANDLE m_h;
};

} // namespace ondivo::platform
