// jxtool - list the files and items of an engine database and dump records.
//
//   jxtool DIR files            every file with its item count and record size
//   jxtool DIR items FILE       the items of FILE: type, size, dimension, key
//   jxtool DIR dump FILE [KEY]  the records of FILE, by number or in KEY order
//   jxtool DIR check            the integrity check's report; exits 0 when the
//                               database is consistent, 1 when problems were
//                               found, 2 when it could not be opened or read
//
// It goes through the entry points only, so what it shows is what the SQL
// library sees. Texts are printed as stored (Windows-1252).
#include <stdio.h>

#include <cstring>
#include <string>
#include <vector>

#include "jxengine.h"

namespace {

struct ItemInfo {
  std::string name;
  int type, size, dimension, keyKind, composite;
};

template <typename T>
T Load(const unsigned char* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

bool Describe(int32_t h, const std::string& file, int* recordSize, std::vector<ItemInfo>* items) {
  unsigned char info[JX_INFO_BLOCK_SIZE] = {};
  std::strncpy(reinterpret_cast<char*>(info), file.c_str(), JX_NAME_MAX_LENGTH);
  XZK_GETINFOSJXD(h, JX_INFO_DESCRIBE_FILE, info);
  int count = Load<int16_t>(info + JX_INFO_ITEM_COUNT);
  if (count <= 0) return false;
  *recordSize = Load<int16_t>(info + JX_INFO_RECORD_SIZE);
  for (int i = 0; i < count; ++i) {
    int16_t index = int16_t(i);
    std::memcpy(info + JX_INFO_ITEM_INDEX, &index, 2);
    XZK_GETINFOSJXD(h, JX_INFO_DESCRIBE_ITEM, info);
    items->push_back({reinterpret_cast<char*>(info) + JX_INFO_ITEM_NAME,
                      Load<int16_t>(info + JX_INFO_ITEM_TYPE), Load<int16_t>(info + JX_INFO_ITEM_SIZE),
                      Load<int16_t>(info + JX_INFO_ITEM_DIMENSION), info[JX_INFO_KEY_KIND],
                      Load<int16_t>(info + JX_INFO_COMPOSITE)});
  }
  return true;
}

void PrintValue(const ItemInfo& item, const unsigned char* p) {
  switch (item.type) {
    case 1: printf("%d", Load<int8_t>(p)); return;
    case 2: printf("%u", Load<uint8_t>(p)); return;
    case 3: printf("%d", Load<int16_t>(p)); return;
    case 4: printf("%u", Load<uint16_t>(p)); return;
    case 5: printf("%d", Load<int32_t>(p)); return;
    case 6: printf("%u", Load<uint32_t>(p)); return;
    case 7: printf("%.7g", double(Load<float>(p))); return;
    case 9: printf("%.15g", Load<double>(p)); return;
    case 12: case 22: printf("memo#%u", Load<uint32_t>(p)); return;
    case 13: case 15: case 98: case 99:
      printf("'%.*s'", int(strnlen(reinterpret_cast<const char*>(p), size_t(item.size))), p);
      return;
    case 14: printf("'%.*s'", int(p[0] < item.size ? p[0] : item.size - 1), p + 1); return;
    default:
      for (int i = 0; i < item.size; ++i) printf("%02X", p[i]);
  }
}

int Dump(int32_t h, const std::string& file, const std::string& key) {
  int recordSize;
  std::vector<ItemInfo> items;
  if (!Describe(h, file, &recordSize, &items)) {
    fprintf(stderr, "unknown file %s\n", file.c_str());
    return 1;
  }
  unsigned char block[JX_RECORD_BLOCK_SIZE] = {};
  std::strncpy(reinterpret_cast<char*>(block) + JX_REC_KEY_NAME, key.c_str(), JX_NAME_MAX_LENGTH);
  for (int32_t n = 1;; ++n) {
    block[JX_REC_MODE] = key.empty() ? JX_MODE_BY_NUMBER : (n == 1 ? JX_MODE_FIRST_BY_KEY
                                                                    : JX_MODE_NEXT_BY_KEY);
    int16_t code = XZK_LIREENREG(h, file.c_str(), key.empty() ? n : 0, block);
    if (code != 0) {
      fprintf(stderr, "read error %d\n", code);
      return 1;
    }
    if (Load<int16_t>(block + JX_REC_END)) return 0;
    if (!Load<int16_t>(block + JX_REC_VALID)) continue;
    const unsigned char* data;
    std::memcpy(&data, block + JX_REC_DATA, sizeof data);
    printf("%d:", Load<int32_t>(block + JX_REC_NUMBER));
    int offset = 1;
    for (const ItemInfo& item : items) {
      if (item.composite) continue;
      int dimension = item.dimension > 1 ? item.dimension : 1;
      printf(" %s=", item.name.c_str());
      for (int e = 0; e < dimension; ++e, offset += item.size) {
        if (e) printf(",");
        PrintValue(item, data + offset);
      }
    }
    printf("\n");
  }
}

// The report goes out as the engine wrote it. It is cut at 1000 problem
// lines plus a count of the rest, so 1 MiB always holds it whole.
int CheckCommand(int32_t h) {
  std::vector<char> report(size_t(1) << 20);
  int32_t problems = XZK_CheckDatabase(h, report.data(), int32_t(report.size()));
  fputs(report.data(), stdout);
  if (problems < 0) {
    fprintf(stderr, "check failed: engine error %d\n", int(-problems));
    return 2;
  }
  return problems > 0 ? 1 : 0;
}

const char kUsage[] = "usage: jxtool DIR files | items FILE | dump FILE [KEY] | check\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    fputs(kUsage, stderr);
    return 2;
  }
  std::string command = argv[2];
  // The check only reads: it opens the database read-only.
  int32_t h = XZK_nInit(argv[1], command == "check" ? JX_INIT_READ_ONLY : 0);
  if (h <= 0) {
    fprintf(stderr, "no database in %s\n", argv[1]);
    return command == "check" ? 2 : 1;
  }
  int status = 0;
  if (command == "files") {
    char name[JX_NAME_FIELD_SIZE];
    for (int32_t i = 0; XZK_GetFileName(h, i, name) == 0; ++i) {
      int recordSize;
      std::vector<ItemInfo> items;
      if (Describe(h, name, &recordSize, &items))
        printf("%-30s %3zu items, %5d bytes\n", name, items.size(), recordSize);
    }
  } else if (command == "items" && argc > 3) {
    int recordSize;
    std::vector<ItemInfo> items;
    if (!Describe(h, argv[3], &recordSize, &items)) {
      fprintf(stderr, "unknown file %s\n", argv[3]);
      status = 1;
    }
    for (const ItemInfo& item : items)
      printf("%-30s type %3d size %5d dim %3d%s%s\n", item.name.c_str(), item.type, item.size,
             item.dimension, item.keyKind == 1 ? " unique key" : item.keyKind == 2 ? " key" : "",
             item.composite ? " (composite)" : "");
  } else if (command == "dump" && argc > 3) {
    status = Dump(h, argv[3], argc > 4 ? argv[4] : "");
  } else if (command == "check") {
    status = CheckCommand(h);
  } else {
    fputs(kUsage, stderr);
    status = 2;
  }
  XZK_Termine(h);
  return status;
}
