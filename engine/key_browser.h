// key_browser.h - walking an index in key order for keyed reads.
//
// 'P' starts at the first entry of the key's index (or of the installed
// range), 'S' continues after the entry handed out last. The position is
// kept as the full index key, so it survives between calls and
// transactions and stays right when records are written or deleted in
// between: the next read seeks to the first entry after it, or, when the
// handle's kept cursor still stands on it in the same transaction, simply
// steps to the next entry.
#ifndef JXENGINE_KEY_BROWSER_H_
#define JXENGINE_KEY_BROWSER_H_

#include <cstdint>

#include "dictionary.h"
#include "environment.h"
#include "key_range.h"
#include "lmdb_cursor.h"
#include "session.h"

namespace jx {

// The record number of the next entry of `key`'s index within `range`
// (nullptr: the whole index), updating `state`; 0 when there is none left.
// `indexes` is the handle's kept cursor on the index table.
int32_t NextByKey(KeptCursor& indexes, const Item& key, const KeyRange* range, bool first,
                  BrowseState* state);

}  // namespace jx

#endif  // JXENGINE_KEY_BROWSER_H_
