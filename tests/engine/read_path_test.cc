// Reads by number (mostly each after the one before), runs of records and
// keyed browse steps drawn at random among writes, transactions,
// savepoints, read scopes, filters and another handle's commits must each
// answer what a model of the file holds then: a read reusing what a write
// or a new snapshot made stale shows here.
#include <algorithm>
#include <climits>
#include <cstring>
#include <map>
#include <random>
#include <tuple>

#include "engine_fixture.h"

namespace jxtest {
namespace {

// File F: K unique int key (offset 1), V int key with duplicates (offset 5).
struct State {
  std::map<int32_t, std::pair<int32_t, int32_t>> rows;  // number -> (K, V)
  int32_t last = 0;                                     // last number given
  bool Taken(int32_t k) const {
    for (const auto& r : rows)
      if (r.second.first == k) return true;
    return false;
  }
};

std::vector<unsigned char> Row(int32_t k, int32_t v) {
  return Image(9).I32At(1, k).I32At(5, v).bytes;
}

TEST_F(EngineTest, ReadsAnswerWhatTheModelHoldsWhateverCameBefore) {
  for (unsigned seed = 1; seed <= 4; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    TempDir here;
    Db db(here.path()), other(here.path());
    ASSERT_EQ(db.MakeFile("F", {{"K", 'L', 0, 1}, {"V", 'L', 0, 2}}), 0) << db.message;
    std::mt19937 rng(seed);
    auto draw = [&](int n) { return int(rng() % unsigned(n)); };
    State committed, mine, atBegin, atSavepoint, frozen;
    bool host = false, savepoint = false, scope = false;
    int32_t lo = INT32_MIN, hi = INT32_MAX, readN = 0;
    bool browsing = false;  // a browse along V stands on (lastV, lastN)
    int32_t lastV = 0, lastN = 0;
    auto view = [&]() -> const State& { return scope && !host ? frozen : mine; };
    for (int step = 0; step < 300; ++step) {
      SCOPED_TRACE("step " + std::to_string(step));
      int op = draw(19);
      int32_t k = 1 + draw(60), v = draw(8);
      if (op < 3) {  // a write of its own, or inside the transaction
        // A record the handle reads, which it can also write.
        const State& s = view();
        int32_t n = s.rows.empty() || op == 0
                        ? 0
                        : std::next(s.rows.begin(), draw(int(s.rows.size())))->first;
        bool refused = mine.Taken(k) && (n == 0 || mine.rows[n].first != k);
        if (op == 2 && n != 0) {
          ASSERT_EQ(db.Read("F", 'L', n).valid, 1);
          ASSERT_EQ(db.Delete("F"), 0);
          mine.rows.erase(n);
        } else {
          ASSERT_EQ(db.Write("F", n, Row(k, v)), refused ? JX_ERR_DUPLICATE : 0);
          if (!refused) mine.rows[n ? n : ++mine.last] = {k, v};
        }
        // Committed at once; a read scope's snapshot is renewed to hold it.
        if (!host) committed = frozen = mine;
      } else if (op < 8) {  // a read by number, most often the next one
        readN = draw(4) ? readN + 1 : 1 + draw(mine.last + 2);
        ReadResult r = db.Read("F", 'L', readN);
        const State& s = view();
        auto at = s.rows.find(readN);
        ASSERT_EQ(r.code, 0);
        ASSERT_EQ(r.valid, at != s.rows.end() ? 1 : 0) << readN;
        if (r.valid) {
          EXPECT_EQ(r.bytes, Row(at->second.first, at->second.second));
        }
        EXPECT_EQ(r.end, !r.valid && (readN > s.last || s.rows.lower_bound(readN) == s.rows.end()));
        if (r.end) readN = 0;
      } else if (op < 12) {  // a step of the browse along V within the filter
        std::vector<std::pair<int32_t, int32_t>> order;  // (V, number)
        for (const auto& r : view().rows) order.push_back({r.second.second, r.first});
        std::sort(order.begin(), order.end());
        // 'P' starts at the filter's low bound, and so does 'S' when the
        // browse stands below it; 'S' goes on after the entry handed out
        // last, even when an ended browse or a write came in between.
        bool first = op == 8 || !browsing;
        bool fromLow = first || lastV < lo;
        auto next =
            fromLow ? std::lower_bound(order.begin(), order.end(), std::make_pair(lo, 0))
                    : std::upper_bound(order.begin(), order.end(), std::make_pair(lastV, lastN));
        ReadResult r = db.Read("F", first ? 'P' : 'S', 0, "V");
        ASSERT_EQ(r.code, 0);
        bool end = next == order.end() || next->first > hi;
        ASSERT_EQ(r.end, end ? 1 : 0);
        if (end) continue;
        EXPECT_EQ(r.number, next->second);
        EXPECT_EQ(r.bytes, Row(view().rows.at(next->second).first, next->first));
        browsing = true;
        std::tie(lastV, lastN) = *next;
      } else if (op < 14) {  // another handle commits, unless this one writes
        if (host) continue;
        bool refused = committed.Taken(k);
        ASSERT_EQ(other.Write("F", 0, Row(k, v)), refused ? JX_ERR_DUPLICATE : 0);
        if (!refused) committed.rows[++committed.last] = {k, v};
        mine = committed;
      } else if (op == 14) {
        lo = v, hi = v + draw(4);
        ASSERT_EQ(db.FilterInt("F", "V", lo, hi), 0);
      } else if (op == 15 && !scope && !savepoint) {  // a host transaction begins or ends
        if (!host) {
          ASSERT_EQ(XZK_BeginTransaction(db.handle), 0);
          atBegin = mine;
        } else if (draw(2)) {
          ASSERT_EQ(XZK_CommitTransaction(db.handle), 0);
          committed = mine;
        } else {
          ASSERT_EQ(XZK_RollbackTransaction(db.handle), 0);
          mine = committed = atBegin;
        }
        host = !host;
      } else if (op == 16 && host && !scope) {  // a savepoint begins, or ends kept or undone
        if (!savepoint) {
          ASSERT_EQ(XZK_BeginStatement(db.handle, JX_STATEMENT_WRITE), 0);
          atSavepoint = mine;
        } else {
          bool keep = draw(2);
          ASSERT_EQ(XZK_EndStatement(db.handle, keep), 0);
          if (!keep) mine = atSavepoint;
        }
        savepoint = !savepoint;
      } else if (op == 18) {  // a run of records read at once, as the walk by number reads them
        int32_t from = 1 + draw(mine.last + 2), most = 1 + draw(6);
        std::vector<unsigned char> buffer(size_t(13 * (1 + draw(6)) + draw(13)));
        int32_t count = -1, size = -1;
        int16_t end = -1;
        ASSERT_EQ(XZK_ReadRun(db.handle, "F", from, most, buffer.data(), int32_t(buffer.size()),
                              &count, &size, &end),
                  0);
        ASSERT_EQ(size, 9);
        const State& s = view();
        int32_t room = std::min<int32_t>(most, int32_t(buffer.size() / 13)), got = 0;
        bool ended = false;
        for (int32_t n = from; got < room; ++n) {
          auto at = s.rows.find(n);
          if (at == s.rows.end()) {
            if (n > s.last || s.rows.lower_bound(n) == s.rows.end()) {
              ended = true;
              break;
            }
            continue;
          }
          ASSERT_LT(got, count) << "record " << n << " missing from the run";
          int32_t number = 0;
          std::memcpy(&number, &buffer[size_t(got) * 13], 4);
          EXPECT_EQ(number, n);
          EXPECT_EQ(std::vector<unsigned char>(&buffer[size_t(got) * 13 + 4],
                                               &buffer[size_t(got) * 13 + 13]),
                    Row(at->second.first, at->second.second));
          ++got;
        }
        EXPECT_EQ(count, got);
        EXPECT_EQ(end, ended ? 1 : 0);
      } else if (op == 17) {  // a read scope begins or ends
        ASSERT_EQ(scope ? XZK_EndStatement(db.handle, JX_STATEMENT_KEEP)
                        : XZK_BeginStatement(db.handle, JX_STATEMENT_READ),
                  0);
        scope = !scope;
        frozen = mine;
      }
    }
  }
}

// The dictionary a handle keeps, and the file it looked up last, follow
// what another handle commits: a file unknown at one read is known at the
// next, a new index can be browsed at once, and a read scope sees neither
// until it ends. So do the handle's own changes, and their rollback.
TEST_F(EngineTest, FilesAndIndexesAnotherHandleCommitsAreKnownAtTheNextRead) {
  Db db(dir.path()), other(dir.path());
  EXPECT_EQ(db.Read("G", 'L', 1).code, JX_ERR_UNKNOWN_FILE);
  ASSERT_EQ(other.MakeFile("G", {{"X", 'L', 0, 1}, {"Y", 'L'}}), 0) << other.message;
  EXPECT_EQ(db.Read("G", 'L', 1).code, 0);
  EXPECT_EQ(db.Read("g  ", 'L', 1).code, 0);  // the same file, spelt otherwise
  EXPECT_EQ(db.Read("G", 'P', 0, "Y").code, JX_ERR_NOT_A_KEY);

  ASSERT_EQ(XZK_BeginStatement(db.handle, JX_STATEMENT_READ), 0);
  EXPECT_EQ(db.Read("G", 'L', 1).end, 1);
  ASSERT_EQ(other.MakeFile("H", {{"Z", 'L'}}), 0) << other.message;
  ASSERT_EQ(other.Write("G", 0, Image(9).I32At(1, 7).I32At(5, 70).bytes), 0);
  ASSERT_EQ(other.CreateIndex("G", "GY", "Y", false), 0) << other.message;
  EXPECT_EQ(db.Read("H", 'L', 1).code, JX_ERR_UNKNOWN_FILE);
  EXPECT_EQ(db.Read("G", 'L', 1).end, 1);
  EXPECT_EQ(db.Read("G", 'P', 0, "Y").code, JX_ERR_NOT_A_KEY);
  ASSERT_EQ(XZK_EndStatement(db.handle, JX_STATEMENT_KEEP), 0);

  EXPECT_EQ(db.Read("H", 'L', 1).code, 0);
  EXPECT_EQ(db.Read("G", 'L', 1).valid, 1);
  EXPECT_EQ(db.Browse("G", "Y"), std::vector<int32_t>{1});
  // A file the handle creates in its own transaction, known until rollback.
  ASSERT_EQ(XZK_BeginTransaction(db.handle), 0);
  EXPECT_EQ(db.Read("I", 'L', 1).code, JX_ERR_UNKNOWN_FILE);
  ASSERT_EQ(db.MakeFile("I", {{"Z", 'L'}}), 0) << db.message;
  EXPECT_EQ(db.Read("I", 'L', 1).code, 0);
  ASSERT_EQ(XZK_RollbackTransaction(db.handle), 0);
  EXPECT_EQ(db.Read("I", 'L', 1).code, JX_ERR_UNKNOWN_FILE);
}

// Appends inside a host transaction, each statement a savepoint: an undone
// append gives its number back, whether the number before it came from the
// file's counter or from the transaction's own last append, and a
// rolled-back transaction gives back all of its numbers.
TEST_F(EngineTest, NumbersOfUndoneAppendsAreGivenAgain) {
  Db db(dir.path());
  ASSERT_EQ(db.MakeFile("F", {{"K", 'L', 0, 1}, {"V", 'L', 0, 2}}), 0) << db.message;
  ASSERT_EQ(db.Write("F", 0, Row(1, 0)), 0);  // number 1, committed
  ASSERT_EQ(XZK_BeginTransaction(db.handle), 0);
  auto append = [&](int32_t k, bool keep) {
    ASSERT_EQ(XZK_BeginStatement(db.handle, JX_STATEMENT_WRITE), 0);
    ASSERT_EQ(db.Write("F", 0, Row(k, 0)), 0);
    ASSERT_EQ(XZK_EndStatement(db.handle, keep ? JX_STATEMENT_KEEP : JX_STATEMENT_UNDO), 0);
  };
  append(2, false);  // number 2, undone
  append(3, true);   // number 2 again
  append(4, true);   // 3
  append(5, false);  // 4, undone
  append(6, false);  // 4 again, undone
  append(7, true);   // 4
  EXPECT_EQ(db.Read("F", 'L', 2).bytes, Row(3, 0));
  EXPECT_EQ(db.Read("F", 'L', 3).bytes, Row(4, 0));
  EXPECT_EQ(db.Read("F", 'L', 4).bytes, Row(7, 0));
  EXPECT_EQ(db.Read("F", 'L', 5).end, 1);
  ASSERT_EQ(XZK_RollbackTransaction(db.handle), 0);
  ASSERT_EQ(db.Write("F", 0, Row(8, 0)), 0);  // number 2 after the rollback
  EXPECT_EQ(db.Read("F", 'L', 2).bytes, Row(8, 0));
}

// A long walk in runs lets the pages it read go from the process: reading
// them again, in runs or a record at a time, gives the same records.
TEST_F(EngineTest, RecordsReadAgainAfterALongWalkAreTheSame) {
  Db db(dir.path());
  ASSERT_EQ(db.MakeFile("F", {{"K", 'L', 0, 1}, {"V", 'L', 0, 2}}), 0) << db.message;
  ASSERT_EQ(XZK_BeginTransaction(db.handle), 0);
  for (int32_t k = 1; k <= 6000; ++k) ASSERT_EQ(db.Write("F", 0, Row(k, k % 7)), 0);
  ASSERT_EQ(XZK_CommitTransaction(db.handle), 0);
  ASSERT_EQ(XZK_BeginStatement(db.handle, JX_STATEMENT_READ), 0);
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<unsigned char> buffer(13 * 700);
    int32_t from = 1;
    for (int16_t end = 0; !end;) {
      int32_t count = 0, size = 0;
      ASSERT_EQ(XZK_ReadRun(db.handle, "F", from, 700, buffer.data(), int32_t(buffer.size()),
                            &count, &size, &end),
                0);
      for (int32_t i = 0; i < count; ++i) {
        int32_t n = 0;
        std::memcpy(&n, &buffer[size_t(i) * 13], 4);
        ASSERT_EQ(n, from + i);
        ASSERT_EQ(
            std::vector<unsigned char>(&buffer[size_t(i) * 13 + 4], &buffer[size_t(i) * 13 + 13]),
            Row(n, n % 7));
      }
      from += count;
    }
    EXPECT_EQ(from, 6001);
    for (int32_t n : {1, 2999, 6000}) EXPECT_EQ(db.Read("F", 'L', n).bytes, Row(n, n % 7));
  }
  ASSERT_EQ(XZK_EndStatement(db.handle, JX_STATEMENT_KEEP), 0);
}

}  // namespace
}  // namespace jxtest
