#include "store/TransferFile.h"

CTransferFile::~CTransferFile() = default;
