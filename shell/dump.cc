// Rows are read with a SELECT of the columns .schema makes, in the table's
// read order, and each becomes an INSERT naming its columns: a value the
// dialect cannot write (an empty date or time, an empty memo) is left out
// of its row's list, so the column gets the same nothing it had. Values
// come as the library prints them and go back as literals it reads: numbers
// bare (the library prints at most six decimals, or seven significant
// digits for REAL: that is the precision a dump keeps), texts, dates
// (YYYYMMDD) and times (HHMM) quoted with '' doubled.
#include "dump.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "charset.h"
#include "schema_text.h"
#include "session.h"
#include "shell.h"

namespace zkshell {

using namespace zkhost;

namespace {

// The library keeps at most this many characters of a memo construct's
// file name.
constexpr size_t kMemoNameMax = 127;

std::string Quoted(std::string_view value) {
  std::string out = "'";
  for (char c : value) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A binary memo reads as hexadecimal: its bytes again.
std::string FromHex(std::string_view hex) {
  std::string bytes;
  bytes.reserve(hex.size() / 2);
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(HexDigit(hex[i]) * 16 + HexDigit(hex[i + 1]));
  }
  return bytes;
}

// Where the memo files of a dump go: `path` to write them, `named` as the
// dump's statements name it (relative to the current folder when the dump
// is inside it, so that the dump and its memos may move together).
struct MemoFolder {
  std::string path;
  std::string named;
  bool made = false;
};

// The memo folder beside the file behind out ("dump.sql": "dump.memos");
// false with *problem when out is no regular file (a terminal, a pipe).
bool MemoFolderOf(FILE* out, MemoFolder* folder, std::string* problem) {
  int fd = fileno(out);
  struct stat info;
  char link[PATH_MAX];
  ssize_t length = -1;
  if (fd >= 0 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    std::string proc = "/proc/self/fd/" + std::to_string(fd);
    length = readlink(proc.c_str(), link, sizeof link - 1);
  }
  if (length <= 0 || link[0] != '/') {
    *problem =
        "the memo values of a dump are written to files beside it: send the dump to a file "
        "(.output FILE, or redirect the output) first";
    return false;
  }
  std::string file(link, static_cast<size_t>(length));
  size_t slash = file.rfind('/');
  size_t dot = file.rfind('.');
  std::string stem = dot != std::string::npos && dot > slash + 1 ? file.substr(0, dot) : file;
  folder->path = stem + ".memos";
  folder->named = folder->path;
  char cwd[PATH_MAX];
  if (getcwd(cwd, sizeof cwd) != nullptr) {
    std::string prefix = std::string(cwd) + (cwd[1] == '\0' ? "" : "/");
    if (folder->named.compare(0, prefix.size(), prefix) == 0) {
      folder->named = folder->named.substr(prefix.size());
    }
  }
  if (folder->named.find('\'') != std::string::npos) {
    *problem = "the memo folder \"" + folder->named +
               "\" holds a quote, which a memo construct "
               "cannot name";
    return false;
  }
  return true;
}

// Turns each row of the SELECT into an INSERT, written to the shell's
// output as it comes. The first problem (a memo file that cannot be
// written) stops the writing of rows and is kept for the caller.
class InsertSink : public RowSink {
 public:
  InsertSink(Shell* shell, const FileInfo& file, const std::vector<const ItemInfo*>& columns,
             MemoFolder* memos)
      : shell_(shell), file_(file), columns_(columns), memos_(memos) {}

  void Start(const std::string&) override {}

  void Row(const std::string_view* fields, size_t count) override {
    ++rows_;
    if (!problem_.empty()) return;
    std::string names, values;
    for (size_t c = 0; c < columns_.size() && c < count; ++c) {
      std::string literal;
      if (!Literal(*columns_[c], fields[c], &literal)) return;
      if (literal.empty()) continue;
      names += (names.empty() ? "" : ", ") + columns_[c]->name;
      values += (values.empty() ? "" : ", ") + literal;
    }
    if (names.empty()) {
      // Only values the dialect cannot write: the row cannot be made again.
      problem_ = "row " + std::to_string(rows_) + " of " + file_.name +
                 " holds no value an INSERT can give";
      return;
    }
    shell_->Write(zkhost::Cp1252ToUtf8("INSERT INTO " + file_.name + " (" + names + ") VALUES (" +
                                       values + ");\n"));
  }

  const std::string& Problem() const { return problem_; }

 private:
  // The literal of one value in *literal, "" when the value is to be left
  // out; false when a memo file could not be written.
  bool Literal(const ItemInfo& item, std::string_view value, std::string* literal) {
    if (IsNumericType(item.type)) {
      *literal = std::string(value);
    } else if (IsMemoType(item.type)) {
      if (value.empty()) return true;
      return WriteMemo(item, item.type == kBinaryMemo ? FromHex(value) : std::string(value),
                       literal);
    } else if ((item.type == kDate || item.type == kTime) && value.empty()) {
      literal->clear();
    } else {
      *literal = Quoted(value);
    }
    return true;
  }

  bool WriteMemo(const ItemInfo& item, const std::string& bytes, std::string* literal) {
    if (!memos_->made) {
      if (mkdir(memos_->path.c_str(), 0777) != 0 && errno != EEXIST) {
        problem_ = "cannot make the folder \"" + memos_->path + "\": " + strerror(errno);
        return false;
      }
      memos_->made = true;
    }
    std::string name =
        zkhost::Cp1252ToUtf8(file_.name + "_" + item.name) + "_" + std::to_string(rows_) + ".memo";
    std::string path = memos_->path + "/" + name;
    std::string named = memos_->named + "/" + name;
    std::string namedCp, ignored;
    if (!zkhost::Utf8ToCp1252(named, &namedCp, &ignored) || namedCp.size() > kMemoNameMax) {
      problem_ = "the memo file name \"" + named + "\" is longer than a memo construct holds (" +
                 std::to_string(kMemoNameMax) + " characters): dump to a file with a shorter path";
      return false;
    }
    FILE* f = fopen(path.c_str(), "wb");
    bool written = f != nullptr && fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f != nullptr && fclose(f) != 0) written = false;
    if (!written) {
      problem_ = "cannot write \"" + path + "\"" +
                 (f == nullptr ? ": " + std::string(strerror(errno)) : "");
      return false;
    }
    *literal = "{JXMemoBinaire(" + Quoted(namedCp) + ")}";
    return true;
  }

  Shell* shell_;
  const FileInfo& file_;
  const std::vector<const ItemInfo*>& columns_;
  MemoFolder* memos_;
  size_t rows_ = 0;
  std::string problem_;
};

// Writes the statements of one table and its rows; false (a failure
// reported) when its rows could not all be written.
bool DumpTable(Shell* shell, const FileInfo& file, MemoFolder* memos) {
  shell->Write(zkhost::Cp1252ToUtf8(SchemaText(file)));
  std::vector<const ItemInfo*> columns = MadeColumns(file);
  if (columns.empty()) return true;
  std::string select;
  for (const ItemInfo* item : columns) select += (select.empty() ? "" : ", ") + item->name;
  select = "SELECT " + select + " FROM " + file.name;
  InsertSink sink(shell, file, columns, memos);
  ExecResult result = shell->session().Execute(select, nullptr, &sink);
  if (!result.ok) {
    shell->Fail("cannot read " + zkhost::Cp1252ToUtf8(file.name) + ": " +
                    TidyMessage(zkhost::Cp1252ToUtf8(result.error)),
                result.sqlState);
    return false;
  }
  if (!sink.Problem().empty()) {
    shell->Fail(zkhost::Cp1252ToUtf8(sink.Problem()));
    return false;
  }
  return true;
}

}  // namespace

void Dump(Shell* shell, const std::vector<std::string>& words) {
  if (words.size() > 2) {
    shell->Fail("usage: .dump [TABLE]");
    return;
  }
  Session& session = shell->session();
  std::vector<std::string> names;
  if (words.size() == 2) {
    std::string name, problem;
    std::string upper = words[1];
    for (char& c : upper) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    }
    if (!zkhost::Utf8ToCp1252(upper, &name, &problem)) {
      shell->Fail(problem);
      return;
    }
    names.push_back(name);
  } else {
    names = session.FileNames();
  }
  // Every table is looked at before anything is written: an unknown name,
  // or memos with nowhere to go, leave the output untouched.
  std::vector<FileInfo> files(names.size());
  bool memos = false;
  for (size_t i = 0; i < names.size(); ++i) {
    if (!session.DescribeFile(names[i], &files[i])) {
      shell->Fail("no such table: " + zkhost::Cp1252ToUtf8(names[i]));
      return;
    }
    for (const ItemInfo* item : MadeColumns(files[i])) {
      if (IsMemoType(item->type)) memos = true;
    }
  }
  MemoFolder folder;
  std::string problem;
  if (memos && !MemoFolderOf(shell->output(), &folder, &problem)) {
    shell->Fail(problem);
    return;
  }
  shell->Write(".begin\n");
  for (const FileInfo& file : files) {
    if (!DumpTable(shell, file, &folder)) {
      // A dump cut short loads nothing rather than part of the database.
      shell->Write("-- the dump stopped here on a failure\n.rollback\n");
      return;
    }
  }
  shell->Write(".commit\n");
}

}  // namespace zkshell
