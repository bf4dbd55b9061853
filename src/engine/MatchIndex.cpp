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

void CMatchIndex::Remove(const CTransferFile* file) {
    auto range = m_map.equal_range(HashFileIdentity(*file));
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second == file) {
            m_map.erase(it);
            return;
        }
    }
}

CTransferFile* CMatchIndex::Find(const CTransferFile& file) const {
    auto range = m_map.equal_range(HashFileIdentity(file));
    for (auto it = range.first; it != range.second; ++it) {
        if (IsSameFile(*it->second, file)) return it->second;
    }
    return nullptr;
}
