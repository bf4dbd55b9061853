#include "engine/MatchIndex.h"

namespace {

inline wchar_t FoldAsciiCase(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + (L'a' - L'A')) : c; }

bool EqualFoldingAsciiCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && FoldAsciiCase(a[i]) != FoldAsciiCase(b[i])) return false;
    }
    return true;
}

// FNV-1a over 64 bits; cut to size_t on 32-bit builds.
constexpr unsigned long long kFnvOffset = 14695981039346656037ull;
constexpr unsigned long long kFnvPrime = 1099511628211ull;

inline unsigned long long MixText(unsigned long long h, const std::wstring& text) {
    for (wchar_t c : text) {
        h ^= static_cast<unsigned long long>(FoldAsciiCase(c));
        h *= kFnvPrime;
    }
    return h;
}

} // namespace

bool IsSameFile(const CTransferFile& a, const CTransferFile& b) {
    return a.GetFileSize() == b.GetFileSize() && EqualFoldingAsciiCase(a.GetTimeStamp(), b.GetTimeStamp()) &&
           EqualFoldingAsciiCase(a.Path(), b.Path());
}

size_t HashFileIdentity(const CTransferFile& file) {
    unsigned long long h = MixText(kFnvOffset, file.GetTimeStamp());
    h ^= file.GetFileSize();
    h *= kFnvPrime;
    h = MixText(h, file.Path());
    return static_cast<size_t>(h ^ (h >> 32));
}

void CMatchIndex::Build(const CTransferHistory::Entries& entries) {
    size_t capacity = 16;
    while (capacity < entries.size() * 2) capacity *= 2;
    m_slots.assign(capacity, Slot{0, nullptr});
    const size_t mask = capacity - 1;
    for (const auto& entry : entries) {
        const size_t hash = HashFileIdentity(*entry.second);
        size_t i = hash & mask;
        while (m_slots[i].file) i = (i + 1) & mask;
        m_slots[i] = Slot{hash, entry.second};
    }
}

CTransferFile* CMatchIndex::Find(const CTransferFile& file) const {
    if (m_slots.empty()) return nullptr;
    const size_t hash = HashFileIdentity(file);
    const size_t mask = m_slots.size() - 1;
    // A free slot ends the probe; there is always one, as the table is at most half full.
    for (size_t i = hash & mask; m_slots[i].file; i = (i + 1) & mask) {
        if (m_slots[i].hash == hash && IsSameFile(*m_slots[i].file, file)) return m_slots[i].file;
    }
    return nullptr;
}

void CMatchIndex::Clear() {
    m_slots.clear();
    m_slots.shrink_to_fit();
}
