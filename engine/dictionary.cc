// dictionary.cc - layout, lookup and the stored form of file descriptions.
//
// The stored form is a small versioned binary record (little-endian): it only
// has to round-trip through this code, and a version byte lets a later
// engine read descriptions an older one wrote.
#include "dictionary.h"

#include <cstring>

#include "names.h"

namespace jx {
namespace {

constexpr uint8_t kFormatVersion = 1;

void PutU16(std::string& out, uint16_t v) { out.append(reinterpret_cast<const char*>(&v), 2); }
void PutU32(std::string& out, uint32_t v) { out.append(reinterpret_cast<const char*>(&v), 4); }

// Bounds-checked reader: a damaged entry yields false, never a wild read.
class Reader {
 public:
  Reader(const void* data, size_t size) : p_(static_cast<const char*>(data)), left_(size) {}
  bool U8(uint8_t* v) { return Take(v, 1); }
  bool U16(uint16_t* v) { return Take(v, 2); }
  bool U32(uint32_t* v) { return Take(v, 4); }
  bool Text(std::string* v) {
    uint8_t n;
    if (!U8(&n) || n > left_) return false;
    v->assign(p_, n);
    p_ += n;
    left_ -= n;
    return true;
  }

 private:
  bool Take(void* v, size_t n) {
    if (left_ < n) return false;
    std::memcpy(v, p_, n);
    p_ += n;
    left_ -= n;
    return true;
  }
  const char* p_;
  size_t left_;
};

}  // namespace

void FileDef::Layout() {
  uint32_t offset = 1;
  for (Item& item : items) {
    item.offset = offset;
    offset += item.Bytes();
  }
  recordSize = offset;
}

int FileDef::FindItemIndex(const std::string& itemName) const {
  std::string upper = UpperName(TrimName(itemName));
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i].name == upper) return int(i);
  return -1;
}

const Item* FileDef::FindItem(const std::string& itemName) const {
  int i = FindItemIndex(itemName);
  return i < 0 ? nullptr : &items[size_t(i)];
}

const Item* FileDef::MemoItem(int ordinal) const {
  int seen = 0;
  for (const Item& item : items)
    if (item.IsMemo() && ++seen == ordinal) return &item;
  return nullptr;
}

bool FileDef::HasKeys() const {
  for (const Item& item : items)
    if (item.keyKind != kNotKey) return true;
  return false;
}

std::string FileDef::Serialize() const {
  std::string out;
  out.push_back(char(kFormatVersion));
  PutU32(out, id);
  PutU16(out, uint16_t(items.size()));
  for (const Item& item : items) {
    out.push_back(char(item.name.size()));
    out += item.name;
    PutU16(out, item.type);
    PutU16(out, item.size);
    PutU16(out, item.dimension);
    out.push_back(char(item.keyKind));
    out.push_back(char(item.composite ? 1 : 0));
    PutU32(out, item.indexId);
    PutU16(out, uint16_t(item.components.size()));
    for (uint16_t c : item.components) PutU16(out, c);
  }
  return out;
}

bool FileDef::Deserialize(const std::string& fileName, const void* data, size_t size,
                          FileDef* out) {
  Reader r(data, size);
  uint8_t version;
  uint16_t count;
  FileDef file;
  file.name = fileName;
  if (!r.U8(&version) || version != kFormatVersion || !r.U32(&file.id) || !r.U16(&count))
    return false;
  for (uint16_t i = 0; i < count; ++i) {
    Item item;
    uint8_t composite;
    uint16_t components;
    if (!r.Text(&item.name) || !r.U16(&item.type) || !r.U16(&item.size) ||
        !r.U16(&item.dimension) || !r.U8(&item.keyKind) || !r.U8(&composite) ||
        !r.U32(&item.indexId) || !r.U16(&components))
      return false;
    item.composite = composite != 0;
    for (uint16_t c = 0; c < components; ++c) {
      uint16_t index;
      if (!r.U16(&index) || index >= count) return false;
      item.components.push_back(index);
    }
    if (item.dimension == 0) item.dimension = 1;
    file.items.push_back(std::move(item));
  }
  file.Layout();
  *out = std::move(file);
  return true;
}

const FileDef* Dictionary::Find(const std::string& name) const {
  auto it = files_.find(UpperName(TrimName(name)));
  return it == files_.end() ? nullptr : &it->second;
}

const FileDef* Dictionary::FindById(uint32_t id) const {
  for (const auto& entry : files_)
    if (entry.second.id == id) return &entry.second;
  return nullptr;
}

void Dictionary::Put(FileDef file) {
  std::string name = file.name;
  files_[name] = std::move(file);
}

}  // namespace jx
