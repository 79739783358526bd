// Compile-time checks of the 32-bit Windows layouts: the blocks exchanged
// with the engine keep their byte offsets whatever the pointer width, and
// the host records are the ones a 32-bit host declares.
#include <stddef.h>

#include "jxengine.h"
#include "zksql.h"

static_assert(sizeof(void*) == 4, "the Windows build is 32-bit");

// Pointer fields of the RecordBlock hold a whole pointer before the next
// field (and do on 64-bit too).
static_assert(JX_REC_MEMO_DATA + 8 <= JX_REC_DATA, "memo data pointer overlaps");
static_assert(JX_REC_DATA + 8 <= JX_REC_STATUS, "record data pointer overlaps");
static_assert(JX_REC_STATUS + 2 <= JX_RECORD_BLOCK_SIZE, "record block too small");

// Host records: int16, uint16, int32, then a 4-byte pointer.
static_assert(offsetof(ZKSQLResultInfo, rowCount) == 4, "ZKSQLResultInfo layout");
static_assert(offsetof(ZKSQLResultInfo, columnText) == 8, "ZKSQLResultInfo layout");
static_assert(sizeof(ZKSQLResultInfo) == 12, "ZKSQLResultInfo layout");
static_assert(offsetof(ZKSQLMemoTable, blocks) == 4, "ZKSQLMemoTable layout");
