// engine_fixture.h - a scratch database and block helpers for engine tests.
//
// Each test gets its own temporary directory (removed afterwards) and talks
// to the engine only through the XZK_ entry points, filling the InfoBlock,
// RecordBlock and FileDescription at their documented offsets.
#ifndef TESTS_ENGINE_ENGINE_FIXTURE_H_
#define TESTS_ENGINE_ENGINE_FIXTURE_H_

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "../scratch_folder.h"
#include "jxengine.h"

namespace jxtest {

inline int16_t I16(const void* b, size_t off) {
  int16_t v;
  std::memcpy(&v, static_cast<const char*>(b) + off, 2);
  return v;
}
inline int32_t I32(const void* b, size_t off) {
  int32_t v;
  std::memcpy(&v, static_cast<const char*>(b) + off, 4);
  return v;
}
inline void SetI16(void* b, size_t off, int16_t v) {
  std::memcpy(static_cast<char*>(b) + off, &v, 2);
}
inline void SetI32(void* b, size_t off, int32_t v) {
  std::memcpy(static_cast<char*>(b) + off, &v, 4);
}
inline void SetPtr(void* b, size_t off, const void* p) {
  std::memcpy(static_cast<char*>(b) + off, &p, sizeof p);
}
inline void* Ptr(const void* b, size_t off) {
  void* p;
  std::memcpy(&p, static_cast<const char*>(b) + off, sizeof p);
  return p;
}

// Engine settings are read from the environment when a database opens.
inline void SetEnv(const char* name, const char* value) {
#ifdef _WIN32
  _putenv_s(name, value);
#else
  setenv(name, value, 1);
#endif
}
inline void UnsetEnv(const char* name) {
#ifdef _WIN32
  _putenv_s(name, "");  // an empty value removes the variable there
#else
  unsetenv(name);
#endif
}

// A scratch folder of its own, removed with everything in it.
class TempDir {
 public:
  TempDir() : path_(zksql_testing::MakeScratchFolder("jxengine-test")) {}
  ~TempDir() { zksql_testing::RemoveScratchFolder(path_); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string Sub(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

struct Column {
  std::string name;
  char letter;
  int16_t size = 0;
  int16_t key = 0;  // 1 unique, 2 duplicates
  int16_t dimension = 0;
};

struct ReadResult {
  int16_t code, end, valid, error;
  int32_t number;
  std::vector<unsigned char> bytes;
};

// One handle on a database, with the blocks the SQL library would keep.
class Db {
 public:
  explicit Db(const std::string& dir, int32_t flags = JX_INIT_CREATE) {
    handle = XZK_nInit(dir.c_str(), flags);
  }
  ~Db() {
    if (handle > 0) XZK_Termine(handle);
  }
  Db(const Db&) = delete;
  Db& operator=(const Db&) = delete;

  // CREATE TABLE through commands 0, 1..., 3; returns the failing status
  // (0 when created) and leaves the message in `message`.
  int16_t MakeFile(const std::string& file, const std::vector<Column>& columns) {
    unsigned char fd[JX_FD_SIZE_BYTES] = {};
    std::strncpy(reinterpret_cast<char*>(fd) + JX_FD_TABLE, file.c_str(), JX_NAME_FIELD_SIZE);
    std::memcpy(fd + JX_FD_SEPARATOR, "__", 2);
    XZK_DECRITFICHIER(handle, JX_DESCRIBE_BEGIN_FILE, fd);
    if (I16(fd, JX_FD_STATUS) > 0) return Done(fd);
    for (const Column& c : columns) {
      std::memset(fd + JX_FD_NAME, 0, JX_NAME_FIELD_SIZE);
      std::strncpy(reinterpret_cast<char*>(fd) + JX_FD_NAME, c.name.c_str(), JX_NAME_FIELD_SIZE);
      fd[JX_FD_TYPE] = static_cast<unsigned char>(c.letter);
      SetI16(fd, JX_FD_SIZE, c.size);
      SetI16(fd, JX_FD_UNIQUE, c.key);
      SetI16(fd, JX_FD_DIMENSION, c.dimension);
      XZK_DECRITFICHIER(handle, JX_DESCRIBE_ADD_COLUMN, fd);
      if (I16(fd, JX_FD_STATUS) > 0) return Done(fd);
    }
    XZK_DECRITFICHIER(handle, JX_DESCRIBE_COMPLETE, fd);
    return Done(fd);
  }

  int16_t CreateIndex(const std::string& file, const std::string& index, const std::string& columns,
                      bool unique) {
    unsigned char fd[JX_FD_SIZE_BYTES] = {};
    std::strncpy(reinterpret_cast<char*>(fd) + JX_FD_TABLE, file.c_str(), JX_NAME_FIELD_SIZE);
    std::strncpy(reinterpret_cast<char*>(fd) + JX_FD_NAME, index.c_str(), JX_NAME_FIELD_SIZE);
    std::strncpy(reinterpret_cast<char*>(fd) + JX_FD_COLUMNS, columns.c_str(), 700);
    SetI16(fd, JX_FD_UNIQUE, unique ? 1 : 2);
    XZK_DECRITFICHIER(handle, JX_DESCRIBE_INDEX, fd);
    if (I16(fd, JX_FD_STATUS) > 0) return Done(fd);
    XZK_DECRITFICHIER(handle, JX_DESCRIBE_COMPLETE, fd);
    return Done(fd);
  }

  // Writes `image` as record n (0 appends); returns the call's result.
  int16_t Write(const std::string& file, int32_t n, const std::vector<unsigned char>& image) {
    std::memset(rec, 0, sizeof rec);
    SetPtr(rec, JX_REC_DATA, image.data());
    SetI16(rec, JX_REC_LENGTH, int16_t(image.size()));
    return XZK_ECRIREENREG(handle, file.c_str(), n, rec);
  }
  int16_t Delete(const std::string& file) {
    std::memset(rec, 0, sizeof rec);
    return XZK_ECRIREENREG(handle, file.c_str(), JX_WRITE_DELETE_LAST_READ, rec);
  }
  int32_t Number() const { return I32(rec, JX_REC_NUMBER); }
  int16_t Duplicate() const { return I16(rec, JX_REC_DUPLICATE); }
  int16_t Error() const { return I16(rec, JX_REC_ERROR); }
  int16_t Status() const { return I16(rec, JX_REC_STATUS); }

  ReadResult Read(const std::string& file, char mode, int32_t n, const std::string& key = "") {
    std::memset(rec, 0, sizeof rec);
    rec[JX_REC_MODE] = static_cast<unsigned char>(mode);
    std::strncpy(reinterpret_cast<char*>(rec) + JX_REC_KEY_NAME, key.c_str(), JX_NAME_MAX_LENGTH);
    ReadResult r;
    r.code = XZK_LIREENREG(handle, file.c_str(), n, rec);
    r.end = I16(rec, JX_REC_END);
    r.valid = I16(rec, JX_REC_VALID);
    r.error = I16(rec, JX_REC_ERROR);
    r.number = I32(rec, JX_REC_NUMBER);
    const unsigned char* data = static_cast<const unsigned char*>(Ptr(rec, JX_REC_DATA));
    if (data && r.end == 0 && (mode != 'L' || r.valid))
      r.bytes.assign(data, data + I16(rec, JX_REC_LENGTH));
    return r;
  }

  // Record numbers of a whole keyed browse ('P' then 'S' until the end).
  std::vector<int32_t> Browse(const std::string& file, const std::string& key) {
    std::vector<int32_t> numbers;
    ReadResult r = Read(file, 'P', 0, key);
    while (r.code == 0 && r.end == 0) {
      numbers.push_back(r.number);
      r = Read(file, 'S', 0, key);
    }
    return numbers;
  }

  int16_t FilterInt(const std::string& file, const std::string& column, int32_t lo, int32_t hi) {
    return XZK_FILTRE(handle, file.c_str(), column.c_str(), &lo, &hi, 4, JX_FILTER_INT32);
  }
  int16_t FilterReal(const std::string& file, const std::string& column, double lo, double hi) {
    return XZK_FILTRE(handle, file.c_str(), column.c_str(), &lo, &hi, 8, JX_FILTER_REAL);
  }
  int16_t FilterText(const std::string& file, const std::string& column, const std::string& lo,
                     const std::string& hi) {
    return XZK_FILTRE(handle, file.c_str(), column.c_str(), lo.c_str(), hi.c_str(), 0,
                      JX_FILTER_TEXT);
  }

  int32_t handle = 0;
  unsigned char rec[JX_RECORD_BLOCK_SIZE] = {};
  std::string message;

 private:
  int16_t Done(const unsigned char* fd) {
    message = reinterpret_cast<const char*>(fd) + JX_FD_MESSAGE;
    return I16(fd, JX_FD_STATUS);
  }
};

// A record image under construction, items placed at explicit offsets.
class Image {
 public:
  explicit Image(size_t size) : bytes(size, 0) {}
  Image& I32At(size_t off, int32_t v) {
    std::memcpy(&bytes[off], &v, 4);
    return *this;
  }
  Image& I16At(size_t off, int16_t v) {
    std::memcpy(&bytes[off], &v, 2);
    return *this;
  }
  Image& RealAt(size_t off, double v) {
    std::memcpy(&bytes[off], &v, 8);
    return *this;
  }
  Image& FloatAt(size_t off, float v) {
    std::memcpy(&bytes[off], &v, 4);
    return *this;
  }
  Image& TextAt(size_t off, const std::string& t) {
    std::memcpy(&bytes[off], t.data(), t.size());
    return *this;
  }
  std::vector<unsigned char> bytes;
};

class EngineTest : public ::testing::Test {
 protected:
  TempDir dir;
};

}  // namespace jxtest

#endif  // TESTS_ENGINE_ENGINE_FIXTURE_H_
