// dictionary.h - the data dictionary: files, their items and keys.
//
// A file is an ordered list of items laid out one after the other in the
// record image (byte 0 reserved). Key items carry the number of the LMDB
// index that orders the file's records by them; a composite key item holds
// no bytes and names the items whose values it joins. The dictionary is
// stored in the database (one catalogue entry per file) and cached by each
// handle, which reloads it whenever the database's dictionary version moved.
#ifndef JXENGINE_DICTIONARY_H_
#define JXENGINE_DICTIONARY_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace jx {

enum KeyKind : uint8_t { kNotKey = 0, kUniqueKey = 1, kDuplicateKey = 2 };

// Storage type codes of the items that hold a memo reference.
constexpr uint16_t kTextMemo = 12;
constexpr uint16_t kBinaryMemo = 22;
constexpr size_t kMaxRecordSize = 32767;

struct Item {
  std::string name;       // upper case, at most JX_NAME_MAX_LENGTH characters
  uint16_t type = 0;      // storage type code
  uint16_t size = 0;      // bytes per element; 0 for a composite key
  uint16_t dimension = 1; // number of elements, >= 1
  uint8_t keyKind = kNotKey;
  bool composite = false;
  std::vector<uint16_t> components;  // item indexes joined by a composite key
  uint32_t indexId = 0;   // LMDB index of a key item; 0 for plain items
  uint32_t offset = 0;    // byte offset in the record (computed, not stored)

  bool IsMemo() const { return type == kTextMemo || type == kBinaryMemo; }
  uint32_t Bytes() const { return uint32_t(size) * dimension; }
};

struct FileDef {
  std::string name;  // upper case
  uint32_t id = 0;   // prefix of its records in the record table
  std::vector<Item> items;
  uint32_t recordSize = 1;

  // Recomputes offsets and the record size after items changed.
  void Layout();
  // The item named `name` (any case), or nullptr.
  const Item* FindItem(const std::string& name) const;
  int FindItemIndex(const std::string& name) const;
  // The memo item of ordinal `ordinal` (from 1, in item order), or nullptr.
  const Item* MemoItem(int ordinal) const;
  bool HasKeys() const;

  std::string Serialize() const;
  static bool Deserialize(const std::string& name, const void* data, size_t size, FileDef* out);
};

// A handle's cached copy of the whole dictionary.
class Dictionary {
 public:
  const FileDef* Find(const std::string& name) const;
  const FileDef* FindById(uint32_t id) const;
  void Put(FileDef file);
  void Clear() { files_.clear(); }
  // File names in name order (the catalogue order).
  const std::map<std::string, FileDef>& Files() const { return files_; }

 private:
  std::map<std::string, FileDef> files_;
};

}  // namespace jx

#endif  // JXENGINE_DICTIONARY_H_
