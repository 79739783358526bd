// Reading file descriptions from the engine's dictionary, and keeping them
// per engine handle under the dictionary stamp they were read with.
#include "storage/description_cache.h"

#include <cstring>
#include <new>

#include "platform.h"
#include "storage/block_field.h"
#include "storage/column.h"
#include "storage/engine.h"
#include "values/text_utils.h"

namespace zksql {
namespace {

template <class T>
T InfoGet(int offset) {
  return ReadField<T>(InfoBlock(), offset);
}

template <class T>
void InfoSet(int offset, T v) {
  WriteField<T>(InfoBlock(), offset, v);
}

// Handles whose descriptions are kept at once, and files kept per handle:
// beyond them a new handle takes the slots in turn, and further files of a
// handle are read every time, so the cache stays small whatever the host
// does.
constexpr int kKeptHandles = 8;
constexpr int kKeptFiles = 64;

struct HandleDescriptions {
  int32_t handle = 0;
  uint64_t stamp = 0;  // 0: the slot is free
  int count = 0;
  std::unique_ptr<DescribedFile> files[kKeptFiles];

  void Clear() {
    for (int i = 0; i < count; ++i) files[i].reset();
    count = 0;
  }
};

// Allocated on first use and never released: kept descriptions stay
// reachable until the process ends.
HandleDescriptions* g_kept = nullptr;
int g_nextVictim = 0;

HandleDescriptions* Slots() {
  if (g_kept == nullptr) g_kept = new (std::nothrow) HandleDescriptions[kKeptHandles];
  return g_kept;
}

HandleDescriptions* SlotOf(int32_t handle) {
  if (g_kept == nullptr) return nullptr;
  for (int i = 0; i < kKeptHandles; ++i) {
    if (g_kept[i].stamp != 0 && g_kept[i].handle == handle) return &g_kept[i];
  }
  return nullptr;
}

}  // namespace

DescriptionRead ReadDescription(const EngineEntryPoints* engine, int32_t handle, const char* name,
                                std::unique_ptr<DescribedFile>* out) {
  out->reset();
  unsigned char* block = InfoBlock();
  char* blockName = reinterpret_cast<char*>(block + JX_INFO_FILE_NAME);
  char* itemName = reinterpret_cast<char*>(block + JX_INFO_ITEM_NAME);
  memset(block, 0, JX_INFO_BLOCK_SIZE);
  (void)BoundedCopy(blockName, name, JX_NAME_FIELD_SIZE);  // fits: the caller checked
  InfoSet<int16_t>(JX_INFO_ITEM_COUNT, 0);
  bool complete = engine->getInfos(handle, JX_INFO_DESCRIBE_FILE, block) == JX_OK;
  blockName[JX_NAME_MAX_LENGTH] = '\0';
  UpperCase(blockName);
  int16_t itemCount = InfoGet<int16_t>(JX_INFO_ITEM_COUNT);
  int16_t recordSize = InfoGet<int16_t>(JX_INFO_RECORD_SIZE);
  if (itemCount <= 0 || recordSize <= 0) return DescriptionRead::kUnknownFile;

  std::unique_ptr<DescribedFile> file(new (std::nothrow) DescribedFile);
  if (file == nullptr) return DescriptionRead::kNoMemory;
  file->items.reset(new (std::nothrow) DescribedItem[itemCount]);
  if (file->items == nullptr) return DescriptionRead::kNoMemory;
  (void)BoundedCopy(file->requested, name, sizeof file->requested);   // fits: checked
  (void)BoundedCopy(file->name, blockName, sizeof file->name);        // fits: terminated above
  file->recordSize = static_cast<uint16_t>(recordSize);

  for (int16_t j = 0; j < itemCount; ++j) {
    (void)BoundedCopy(blockName, file->name, JX_NAME_FIELD_SIZE);  // fits: a file name
    InfoSet<int16_t>(JX_INFO_ITEM_INDEX, j);
    itemName[0] = '\0';
    if (engine->getInfos(handle, JX_INFO_DESCRIBE_ITEM, block) != JX_OK) complete = false;
    itemName[kDescribedNameSize - 1] = '\0';
    TrimRight(itemName);
    UpperCase(itemName);
    if (itemName[0] == '\0') {
      // The items after a nameless one are not described: the file is
      // taken as far as it goes, for this statement only.
      complete = false;
      break;
    }
    DescribedItem& item = file->items[j];
    (void)BoundedCopy(item.name, itemName, sizeof item.name);  // fits: terminated above
    ZkFormat(item.qualified, sizeof item.qualified, "%s.%s", file->name, item.name);
    item.type = static_cast<uint16_t>(InfoGet<int16_t>(JX_INFO_ITEM_TYPE));
    int32_t size = InfoGet<int16_t>(JX_INFO_ITEM_SIZE);
    int32_t dimension = InfoGet<int16_t>(JX_INFO_ITEM_DIMENSION);
    if (item.type == kTypeBinaryMemo || dimension < 2) dimension = 1;
    item.size = static_cast<uint16_t>(size < 0 ? 0 : size);
    item.dimension = dimension;
    item.keyKind = InfoGet<int16_t>(JX_INFO_COMPOSITE) != 0 ? kCompositeKey
                                                           : InfoGet<uint8_t>(JX_INFO_KEY_KIND);
    file->itemCount = static_cast<int16_t>(j + 1);
  }
  *out = std::move(file);
  return complete ? DescriptionRead::kComplete : DescriptionRead::kPartial;
}

uint64_t DictionaryStamp(const EngineEntryPoints* engine, int32_t handle) {
  uint64_t stamp = 0;
  if (engine == nullptr || engine->dictionaryStamp == nullptr ||
      engine->dictionaryStamp(handle, &stamp) != JX_OK) {
    return 0;
  }
  return stamp;
}

const DescribedFile* FindDescription(int32_t handle, uint64_t stamp, const char* name) {
  HandleDescriptions* slot = SlotOf(handle);
  if (slot == nullptr || name == nullptr) return nullptr;
  if (slot->stamp != stamp) {
    // The dictionary may have changed: nothing read under the old stamp
    // can be trusted.
    slot->Clear();
    slot->stamp = stamp;
    return nullptr;
  }
  for (int i = 0; i < slot->count; ++i) {
    if (strcmp(slot->files[i]->requested, name) == 0) return slot->files[i].get();
  }
  return nullptr;
}

const DescribedFile* KeepDescription(int32_t handle, uint64_t stamp,
                                     std::unique_ptr<DescribedFile>* file) {
  DescribedFile* given = file->get();
  if (given == nullptr || stamp == 0) return given;
  HandleDescriptions* slot = SlotOf(handle);
  if (slot == nullptr) {
    HandleDescriptions* slots = Slots();
    if (slots == nullptr) return given;
    for (int i = 0; i < kKeptHandles && slot == nullptr; ++i) {
      if (slots[i].stamp == 0) slot = &slots[i];
    }
    if (slot == nullptr) {
      slot = &slots[g_nextVictim];
      g_nextVictim = (g_nextVictim + 1) % kKeptHandles;
    }
    slot->Clear();
    slot->handle = handle;
    slot->stamp = stamp;
  } else if (slot->stamp != stamp) {
    slot->Clear();
    slot->stamp = stamp;
  }
  if (slot->count >= kKeptFiles) return given;
  slot->files[slot->count++] = std::move(*file);
  return given;
}

void ForgetDescriptions() {
  if (g_kept == nullptr) return;
  for (int i = 0; i < kKeptHandles; ++i) {
    g_kept[i].Clear();
    g_kept[i].stamp = 0;
    g_kept[i].handle = 0;
  }
}

}  // namespace zksql
