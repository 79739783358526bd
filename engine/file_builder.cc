// file_builder.cc - description checks, file creation and index building.
//
// Messages are Windows-1252 (hence the \x escapes for accented letters).
#include "file_builder.h"

#include <cstdarg>
#include <cstdio>

#include "block_fields.h"
#include "jxengine.h"
#include "key_codec.h"
#include "meta.h"
#include "names.h"
#include "record_store.h"
#include "session.h"
#include "type_letters.h"

namespace jx {
namespace {

int Refuse(unsigned char* fd, const char* format, ...) {
  char message[JX_FD_MESSAGE_SIZE];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof message, format, args);
  va_end(args);
  SetI16(fd, JX_FD_STATUS, 1);
  SetText(fd, JX_FD_MESSAGE, JX_FD_MESSAGE_SIZE, message);
  return JX_ERR_DESCRIPTION;
}

int Accept(unsigned char* fd) {
  SetI16(fd, JX_FD_STATUS, 0);
  SetText(fd, JX_FD_MESSAGE, JX_FD_MESSAGE_SIZE, "");
  return JX_OK;
}

// The name in a name field: trailing blanks dropped, upper case; empty
// when the field is not a valid name (the caller reports the raw text).
std::string FieldName(const unsigned char* fd, size_t offset) {
  std::string name = TrimName(GetText(fd, offset, JX_NAME_FIELD_SIZE));
  return ValidName(name) ? UpperName(name) : std::string();
}

std::string Printable(const unsigned char* fd, size_t offset) {
  return GetText(fd, offset, JX_NAME_FIELD_SIZE).substr(0, JX_NAME_MAX_LENGTH);
}

// Checks that `item` of `file` can be a key: no memo, within the limits.
const char* KeyProblem(const FileDef& file, const Item& item) {
  if (!item.composite && (item.IsMemo() || ClassOfType(item.type) == KeyClass::kNone))
    return "Une colonne m\xE9mo ne peut pas \xEAtre une cl\xE9 : %s";
  if (KeyBytes(file, item) > JX_KEY_MAX_BYTES || MaxEncodedLength(file, item) > JX_KEY_MAX_ENCODED)
    return "Cl\xE9 trop longue : %s (255 octets au plus)";
  return nullptr;
}

void SaveFile(Session& session, MDB_txn* txn, const Tables& t, const FileDef& file) {
  std::string blob = file.Serialize();
  MDB_val k{file.name.size(), const_cast<char*>(file.name.data())}, v{blob.size(), blob.data()};
  KvPut(txn, t.catalog, k, v);
  MetaNext(txn, t, kDictionaryVersion);
  // The session trusts its dictionary across its own record writes: this
  // write is the one that changes it.
  session.InvalidateDictionary();
}

}  // namespace

int FileBuilder::Command(Session& session, int16_t command, unsigned char* fd) {
  switch (command) {
    case JX_DESCRIBE_BEGIN_FILE: return BeginFile(session, fd);
    case JX_DESCRIBE_ADD_COLUMN: return AddColumn(fd);
    case JX_DESCRIBE_INDEX: return DescribeIndex(session, fd);
    case JX_DESCRIBE_COMPLETE: return Complete(session, fd);
    default: return Refuse(fd, "Commande de description inconnue : %d", int(command));
  }
}

int FileBuilder::BeginFile(Session& session, unsigned char* fd) {
  pending_ = Pending::kNone;
  std::string name = FieldName(fd, JX_FD_TABLE);
  if (name.empty())
    return Refuse(fd, "Nom de fichier incorrect ou trop long : '%s'",
                  Printable(fd, JX_FD_TABLE).c_str());
  bool exists = session.Read([&](MDB_txn* txn) { return session.Dict(txn).Find(name) ? 1 : 0; });
  if (exists) return Refuse(fd, "Le fichier %s existe d\xE9j\xE0", name.c_str());
  file_ = FileDef();
  file_.name = name;
  file_.Layout();
  pending_ = Pending::kFile;
  return Accept(fd);
}

int FileBuilder::AddColumn(unsigned char* fd) {
  if (pending_ != Pending::kFile)
    return Refuse(fd, "Aucune cr\xE9" "ation de fichier en cours");
  std::string name = FieldName(fd, JX_FD_NAME);
  if (name.empty())
    return Refuse(fd, "Nom de colonne incorrect ou trop long : '%s'",
                  Printable(fd, JX_FD_NAME).c_str());
  if (file_.FindItem(name))
    return Refuse(fd, "La colonne %s existe d\xE9j\xE0 dans le fichier %s", name.c_str(),
                  file_.name.c_str());
  char letter = char(fd[JX_FD_TYPE]);
  int declared = GetI16(fd, JX_FD_SIZE);
  ItemType type;
  switch (TypeFromLetter(letter, declared, &type)) {
    case LetterResult::kUnknownLetter:
      return Refuse(fd, "Type inconnu pour la colonne %s : '%c'", name.c_str(),
                    letter ? letter : '?');
    case LetterResult::kBadSize:
      return Refuse(fd, "Taille incorrecte pour la colonne %s : %d", name.c_str(), declared);
    case LetterResult::kOk:
      break;
  }
  Item item;
  item.name = name;
  item.type = type.type;
  item.size = type.size;
  int dimension = GetI16(fd, JX_FD_DIMENSION);
  item.dimension = uint16_t(dimension > 1 && !item.IsMemo() ? dimension : 1);
  if (file_.recordSize + uint64_t(item.Bytes()) > kMaxRecordSize)
    return Refuse(fd, "Enregistrement trop long pour le fichier %s (%u octets au plus)",
                  file_.name.c_str(), unsigned(kMaxRecordSize));
  int16_t unique = GetI16(fd, JX_FD_UNIQUE);
  if (unique == 1 || unique == 2) {
    item.keyKind = unique == 1 ? kUniqueKey : kDuplicateKey;
    if (const char* problem = KeyProblem(file_, item)) return Refuse(fd, problem, name.c_str());
  }
  file_.items.push_back(item);
  file_.Layout();
  return Accept(fd);
}

int FileBuilder::DescribeIndex(Session& session, unsigned char* fd) {
  pending_ = Pending::kNone;
  std::string fileName = FieldName(fd, JX_FD_TABLE);
  if (fileName.empty())
    return Refuse(fd, "Nom de fichier incorrect ou trop long : '%s'",
                  Printable(fd, JX_FD_TABLE).c_str());
  std::string indexName = FieldName(fd, JX_FD_NAME);
  if (indexName.empty())
    return Refuse(fd, "Nom d'index incorrect ou trop long : '%s'",
                  Printable(fd, JX_FD_NAME).c_str());
  FileDef file;
  bool found = session.Read([&](MDB_txn* txn) {
    const FileDef* f = session.Dict(txn).Find(fileName);
    if (f) file = *f;
    return f ? 1 : 0;
  });
  if (!found) return Refuse(fd, "Fichier %s inconnu", fileName.c_str());

  // Column names joined with ",", blanks around them ignored.
  std::string list = GetText(fd, JX_FD_COLUMNS, JX_FD_TYPE - JX_FD_COLUMNS);
  std::vector<std::string> columns;
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    std::string column = list.substr(start, comma - start);
    size_t first = column.find_first_not_of(' ');
    column = first == std::string::npos ? std::string() : TrimName(column.substr(first));
    if (!column.empty()) {
      const Item* item = file.FindItem(column);
      if (!item || item->composite)
        return Refuse(fd, "Colonne %s inconnue dans le fichier %s",
                      column.substr(0, JX_NAME_MAX_LENGTH).c_str(), fileName.c_str());
      for (const std::string& c : columns)
        if (c == item->name)
          return Refuse(fd, "Colonne %s r\xE9p\xE9t\xE9" "e dans l'index %s", c.c_str(),
                        indexName.c_str());
      columns.push_back(item->name);
    }
    start = comma + 1;
  }
  if (columns.empty()) return Refuse(fd, "Aucune colonne pour l'index %s", indexName.c_str());

  Item candidate;
  if (columns.size() == 1) {
    candidate = *file.FindItem(columns[0]);
    if (candidate.keyKind != kNotKey)
      return Refuse(fd, "La colonne %s est d\xE9j\xE0 une cl\xE9", candidate.name.c_str());
  } else {
    if (file.FindItem(indexName))
      return Refuse(fd, "Le nom %s est d\xE9j\xE0 utilis\xE9 dans le fichier %s",
                    indexName.c_str(), fileName.c_str());
    candidate.name = indexName;
    candidate.composite = true;
    for (const std::string& c : columns) {
      const Item* item = file.FindItem(c);
      if (item->IsMemo() || ClassOfType(item->type) == KeyClass::kNone)
        return Refuse(fd, "Une colonne m\xE9mo ne peut pas \xEAtre une cl\xE9 : %s", c.c_str());
      candidate.components.push_back(uint16_t(file.FindItemIndex(c)));
    }
  }
  if (const char* problem = KeyProblem(file, candidate))
    return Refuse(fd, problem, candidate.name.c_str());
  indexFile_ = fileName;
  indexName_ = indexName;
  columns_ = columns;
  indexKind_ = GetI16(fd, JX_FD_UNIQUE) == 1 ? kUniqueKey : kDuplicateKey;
  pending_ = Pending::kIndex;
  return Accept(fd);
}

int FileBuilder::Complete(Session& session, unsigned char* fd) {
  Pending pending = pending_;
  pending_ = Pending::kNone;
  switch (pending) {
    case Pending::kFile: return CreateFile(session, fd);
    case Pending::kIndex: return CreateIndex(session, fd);
    case Pending::kNone: break;
  }
  return Refuse(fd, "Aucune description de fichier ou d'index en cours");
}

int FileBuilder::CreateFile(Session& session, unsigned char* fd) {
  if (file_.items.empty())
    return Refuse(fd, "Le fichier %s n'a aucune colonne", file_.name.c_str());
  FileDef file = file_;
  const Tables& t = session.tables();
  int result = session.Write([&session, file, &t](MDB_txn* txn) {
    if (session.Dict(txn).Find(file.name)) return JX_ERR_DESCRIPTION;
    FileDef created = file;
    created.id = uint32_t(MetaNext(txn, t, kNextFileId));
    for (Item& item : created.items)
      if (item.keyKind != kNotKey) item.indexId = uint32_t(MetaNext(txn, t, kNextIndexId));
    SaveFile(session, txn, t, created);
    return JX_OK;
  });
  if (result == JX_ERR_DESCRIPTION)
    return Refuse(fd, "Le fichier %s existe d\xE9j\xE0", file.name.c_str());
  if (result == JX_ERR_BUSY)
    return Refuse(fd, "Base occup\xE9" "e par une autre transaction : fichier %s non cr\xE9\xE9",
                  file.name.c_str());
  if (result != JX_OK)
    return Refuse(fd, "Erreur d'\xE9" "criture : fichier %s non cr\xE9\xE9 (%d)", file.name.c_str(),
                  result);
  return Accept(fd);
}

int FileBuilder::CreateIndex(Session& session, unsigned char* fd) {
  std::string fileName = indexFile_, indexName = indexName_;
  std::vector<std::string> columns = columns_;
  uint8_t kind = indexKind_;
  const Tables& t = session.tables();
  int result = session.Write([&session, fileName, indexName, columns, kind, &t](MDB_txn* txn) {
    const FileDef* current = session.Dict(txn).Find(fileName);
    if (!current) return JX_ERR_UNKNOWN_FILE;
    FileDef file = *current;
    uint32_t indexId = uint32_t(MetaGet(txn, t, kNextIndexId) + 1);
    Item* key;
    if (columns.size() == 1) {
      int i = file.FindItemIndex(columns[0]);
      if (i < 0) return JX_ERR_UNKNOWN_ITEM;
      key = &file.items[size_t(i)];
      if (key->keyKind != kNotKey) return JX_ERR_DESCRIPTION;
    } else {
      if (file.FindItem(indexName)) return JX_ERR_DESCRIPTION;
      Item composite;
      composite.name = indexName;
      composite.composite = true;
      for (const std::string& c : columns) {
        int i = file.FindItemIndex(c);
        if (i < 0) return JX_ERR_UNKNOWN_ITEM;
        composite.components.push_back(uint16_t(i));
      }
      file.items.push_back(composite);
      file.Layout();
      key = &file.items.back();
    }
    key->keyKind = kind;
    key->indexId = indexId;
    int built = RecordStore(txn, t, file).BuildIndex(*key);
    if (built != JX_OK) return built;
    MetaPut(txn, t, kNextIndexId, indexId);
    SaveFile(session, txn, t, file);
    return JX_OK;
  });
  switch (result) {
    case JX_OK: return Accept(fd);
    case JX_ERR_DUPLICATE:
      return Refuse(fd, "Index unique %s impossible : valeurs en double dans le fichier %s",
                    indexName.c_str(), fileName.c_str());
    case JX_ERR_UNKNOWN_FILE: return Refuse(fd, "Fichier %s inconnu", fileName.c_str());
    case JX_ERR_UNKNOWN_ITEM:
      return Refuse(fd, "Colonne inconnue dans le fichier %s", fileName.c_str());
    case JX_ERR_DESCRIPTION:
      return Refuse(fd, "L'index %s existe d\xE9j\xE0 dans le fichier %s", indexName.c_str(),
                    fileName.c_str());
    case JX_ERR_BUSY:
      return Refuse(fd, "Base occup\xE9" "e par une autre transaction : index %s non cr\xE9\xE9",
                    indexName.c_str());
    default:
      return Refuse(fd, "Erreur d'\xE9" "criture : index %s non cr\xE9\xE9 (%d)", indexName.c_str(),
                    result);
  }
}

}  // namespace jx
