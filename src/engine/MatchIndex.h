#pragma once
// Finds the record that denotes the same file as another without comparing it
// with every record: same time stamp text, same size and same full path, the
// texts compared without regard to the case of A to Z. The index does not own
// the records; its owner removes a record before deleting it.

#include "store/TransferFile.h"

#include <cstddef>
#include <unordered_map>

bool IsSameFile(const CTransferFile& a, const CTransferFile& b);
size_t HashFileIdentity(const CTransferFile& file);

class CMatchIndex {
public:
    void Add(CTransferFile* file) { m_map.emplace(HashFileIdentity(*file), file); }
    void Remove(const CTransferFile* file);
    // A record of the index that denotes the same file, or null.
    CTransferFile* Find(const CTransferFile& file) const;
    void Clear() { m_map.clear(); }
    size_t Size() const { return m_map.size(); }
    void Reserve(size_t count) { m_map.reserve(count); }

private:
    std::unordered_multimap<size_t, CTransferFile*> m_map;
};
