// jxengine_bench - timings of the storage engine through its entry points.
//
// Appends 100,000 records of about 40 bytes in one host transaction, reads
// them all by number, then makes 1,000 keyed first-reads each under an
// equality filter, and prints each figure beside its target. The database
// lives in a temporary directory (or the one given as argument) that is
// removed afterwards.
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "jxengine.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void Set16(unsigned char* b, size_t off, int16_t v) { std::memcpy(b + off, &v, 2); }
void Set32(unsigned char* b, size_t off, int32_t v) { std::memcpy(b + off, &v, 4); }
void SetPtr(unsigned char* b, size_t off, const void* p) { std::memcpy(b + off, &p, sizeof p); }
int16_t Get16(const unsigned char* b, size_t off) {
  int16_t v;
  std::memcpy(&v, b + off, 2);
  return v;
}
int32_t Get32(const unsigned char* b, size_t off) {
  int32_t v;
  std::memcpy(&v, b + off, 4);
  return v;
}

bool AddColumn(int32_t h, unsigned char* fd, const char* name, char letter, int16_t size,
               int16_t key) {
  std::memset(fd + JX_FD_NAME, 0, 31);
  std::strcpy(reinterpret_cast<char*>(fd) + JX_FD_NAME, name);
  fd[JX_FD_TYPE] = static_cast<unsigned char>(letter);
  Set16(fd, JX_FD_SIZE, size);
  Set16(fd, JX_FD_UNIQUE, key);
  XZK_DECRITFICHIER(h, JX_DESCRIBE_ADD_COLUMN, fd);
  return Get16(fd, JX_FD_STATUS) <= 0;
}

}  // namespace

int main(int argc, char** argv) {
  char pattern[] = "/tmp/jxengine-bench-XXXXXX";
  std::string dir = argc > 1 ? argv[1] : mkdtemp(pattern);
  int32_t h = XZK_nInit(dir.c_str(), JX_INIT_CREATE);
  if (h <= 0) {
    fprintf(stderr, "cannot open %s\n", dir.c_str());
    return 1;
  }
  // BENCH: ID unique int key, VALUE real, NAME text of 30: 1 + 4 + 8 + 31 = 44 bytes.
  unsigned char fd[JX_FD_SIZE_BYTES] = {};
  std::strcpy(reinterpret_cast<char*>(fd), "BENCH");
  XZK_DECRITFICHIER(h, JX_DESCRIBE_BEGIN_FILE, fd);
  if (Get16(fd, JX_FD_STATUS) > 0 || !AddColumn(h, fd, "ID", 'L', 0, 1) ||
      !AddColumn(h, fd, "VALUE", 'D', 0, 0) || !AddColumn(h, fd, "NAME", 'T', 30, 0)) {
    fprintf(stderr, "%s\n", fd + JX_FD_MESSAGE);
    return 1;
  }
  XZK_DECRITFICHIER(h, JX_DESCRIBE_COMPLETE, fd);
  if (Get16(fd, JX_FD_STATUS) > 0) {
    fprintf(stderr, "%s\n", fd + JX_FD_MESSAGE);
    return 1;
  }
  const int32_t kRecords = 100000;
  const size_t kSize = 44;
  std::vector<unsigned char> image(kSize, 0);
  unsigned char block[JX_RECORD_BLOCK_SIZE] = {};

  Clock::time_point start = Clock::now();
  XZK_BeginTransaction(h);
  for (int32_t i = 1; i <= kRecords; ++i) {
    // Keys in scrambled order, as real data rarely arrives sorted.
    int32_t id = int32_t((uint32_t(i) * 2654435761u) >> 1);
    double value = i * 0.5;
    Set32(image.data(), 1, id);
    std::memcpy(&image[5], &value, 8);
    snprintf(reinterpret_cast<char*>(&image[13]), 31, "record number %d", i);
    SetPtr(block, JX_REC_DATA, image.data());
    Set16(block, JX_REC_LENGTH, int16_t(kSize));
    if (XZK_ECRIREENREG(h, "BENCH", 0, block) != 0) {
      fprintf(stderr, "append %d failed\n", i);
      return 1;
    }
  }
  XZK_CommitTransaction(h);
  double append = Seconds(start);

  start = Clock::now();
  int32_t seen = 0;
  block[JX_REC_MODE] = JX_MODE_BY_NUMBER;
  for (int32_t n = 1;; ++n) {
    XZK_LIREENREG(h, "BENCH", n, block);
    if (Get16(block, JX_REC_END)) break;
    if (Get16(block, JX_REC_VALID)) ++seen;
  }
  double readAll = Seconds(start);

  const int kLookups = 1000;
  int found = 0;
  start = Clock::now();
  for (int i = 0; i < kLookups; ++i) {
    int32_t n = 1 + int32_t((uint64_t(i) * 7919) % kRecords);
    int32_t id = int32_t((uint32_t(n) * 2654435761u) >> 1);
    XZK_FILTRE(h, "BENCH", "ID", &id, &id, 4, JX_FILTER_INT32);
    block[JX_REC_MODE] = JX_MODE_FIRST_BY_KEY;
    std::strcpy(reinterpret_cast<char*>(block) + JX_REC_KEY_NAME, "ID");
    XZK_LIREENREG(h, "BENCH", 0, block);
    if (!Get16(block, JX_REC_END) && Get32(block, JX_REC_NUMBER) == n) ++found;
  }
  double lookups = Seconds(start);
  XZK_DESACTIVEFILTRE(h, "BENCH");
  XZK_Termine(h);

  printf("append %d records of %zu bytes in one transaction: %8.3f s   (target < 0.5 s)\n",
         kRecords, kSize, append);
  printf("read %d records by number:                     %8.3f s   (target < 0.1 s), %.2f M/s\n",
         seen, readAll, seen / readAll / 1e6);
  printf("%d keyed first-reads under an equality filter:  %8.2f us each (target < 20 us), %d found\n",
         kLookups, lookups * 1e6 / kLookups, found);

  if (argc <= 1)
    nftw(dir.c_str(),
         [](const char* p, const struct stat*, int, struct FTW*) { return remove(p); }, 8,
         FTW_DEPTH | FTW_PHYS);
  return (seen == kRecords && found == kLookups) ? 0 : 1;
}
