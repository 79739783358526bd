// key_browser.h - walking an index in key order for keyed reads.
//
// 'P' starts at the first entry of the key's index (or of the installed
// range), 'S' continues after the entry handed out last. The position is
// kept as the full index key rather than an open cursor, so it survives
// between calls (each call has its own transaction) and stays right when
// records are written or deleted in between: the next read simply seeks to
// the first entry after it.
#ifndef JXENGINE_KEY_BROWSER_H_
#define JXENGINE_KEY_BROWSER_H_

#include <cstdint>

#include "dictionary.h"
#include "environment.h"
#include "key_range.h"
#include "session.h"

namespace jx {

// The record number of the next entry of `key`'s index within `range`
// (nullptr: the whole index), updating `state`; 0 when there is none left.
int32_t NextByKey(MDB_txn* txn, const Tables& tables, const Item& key, const KeyRange* range,
                  bool first, BrowseState* state);

}  // namespace jx

#endif  // JXENGINE_KEY_BROWSER_H_
