/// Fixed-length, blank-padded texts as the records hold them.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

namespace karvel {

/// A text of exactly N characters, padded with blanks on the right.
/// Comparison is blank-padded; positions are 1-based through at().
template <int N>
struct Text {
    static_assert(N > 0);
    char c[N];

    Text() { std::memset(c, ' ', N); }
    Text(std::string_view s) { assign(s); }  // NOLINT: implicit by design

    static constexpr int size() { return N; }

    void assign(std::string_view s) {
        const std::size_t n = std::min<std::size_t>(s.size(), N);
        if (n > 0) std::memcpy(c, s.data(), n);
        std::memset(c + n, ' ', N - n);
    }
    Text& operator=(std::string_view s) {
        assign(s);
        return *this;
    }
    void blank() { std::memset(c, ' ', N); }

    /// Character at 1-based position i.
    char& at(int i) { return c[i - 1]; }
    char at(int i) const { return c[i - 1]; }

    std::string_view view() const { return std::string_view(c, N); }
    /// The text without its trailing blanks.
    std::string_view trimmed() const {
        int n = N;
        while (n > 0 && c[n - 1] == ' ') --n;
        return std::string_view(c, static_cast<std::size_t>(n));
    }
    std::string str() const { return std::string(c, N); }
    bool is_blank() const { return trimmed().empty(); }
    char* data() { return c; }
    const char* data() const { return c; }

    friend bool operator==(const Text& a, std::string_view b) {
        const std::string_view av = a.trimmed();
        std::string_view bv = b;
        while (!bv.empty() && bv.back() == ' ') bv.remove_suffix(1);
        return av == bv;
    }
    friend bool operator==(const Text& a, const Text& b) { return a == b.view(); }
};

/// A mutable view of a fixed-length text owned elsewhere (a record field),
/// used where a routine takes a text of the caller's length.
struct TextRef {
    char* p;
    int len;
    template <int N>
    TextRef(Text<N>& t) : p(t.c), len(N) {}  // NOLINT: implicit by design
    TextRef(char* p_, int len_) : p(p_), len(len_) {}
    void assign(std::string_view s) const {
        const std::size_t n = std::min<std::size_t>(s.size(), static_cast<std::size_t>(len));
        if (n > 0) std::memcpy(p, s.data(), n);
        std::memset(p + n, ' ', static_cast<std::size_t>(len) - n);
    }
    std::string_view view() const { return std::string_view(p, static_cast<std::size_t>(len)); }
};

}  // namespace karvel
