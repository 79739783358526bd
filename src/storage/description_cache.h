// Descriptions of files as the engine's dictionary gives them, and the
// cache that keeps them from one statement to the next.
//
// Reading a file's description takes one engine call for the file and one
// per item, and every statement naming the file needs it: a host loading
// rows with one INSERT a row would read the same description for each row.
// The engine hands out a dictionary stamp (XZK_GetDictionaryStamp) that
// changes whenever the dictionary a handle sees may have changed (a file or
// an index created through this library or any other connection, a
// rollback) and is never handed out twice, so descriptions are kept per
// engine handle under the stamp they were read with and dropped as soon as
// that handle's stamp moves. With an engine that has no stamp nothing is
// kept: every statement reads the dictionary again. The library's own
// CREATE statements drop everything as well, and binding or releasing an
// engine library empties the cache, since another library's stamps mean
// nothing to this one.
//
// The cache lives in plain heap memory (never global blocks): it outlives
// the statements, and a kept description is still reachable at exit.
#ifndef ZKSQL_STORAGE_DESCRIPTION_CACHE_H_
#define ZKSQL_STORAGE_DESCRIPTION_CACHE_H_

#include <cstdint>
#include <memory>

#include "jxengine.h"

namespace zksql {

struct EngineEntryPoints;

// Room of an item name as the engine's information block carries it.
constexpr int kDescribedNameSize = 65;

struct DescribedItem {
  char name[kDescribedNameSize];  // trimmed, upper case, never empty
  // "FILE.ITEM", the name of the dictionary's qualified column.
  char qualified[JX_NAME_MAX_LENGTH + 1 + kDescribedNameSize];
  uint16_t type;
  uint16_t size;       // 0 for a negative size
  int32_t dimension;   // at least 1; 1 for a binary memo
  uint8_t keyKind;     // kCompositeKey for a composite key
};

struct DescribedFile {
  char requested[JX_NAME_FIELD_SIZE];  // the name the statement gave
  char name[JX_NAME_FIELD_SIZE];       // upper case
  uint16_t recordSize = 0;
  int16_t itemCount = 0;  // items described, up to the first nameless one
  std::unique_ptr<DescribedItem[]> items;
};

enum class DescriptionRead {
  kComplete,     // every call succeeded and every item was described
  kPartial,      // usable for this statement, never kept
  kUnknownFile,  // the engine does not know the file
  kNoMemory,
};

// Reads the description of `name` (at most JX_NAME_MAX_LENGTH characters)
// from the engine into *out, through the process-wide information block.
DescriptionRead ReadDescription(const EngineEntryPoints* engine, int32_t handle, const char* name,
                                std::unique_ptr<DescribedFile>* out);

// The stamp of the dictionary `handle` sees now, or 0 when the engine
// cannot give one (nothing is then to be looked up or kept).
uint64_t DictionaryStamp(const EngineEntryPoints* engine, int32_t handle);

// The kept description of `name` (the name exactly as read) for `handle`
// under `stamp`, or null. A stamp other than the one the handle's
// descriptions were kept under drops them all.
const DescribedFile* FindDescription(int32_t handle, uint64_t stamp, const char* name);

// Keeps *file (read under `stamp`) for `handle`, taking it out of *file,
// and returns the kept description; when it cannot be kept (no room, no
// memory) *file stays the caller's and its address is returned. A kept
// description stays valid until the next Keep, Find with another stamp or
// Forget.
const DescribedFile* KeepDescription(int32_t handle, uint64_t stamp,
                                     std::unique_ptr<DescribedFile>* file);

// Drops every kept description.
void ForgetDescriptions();

}  // namespace zksql

#endif  // ZKSQL_STORAGE_DESCRIPTION_CACHE_H_
