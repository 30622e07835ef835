#include "storage/row_cursor.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <cstdint>
#include <string>
#include <vector>

#include "storage/ado_database.h"
#include "storage/schema.h"

namespace {

class RowCursorTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = "/tmp/velkor-cursor-XXXXXX";
    dir_ = mkdtemp(pattern.data());
    const std::string path = dir_ + "/CJHB.mdb";
    ASSERT_TRUE(CreateDatabaseFile(path));
    ASSERT_TRUE(db_.Open("Data Source=" + path));
    ASSERT_TRUE(db_.Execute("CREATE TABLE T (id INTEGER, name TEXT, amount REAL)"));
    ASSERT_TRUE(db_.Execute("INSERT INTO T VALUES (1, '甲', 1.5), (2, NULL, NULL), (3, 'it''s', -2)"));
  }
  void TearDown() override {
    db_.Close();
    std::filesystem::remove_all(dir_);
  }

  std::string dir_;
  CADODataBase db_;
};

TEST_F(RowCursorTest, StepsRowsInOrderWithBoundValuesAndNullsAsEmpty) {
  RowCursor cursor(db_, "SELECT id, name, amount FROM T WHERE id >= ? ORDER BY id", {2});
  ASSERT_TRUE(cursor.Next());
  EXPECT_EQ(cursor.Int(0), 2);
  EXPECT_TRUE(cursor.IsNull(1));
  EXPECT_EQ(cursor.Text(1), "");
  EXPECT_EQ(cursor.Double(2), 0.0);
  ASSERT_TRUE(cursor.Next());
  EXPECT_EQ(cursor.Text(1), "it's");
  EXPECT_EQ(cursor.Double(2), -2.0);
  EXPECT_FALSE(cursor.Next());
  EXPECT_FALSE(cursor.Failed());
  EXPECT_FALSE(cursor.Next());  // stays at the end
}

TEST_F(RowCursorTest, ReopenReplacesTheStatementOnTheSameHandle) {
  RowCursor cursor(db_);
  for (int id = 1; id <= 3; ++id) {
    ASSERT_TRUE(cursor.Open("SELECT name FROM T WHERE id = ?", {id}));
    ASSERT_TRUE(cursor.Next());
    if (id == 1) {
      EXPECT_EQ(cursor.Text(0), "甲");
    }
    EXPECT_FALSE(cursor.Next());
  }
  EXPECT_EQ(db_.OpenHandleCount(), 1u);
}

TEST_F(RowCursorTest, RerunStepsTheSameStatementWithNewValues) {
  RowCursor cursor(db_, "SELECT id FROM T WHERE id >= ? ORDER BY id", {3});
  ASSERT_TRUE(cursor.Next());
  EXPECT_EQ(cursor.Int(0), 3);
  EXPECT_FALSE(cursor.Next());
  EXPECT_EQ(cursor.Int(0), 0);  // past the end no cell is read
  EXPECT_EQ(cursor.Text(0), "");
  // Again from the start with another value, and again half way through a read.
  ASSERT_TRUE(cursor.Rerun({1}));
  ASSERT_TRUE(cursor.Next());
  EXPECT_EQ(cursor.Int(0), 1);
  ASSERT_TRUE(cursor.Rerun({2}));
  std::vector<std::int64_t> ids;
  while (cursor.Next()) ids.push_back(cursor.Int(0));
  EXPECT_EQ(ids, (std::vector<std::int64_t>{2, 3}));
  EXPECT_FALSE(cursor.Failed());
  // A wrong count of values fails and reads nothing.
  EXPECT_FALSE(cursor.Rerun({}));
  EXPECT_TRUE(cursor.Failed());
  EXPECT_FALSE(cursor.Next());
  ASSERT_TRUE(cursor.Rerun({3}));
  EXPECT_TRUE(cursor.Next());
  EXPECT_FALSE(cursor.Next());

  RowCursor none(db_);
  EXPECT_FALSE(none.Rerun({1}));
  EXPECT_TRUE(none.Failed());
  RowCursor broken(db_, "SELECT missing FROM Nowhere");
  EXPECT_FALSE(broken.Rerun({}));
}

TEST_F(RowCursorTest, RunPreparesOnceAndTakesANewTextAsANewStatement) {
  RowCursor cursor(db_);
  const std::string byId = "SELECT name FROM T WHERE id = ?";
  std::vector<std::string> names;
  for (int id : {1, 3, 1}) {
    ASSERT_TRUE(cursor.Run(byId, {id}));
    ASSERT_TRUE(cursor.Next());
    names.emplace_back(cursor.Text(0));
  }
  EXPECT_EQ(names, (std::vector<std::string>{"甲", "it's", "甲"}));
  // Another text is prepared in its place, and the first one again after it.
  ASSERT_TRUE(cursor.Run("SELECT id FROM T WHERE amount < ?", {0}));
  ASSERT_TRUE(cursor.Next());
  EXPECT_EQ(cursor.Int(0), 3);
  ASSERT_TRUE(cursor.Run(byId, {3}));
  ASSERT_TRUE(cursor.Next());
  EXPECT_EQ(cursor.Text(0), "it's");
  // A text that cannot be prepared fails; a good one works again afterwards.
  EXPECT_FALSE(cursor.Run("SELECT missing FROM Nowhere", {}));
  EXPECT_TRUE(cursor.Failed());
  ASSERT_TRUE(cursor.Run(byId, {1}));
  EXPECT_TRUE(cursor.Next());
}

TEST_F(RowCursorTest, BadStatementOrValueCountFailsApartFromAnEmptyResult) {
  RowCursor empty(db_, "SELECT id FROM T WHERE id = ?", {99});
  EXPECT_FALSE(empty.Next());
  EXPECT_FALSE(empty.Failed());

  RowCursor bad(db_, "SELECT missing FROM Nowhere");
  EXPECT_TRUE(bad.Failed());
  EXPECT_FALSE(bad.Next());
  EXPECT_NE(bad.ErrorText().find("no such"), std::string::npos) << bad.ErrorText();
  EXPECT_NE(db_.GetLastErrorDescription(), "");

  RowCursor count(db_, "SELECT id FROM T WHERE id = ?", {});
  EXPECT_TRUE(count.Failed());
  EXPECT_FALSE(count.Next());
}

TEST_F(RowCursorTest, ClosedDatabaseFails) {
  CADODataBase closed;
  RowCursor cursor(closed, "SELECT 1");
  EXPECT_TRUE(cursor.Failed());
  EXPECT_FALSE(cursor.Next());
}

}  // namespace
