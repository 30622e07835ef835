#pragma once
// The criteria texts a recordset filters, searches and sorts its rows by, in the
// form the database layer's callers know:
//   find:   Name = 'abc'     Amount >= 1.5     SB_Date < #2017-02-06#    Name LIKE 'ab*'
//   filter: clauses joined by AND and OR (AND binds tighter), with parentheses
//   sort:   Name, Amount DESC, [Odd Name] ASC
// A column is a bare name or a [bracketed] one. A value is a 'quoted' text ('' for a
// quote inside), a #date#, a number or NULL (with = and <> only). In LIKE, * and %
// match any run of characters; every other character, _ included, is itself.
// Values are data: they are compared with the cells, never turned into SQL.
//
// Comparisons: against a numeric cell a value that reads as a number compares as a
// number; against a date cell a #date# (or a text that reads as a date) compares as a
// day; everything else compares as text, ignoring ASCII case. A NULL cell matches
// only "= NULL"; "<> NULL" matches every other cell.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "storage/ole_types.h"

struct CriteriaValue {
  enum class Kind { Null, Number, Text, Date };
  Kind kind = Kind::Null;
  double number = 0.0;  // Number; Date as an OLE day number
  std::string text;     // Text; the literal's own spelling for Number and Date
};

struct CriteriaClause {
  enum class Op { Eq, Ne, Lt, Gt, Le, Ge, Like };
  std::string column;
  int columnIndex = -1;  // filled by the caller once the name is resolved
  Op op = Op::Eq;
  CriteriaValue value;
};

struct CriteriaExpr {
  enum class Kind { Clause, And, Or };
  Kind kind = Kind::Clause;
  CriteriaClause clause;
  std::vector<CriteriaExpr> children;  // And, Or
};

struct CriteriaSortKey {
  std::string column;
  int columnIndex = -1;
  bool descending = false;
};

// Each parser returns nothing and says why in `error` for a malformed text. A blank
// text gives an empty result (no filter, no sort); for Find it is malformed.
std::optional<std::optional<CriteriaExpr>> ParseFilterText(std::string_view text, std::string& error);
std::optional<CriteriaClause> ParseFindText(std::string_view text, std::string& error);
std::optional<std::vector<CriteriaSortKey>> ParseSortText(std::string_view text, std::string& error);

// Calls `visit(clause)` for every clause of the expression.
template <class Visit>
void ForEachClause(CriteriaExpr& expr, Visit&& visit) {
  if (expr.kind == CriteriaExpr::Kind::Clause) {
    visit(expr.clause);
    return;
  }
  for (CriteriaExpr& child : expr.children) ForEachClause(child, visit);
}

bool ClauseMatches(const CADOVariant& cell, const CriteriaClause& clause);

// `cellOf(columnIndex)` gives the row's cell as a variant (text included).
template <class CellOf>
bool ExprMatches(const CriteriaExpr& expr, CellOf&& cellOf) {
  switch (expr.kind) {
    case CriteriaExpr::Kind::Clause: return ClauseMatches(cellOf(expr.clause.columnIndex), expr.clause);
    case CriteriaExpr::Kind::And:
      for (const CriteriaExpr& child : expr.children) {
        if (!ExprMatches(child, cellOf)) return false;
      }
      return true;
    case CriteriaExpr::Kind::Or:
      for (const CriteriaExpr& child : expr.children) {
        if (ExprMatches(child, cellOf)) return true;
      }
      return false;
  }
  return false;
}

// * and % match any run (also empty); ASCII case is ignored.
bool LikeMatches(std::string_view text, std::string_view pattern);

// The sort order of two cells: NULL first, then numbers and dates by value, then
// text by its bytes. -1, 0 or 1.
int CompareCellsForSort(const CADOVariant& a, const CADOVariant& b);

// The text a cell is compared and searched as: the text reader's form (a currency as
// its amount); "" for NULL.
std::string CellCriteriaText(const CADOVariant& cell);
