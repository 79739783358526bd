// The message catalogue: identifiers of the French messages the library
// reports, and loading a message's text.
//
// Texts live in the library's own string resources (generated from
// resources/messages.txt) and are loaded through the module handle kept
// when the library was loaded. Every text begins with one blank and may
// hold "%s" / "%i" placeholders that the raiser fills in.
#ifndef ZKSQL_BASE_MESSAGES_H_
#define ZKSQL_BASE_MESSAGES_H_

#include <cstdint>

#include "platform.h"

namespace zksql {

enum MessageId : int32_t {
  kMsgInternalError = 4241,       // " Erreur interne : %s"
  kMsgOutOfMemory = 4242,         // " Mémoire insuffisante"
  kMsgUnknownTable = 4243,        // " Table '%s' inexistante dans l'analyse"
  kMsgReadWriteError = 4244,      // file name, engine code
  kMsgPrematureEnd = 4245,
  kMsgUndefinedError = 4246,
  kMsgUnterminatedString = 4247,
  kMsgMissingSeparator = 4248,
  kMsgSyntaxFrame = 4249,         // message, item, position
  // Syntax messages, raised by the parser's rules.
  kMsgClosingParenthesis = 4250,  // " Parenthèse fermante ')' attendue"
  kMsgOpeningParenthesis = 4251,  // " Parenthèse ouvrante '(' attendue"
  kMsgWrongItemType = 4252,       // " Mauvais type de rubrique ou d'expression"
  kMsgCommaExpected = 4253,
  kMsgNumberExpected = 4254,      // " Nombre attendu"
  kMsgWrongItemType2 = 4255,
  kMsgUnfinishedList = 4256,      // " Liste non terminée"
  kMsgIdentifierExpected = 4257,  // " Identificateur attendu"
  kMsgEqualsExpected = 4258,      // " Signe égal '=' attendu"
  kMsgSyntaxError = 4259,         // " Erreur de syntaxe"
  kMsgAndExpected = 4260,         // " 'AND' attendu"
  kMsgStringExpected = 4261,      // " Chaîne attendue"
  kMsgSemicolonExpected = 4262,   // " Point virgule ';' attendu"
  kMsgTableAlreadyUsed = 4263,
  kMsgNullExpected = 4264,        // " 'NULL' attendu"
  kMsgDefaultExpected = 4265,     // " 'DEFAULT' attendu"
  kMsgSelectExpected = 4266,      // " 'SELECT' attendu"
  kMsgFromExpected = 4267,        // " 'FROM' attendu"
  kMsgSimpleItemExpected = 4268,  // " Rubrique ou expression simple attendue"
  kMsgTimeArgumentExpected = 4269,   // " Argument temporel attendu"
  kMsgBadColumnList = 4270,          // " Liste de rubriques incorrecte"
  kMsgAssignedValueExpected = 4271,  // item, simple expression, DEFAULT or NULL
  kMsgBadSelectItem = 4272,          // wrong item in the select list
  kMsgSecondMemberExpected = 4273,   // " Second membre de la comparaison attendu"
  kMsgComparisonExpected = 4274,
  kMsgSubGroupExpected = 4275,       // " Sous groupe attendu"
  kMsgEvaluableExpected = 4276,      // " Expression évaluable attendue"
  kMsgTypeMismatch = 4277,        // " Typage incorrect: %s"
  kMsgLogicalInArithmetic = 4279, // node text
  kMsgUnknownColumn = 4281,       // column name
  kMsgColumnExpected = 4282,      // literal text
  kMsgCompositeKeyColumn = 4285,  // column name
  kMsgDisjointTables = 4287,      // " Impossible d'extraire des données de tables disjointes"
  kMsgDuplicateKey = 4288,        // file name
  kMsgOnExpected = 4296,          // " ON attendu"
  kMsgIndexExpected = 4297,       // " INDEX attendu"
  kMsgUnsupportedCommand = 4298,
  kMsgSubSelectOnParentTable = 4299,
  // Messages for failures the texts above do not cover.
  kMsgStatementTooLong = 4300,    // maximum length
  kMsgNoEngine = 4301,            // engine library name
  kMsgTooManyMemos = 4302,        // maximum number of memo values
  kMsgEngineFailure = 4304,       // the storage engine's own explanation
  kMsgInterrupted = 4305,         // the host asked the statement to stop
};

// Size of the buffers messages are loaded and formatted into.
constexpr int kMessageBufferSize = 256;

// Keeps the module whose string resources hold the catalogue (set when the
// library is loaded).
void SetMessageModule(HINSTANCE module);

// Loads message `id` into buffer (size bytes). A missing message reads
// "(msg %04d)" when size is 12 or more, else "(?)" cut to size - 1.
void LoadMessage(int32_t id, char* buffer, int32_t size);

// Loads message `id` and formats it with the arguments into buffer
// (kMessageBufferSize bytes or `size`), never writing past it.
void FormatMessage(char* buffer, int32_t size, int32_t id, ...);

}  // namespace zksql

#endif  // ZKSQL_BASE_MESSAGES_H_
