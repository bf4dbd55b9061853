#pragma once
// Finds the record that denotes the same file as another without comparing it
// with every record: same time stamp text, same size and same full path, the
// texts compared without regard to the case of A to Z. The index does not own
// the records; its owner removes a record before deleting it.

#include "store/TransferFile.h"

#include <cstddef>
#include <vector>

bool IsSameFile(const CTransferFile& a, const CTransferFile& b);
size_t HashFileIdentity(const CTransferFile& file);

class CMatchIndex {
public:
    void Add(CTransferFile* file);
    void Remove(const CTransferFile* file);
    // A record of the index that denotes the same file, or null.
    CTransferFile* Find(const CTransferFile& file) const;
    void Clear();
    size_t Size() const { return m_count; }
    void Reserve(size_t count);

private:
    // Open addressing in one array: a history of tens of thousands of
    // records is indexed without an allocation per record.
    struct Slot {
        size_t hash;
        CTransferFile* file;  // null: free, or removed when hash is kRemoved
    };
    static constexpr size_t kRemoved = 1;
    void Grow(size_t capacity);

    std::vector<Slot> m_slots;
    size_t m_count = 0;
    size_t m_used = 0;  // records and removed slots
};
