// CREATE TABLE and CREATE INDEX: describing a new file, or an index on an
// existing one, to the storage engine.
//
// Both fill the engine's file description record and send it with a
// command: for a table, "begin a file", one "add a column" per column
// definition, then "complete"; for an index, "describe an index" then
// "complete". The engine answers in the record: a status above 0 and a
// French message when it refused, which is what the statement reports.
//
// Everything the record cannot carry faithfully is refused before the
// first engine call, so that a refusal never leaves half a description
// behind: a name longer than the engine takes (JX_NAME_MAX_LENGTH; cutting
// it would create a different name), a length that does not fit the 16-bit size
// field, an indexed column list longer than its field.
#include <cstdint>
#include <cstring>

#include "base/messages.h"
#include "base/statement_context.h"
#include "exec/statement_executor.h"
#include "exec/statement_kinds.h"
#include "jxengine.h"
#include "platform.h"
#include "sql/parse_node.h"
#include "sql/rule_codes.h"
#include "sql/token_codes.h"
#include "storage/description_cache.h"
#include "storage/engine.h"
#include "storage/table.h"

namespace zksql {
namespace {

// Room of the indexed column list, its terminator included.
constexpr size_t kColumnListRoom = JX_FD_TYPE - JX_FD_COLUMNS;
// Room of a name field, its terminator included.
constexpr size_t kNameRoom = JX_NAME_FIELD_SIZE;

// The engine's item type letter for a column type token.
char TypeLetter(int32_t typeCode) {
  switch (typeCode) {
    case LEX_DATE:
      return 'A';
    case LEX_INTEGER:
    case LEX_BIGINT:
      return 'L';
    case LEX_TIME:
      return 'H';
    case LEX_SMALLINT:
      return 'E';
    case LEX_REAL:
      return 'S';
    case LEX_DOUBLE:
      return 'D';
    case LEX_CHAR:
    case LEX_VARCHAR:
      return 'T';
    case LEX_TINYINT:
      return 'C';
    default:
      return 'X';
  }
}

// The file description record exchanged with the engine.
class FileDescription {
 public:
  FileDescription() { std::memset(bytes_, 0, sizeof bytes_); }

  // Copies a name (checked to fit beforehand) into a name field.
  void SetName(int offset, const char* name) {
    std::memset(bytes_ + offset, 0, kNameRoom);
    std::memcpy(bytes_ + offset, name, std::strlen(name));
  }
  void SetText(int offset, const char* text, size_t length) {
    std::memcpy(bytes_ + offset, text, length);
  }
  void SetInt16(int offset, int16_t v) { std::memcpy(bytes_ + offset, &v, sizeof v); }
  void SetByte(int offset, char c) { bytes_[offset] = static_cast<unsigned char>(c); }

  // Sends the record with a command. True when the engine accepted it;
  // otherwise its message (or, when it gave none, a text naming the file)
  // is reported.
  bool Send(StatementExecutor& executor, int16_t command) {
    const EngineEntryPoints* engine = BoundEngine();
    if (engine == nullptr) return RequireEngine(executor.request);
    engine->describeFile(executor.request->engineHandle, command, bytes_);
    // Whatever the engine answered, the descriptions kept so far may no
    // longer be the dictionary's.
    ForgetDescriptions();
    int16_t status = 0;
    std::memcpy(&status, bytes_ + JX_FD_STATUS, sizeof status);
    if (status <= 0) return true;
    char message[JX_FD_MESSAGE_SIZE + 1];
    std::memcpy(message, bytes_ + JX_FD_MESSAGE, JX_FD_MESSAGE_SIZE);
    message[JX_FD_MESSAGE_SIZE] = '\0';
    if (message[0] == '\0') {
      // A refusal must never read as a success, even a silent one.
      char file[kNameRoom];
      std::memcpy(file, bytes_ + JX_FD_TABLE, kNameRoom);
      file[kNameRoom - 1] = '\0';
      ZkFormat(message, sizeof message,
               "Le moteur de stockage a refus\xE9 la description du fichier '%s' (%i)", file,
               static_cast<int>(status));
    }
    executor.Report(message, nullptr);
    return false;
  }

 private:
  unsigned char bytes_[JX_FD_SIZE_BYTES];
};

// True when a name fits the engine's name fields; otherwise the statement
// is refused naming it.
bool NameFits(StatementExecutor& executor, const char* name) {
  if (name != nullptr && name[0] != '\0' && std::strlen(name) < kNameRoom) return true;
  char text[kMessageBufferSize];
  ZkFormat(text, sizeof text, "Nom incorrect ou trop long (%i caract\xE8res au plus) : '%.60s'",
           Table::kMaxNameLength, name == nullptr ? "" : name);
  executor.Report(text, nullptr);
  return false;
}

// A column definition's PRIMARY KEY constraint, among the nodes after its
// type.
bool IsPrimaryKey(const ParseNode* definition) {
  const ParseNode* type = definition->child == nullptr ? nullptr : definition->child->next;
  for (const ParseNode* n = type == nullptr ? nullptr : type->next; n != nullptr; n = n->next) {
    if (n->code == LEX_PRIMARY_KEY) return true;
  }
  return false;
}

}  // namespace

void ExecuteCreateTable(StatementExecutor& executor, ParseNode* statement) {
  ParseNode* name = statement->child;
  ParseNode* list = name == nullptr ? nullptr : name->next;
  if (list == nullptr || list->code != FON_COLONNE_DEF_VIRGULE_LISTE) {
    RecordMessage(executor.request, nullptr, kMsgInternalError, "CREATE TABLE");
    return;
  }
  if (!NameFits(executor, name->text)) return;
  for (ParseNode* d = list->child; d != nullptr; d = d->next) {
    ParseNode* column = d->child;
    ParseNode* type = column == nullptr ? nullptr : column->next;
    if (type == nullptr) {
      RecordMessage(executor.request, nullptr, kMsgInternalError, "CREATE TABLE");
      return;
    }
    if (!NameFits(executor, column->text)) return;
    if (type->value < 0 || type->value > INT16_MAX) {
      // The size field has 16 bits: a larger length would arrive as a
      // different one.
      char text[kMessageBufferSize];
      ZkFormat(text, sizeof text,
               "Erreur pour CREATE TABLE: longueur de la rubrique '%s' trop grande (%i au plus)",
               column->text, static_cast<int>(INT16_MAX));
      executor.Report(text, nullptr);
      return;
    }
  }
  if (!RequireEngine(executor.request)) return;

  FileDescription fd;
  fd.SetName(JX_FD_TABLE, name->text);
  fd.SetText(JX_FD_SEPARATOR, "__", 2);
  if (!fd.Send(executor, JX_DESCRIBE_BEGIN_FILE)) return;
  for (ParseNode* d = list->child; d != nullptr; d = d->next) {
    ParseNode* type = d->child->next;
    fd.SetName(JX_FD_NAME, d->child->text);
    fd.SetByte(JX_FD_TYPE, TypeLetter(type->code));
    fd.SetInt16(JX_FD_SIZE, static_cast<int16_t>(type->value));
    // PRIMARY KEY makes the column a unique key of the new file.
    fd.SetInt16(JX_FD_UNIQUE, IsPrimaryKey(d) ? 1 : 0);
    if (!fd.Send(executor, JX_DESCRIBE_ADD_COLUMN)) return;
  }
  fd.Send(executor, JX_DESCRIBE_COMPLETE);
}

void ExecuteCreateIndex(StatementExecutor& executor, ParseNode* statement) {
  ParseNode* index = statement->child;
  ParseNode* table = index == nullptr ? nullptr : index->next;
  ParseNode* columns = table == nullptr ? nullptr : table->next;
  if (columns == nullptr || columns->child == nullptr) {
    RecordMessage(executor.request, nullptr, kMsgInternalError, "CREATE INDEX");
    return;
  }
  if (!NameFits(executor, index->text) || !NameFits(executor, table->text)) return;
  // The column names joined with ",", checked to fit their field with the
  // terminator before anything is sent.
  char list[kColumnListRoom];
  size_t used = 0;
  for (ParseNode* c = columns->child; c != nullptr; c = c->next) {
    if (!NameFits(executor, c->text)) return;
    size_t length = std::strlen(c->text);
    size_t needed = used + (used > 0 ? 1 : 0) + length;
    if (needed >= kColumnListRoom) {
      char text[kMessageBufferSize];
      ZkFormat(text, sizeof text,
               "Erreur pour CREATE INDEX: la liste des rubriques index\xE9"
               "es d\xE9"
               "passe %i "
               "caract\xE8res",
               static_cast<int>(kColumnListRoom - 1));
      executor.Report(text, nullptr);
      return;
    }
    if (used > 0) list[used++] = ',';
    std::memcpy(list + used, c->text, length);
    used += length;
  }
  if (!RequireEngine(executor.request)) return;

  FileDescription fd;
  fd.SetName(JX_FD_NAME, index->text);
  fd.SetInt16(JX_FD_UNIQUE, index->value == 1 ? 1 : 2);
  fd.SetName(JX_FD_TABLE, table->text);
  fd.SetText(JX_FD_COLUMNS, list, used);
  if (!fd.Send(executor, JX_DESCRIBE_INDEX)) return;
  fd.Send(executor, JX_DESCRIBE_COMPLETE);
}

}  // namespace zksql
