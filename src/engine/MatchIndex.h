#pragma once
// Finds the record that denotes the same file as another without comparing it
// with every record: same time stamp text, same size and same full path, the
// texts compared without regard to the case of A to Z. The index does not own
// the records; it is cleared before they are deleted.

#include "store/TransferHistory.h"

#include <cstddef>
#include <vector>

bool IsSameFile(const CTransferFile& a, const CTransferFile& b);
size_t HashFileIdentity(const CTransferFile& file);

class CMatchIndex {
public:
    // Indexes these records afresh; they stay owned by the history.
    void Build(const CTransferHistory::Entries& entries);
    // A record of the index that denotes the same file, or null.
    CTransferFile* Find(const CTransferFile& file) const;
    void Clear();

private:
    // Open addressing in one array, sized once for all records and at most
    // half full: a history of tens of thousands of records is indexed without
    // an allocation per record.
    struct Slot {
        size_t hash;
        CTransferFile* file;  // null: free
    };

    std::vector<Slot> m_slots;
};
