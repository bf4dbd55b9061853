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

void CMatchIndex::Reserve(size_t count) {
    size_t capacity = 16;
    while (capacity < count * 2) capacity *= 2;
    if (capacity > m_slots.size()) Grow(capacity);
}

void CMatchIndex::Grow(size_t capacity) {
    std::vector<Slot> old;
    old.swap(m_slots);
    m_slots.assign(capacity, Slot{0, nullptr});
    m_count = 0;
    m_used = 0;
    for (const Slot& slot : old) {
        if (slot.file) Add(slot.file);
    }
}

void CMatchIndex::Add(CTransferFile* file) {
    if ((m_used + 1) * 2 > m_slots.size()) Grow(m_slots.empty() ? 16 : m_slots.size() * 2);
    const size_t hash = HashFileIdentity(*file);
    const size_t mask = m_slots.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        Slot& slot = m_slots[i];
        if (!slot.file) {
            if (slot.hash != kRemoved) ++m_used;
            slot = Slot{hash, file};
            ++m_count;
            return;
        }
    }
}

void CMatchIndex::Remove(const CTransferFile* file) {
    if (m_slots.empty()) return;
    const size_t hash = HashFileIdentity(*file);
    const size_t mask = m_slots.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        Slot& slot = m_slots[i];
        if (!slot.file && slot.hash != kRemoved) return;
        if (slot.file == file) {
            slot = Slot{kRemoved, nullptr};
            --m_count;
            return;
        }
    }
}

CTransferFile* CMatchIndex::Find(const CTransferFile& file) const {
    if (m_slots.empty()) return nullptr;
    const size_t hash = HashFileIdentity(file);
    const size_t mask = m_slots.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = m_slots[i];
        if (!slot.file) {
            if (slot.hash != kRemoved) return nullptr;
            continue;
        }
        if (slot.hash == hash && IsSameFile(*slot.file, file)) return slot.file;
    }
}

void CMatchIndex::Clear() {
    m_slots.clear();
    m_slots.shrink_to_fit();
    m_count = 0;
    m_used = 0;
}
