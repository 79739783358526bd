// Catalogue reads go through the engine's own calls (XZK_GetFileName,
// XZK_GETINFOSJXD): a file's items one by one, and for a composite key its
// columns one by one, each call answering in a fixed information block.
#include "catalogue.h"

#include <cstring>

#include "engine_calls.h"
#include "jxengine.h"

namespace zkhost {
namespace {

// More columns than any key can hold (a key has at most 255 bytes).
constexpr int16_t kMaxComponents = 256;

}  // namespace

std::vector<std::string> FileNames(int32_t handle) {
  std::vector<std::string> names;
  const EngineCalls* engine = Engine(nullptr);
  if (engine == nullptr || handle <= 0) return names;
  char name[JX_NAME_FIELD_SIZE];
  for (int32_t i = 0; i < 100000; ++i) {
    memset(name, 0, sizeof name);
    if (engine->fileName(handle, i, name) != 0) break;
    name[JX_NAME_MAX_LENGTH] = '\0';
    names.push_back(name);
  }
  return names;
}

bool DescribeFile(int32_t handle, const std::string& name, FileInfo* file) {
  const EngineCalls* engine = Engine(nullptr);
  if (engine == nullptr || handle <= 0 || name.size() > JX_NAME_MAX_LENGTH) return false;
  unsigned char block[JX_INFO_BLOCK_SIZE];
  memset(block, 0, sizeof block);
  memcpy(block + JX_INFO_FILE_NAME, name.c_str(), name.size());
  if (engine->describe(handle, JX_INFO_DESCRIBE_FILE, block) != 0) return false;
  int16_t count = 0;
  memcpy(&count, block + JX_INFO_ITEM_COUNT, sizeof count);
  file->name = name;
  file->items.clear();
  for (int16_t i = 0; i < count; ++i) {
    memset(block, 0, sizeof block);
    memcpy(block + JX_INFO_FILE_NAME, name.c_str(), name.size());
    memcpy(block + JX_INFO_ITEM_INDEX, &i, sizeof i);
    if (engine->describe(handle, JX_INFO_DESCRIBE_ITEM, block) != 0) return false;
    ItemInfo item;
    int16_t value = 0;
    block[JX_INFO_ITEM_NAME + 64] = 0;
    item.name = reinterpret_cast<const char*>(block + JX_INFO_ITEM_NAME);
    memcpy(&value, block + JX_INFO_ITEM_TYPE, 2);
    item.type = value;
    memcpy(&value, block + JX_INFO_ITEM_SIZE, 2);
    item.size = value;
    memcpy(&value, block + JX_INFO_ITEM_DIMENSION, 2);
    item.dimension = value < 1 ? 1 : value;
    item.keyKind = block[JX_INFO_KEY_KIND];
    memcpy(&value, block + JX_INFO_COMPOSITE, 2);
    item.composite = value != 0;
    for (int16_t c = 0; item.composite && c < kMaxComponents; ++c) {
      memset(block, 0, sizeof block);
      memcpy(block + JX_INFO_FILE_NAME, name.c_str(), name.size());
      memcpy(block + JX_INFO_ITEM_INDEX, &i, sizeof i);
      memcpy(block + JX_INFO_COMPONENT, &c, sizeof c);
      if (engine->describe(handle, JX_INFO_DESCRIBE_COMPONENT, block) != 0) break;
      block[JX_INFO_ITEM_NAME + 64] = 0;
      item.components.push_back(reinterpret_cast<const char*>(block + JX_INFO_ITEM_NAME));
    }
    file->items.push_back(item);
  }
  return true;
}

}  // namespace zkhost
