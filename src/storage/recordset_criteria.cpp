#include "storage/recordset_criteria.h"

#include <charconv>
#include <cmath>

#include "platform/ascii.h"

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

bool IsNameChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || u >= 0x80;
}

// The whole text (surrounding blanks allowed) as a number.
std::optional<double> WholeNumber(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

bool IsNumericCell(VarType t) {
  return t == VarType::I2 || t == VarType::I4 || t == VarType::I8 || t == VarType::R4 || t == VarType::R8 ||
         t == VarType::Currency || t == VarType::Decimal || t == VarType::Bool;
}

int Sign(double a, double b) { return a < b ? -1 : (a > b ? 1 : 0); }

struct Token {
  enum class Kind { End, Name, Text, Date, Number, Op, LParen, RParen, Comma };
  Kind kind = Kind::End;
  std::string text;
  std::size_t offset = 0;
};

class Lexer {
 public:
  explicit Lexer(std::string_view text) : text_(text) {}

  bool Next(Token& token, std::string& error) {
    while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
    token = Token{};
    token.offset = pos_;
    if (pos_ >= text_.size()) return true;
    const char c = text_[pos_];
    if (c == '(' || c == ')' || c == ',') {
      token.kind = c == '(' ? Token::Kind::LParen : (c == ')' ? Token::Kind::RParen : Token::Kind::Comma);
      ++pos_;
      return true;
    }
    if (c == '=' || c == '<' || c == '>') {
      token.kind = Token::Kind::Op;
      token.text = c;
      ++pos_;
      if (pos_ < text_.size() && ((c == '<' && (text_[pos_] == '>' || text_[pos_] == '=')) ||
                                  (c == '>' && text_[pos_] == '='))) {
        token.text += text_[pos_++];
      }
      return true;
    }
    if (c == '\'') {
      token.kind = Token::Kind::Text;
      ++pos_;
      for (;;) {
        if (pos_ >= text_.size()) return Fail(error, "a quoted value is not closed");
        if (text_[pos_] == '\'') {
          if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
            token.text += '\'';
            pos_ += 2;
            continue;
          }
          ++pos_;
          return true;
        }
        token.text += text_[pos_++];
      }
    }
    if (c == '#') {
      token.kind = Token::Kind::Date;
      const std::size_t close = text_.find('#', pos_ + 1);
      if (close == std::string_view::npos) return Fail(error, "a #date# is not closed");
      token.text.assign(text_.substr(pos_ + 1, close - pos_ - 1));
      pos_ = close + 1;
      return true;
    }
    if (c == '[') {
      token.kind = Token::Kind::Name;
      const std::size_t close = text_.find(']', pos_ + 1);
      if (close == std::string_view::npos || close == pos_ + 1) return Fail(error, "a [column] is not closed");
      token.text.assign(text_.substr(pos_ + 1, close - pos_ - 1));
      pos_ = close + 1;
      return true;
    }
    if ((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.') {
      token.kind = Token::Kind::Number;
      std::size_t end = pos_ + 1;
      while (end < text_.size() && (IsNameChar(text_[end]) || text_[end] == '.' ||
                                    ((text_[end] == '-' || text_[end] == '+') &&
                                     (text_[end - 1] == 'e' || text_[end - 1] == 'E')))) {
        ++end;
      }
      token.text.assign(text_.substr(pos_, end - pos_));
      pos_ = end;
      return true;
    }
    if (IsNameChar(c)) {
      token.kind = Token::Kind::Name;
      std::size_t end = pos_;
      while (end < text_.size() && IsNameChar(text_[end])) ++end;
      token.text.assign(text_.substr(pos_, end - pos_));
      pos_ = end;
      return true;
    }
    return Fail(error, std::string("unexpected character '") + c + "'");
  }

  bool Fail(std::string& error, const std::string& what) const {
    error = what + " at offset " + std::to_string(pos_);
    return false;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

bool IsWord(const Token& t, std::string_view word) {
  return t.kind == Token::Kind::Name && CompareNoCase(t.text, word) == 0;
}

class Parser {
 public:
  explicit Parser(std::string_view text) : lexer_(text) {}

  bool Start(std::string& error) { return Advance(error); }
  const Token& Current() const { return token_; }

  bool Advance(std::string& error) { return lexer_.Next(token_, error); }

  bool Fail(std::string& error, const std::string& what) const {
    error = what + " at offset " + std::to_string(token_.offset);
    return false;
  }

  bool Clause(CriteriaClause& clause, std::string& error) {
    if (token_.kind != Token::Kind::Name || IsWord(token_, "AND") || IsWord(token_, "OR")) {
      return Fail(error, "a column name was expected");
    }
    clause.column = token_.text;
    if (!Advance(error)) return false;
    if (token_.kind == Token::Kind::Op) {
      static const struct {
        const char* text;
        CriteriaClause::Op op;
      } kOps[] = {{"=", CriteriaClause::Op::Eq}, {"<>", CriteriaClause::Op::Ne}, {"<", CriteriaClause::Op::Lt},
                  {">", CriteriaClause::Op::Gt}, {"<=", CriteriaClause::Op::Le}, {">=", CriteriaClause::Op::Ge}};
      for (const auto& entry : kOps) {
        if (token_.text == entry.text) clause.op = entry.op;
      }
    } else if (IsWord(token_, "LIKE")) {
      clause.op = CriteriaClause::Op::Like;
    } else {
      return Fail(error, "an operator was expected");
    }
    if (!Advance(error)) return false;
    CriteriaValue& value = clause.value;
    switch (token_.kind) {
      case Token::Kind::Text:
        value.kind = CriteriaValue::Kind::Text;
        value.text = token_.text;
        break;
      case Token::Kind::Date: {
        const std::optional<double> day = COleDateTime::ParseDateText(token_.text);
        if (!day) return Fail(error, "not a date: #" + token_.text + "#");
        value.kind = CriteriaValue::Kind::Date;
        value.number = *day;
        value.text = token_.text;
        break;
      }
      case Token::Kind::Number: {
        const std::optional<double> number = WholeNumber(token_.text);
        if (!number) return Fail(error, "not a number: " + token_.text);
        value.kind = CriteriaValue::Kind::Number;
        value.number = *number;
        value.text = token_.text;
        break;
      }
      case Token::Kind::Name:
        if (IsWord(token_, "NULL")) {
          if (clause.op != CriteriaClause::Op::Eq && clause.op != CriteriaClause::Op::Ne) {
            return Fail(error, "NULL compares only with = and <>");
          }
          value.kind = CriteriaValue::Kind::Null;
          break;
        }
        [[fallthrough]];
      default: return Fail(error, "a value was expected");
    }
    if (clause.op == CriteriaClause::Op::Like && value.kind != CriteriaValue::Kind::Text) {
      return Fail(error, "LIKE takes a quoted pattern");
    }
    return Advance(error);
  }

  // or-expression := and-expression (OR and-expression)*
  bool Or(CriteriaExpr& out, std::string& error, int depth) {
    if (depth > 64) return Fail(error, "parentheses nest too deep");
    CriteriaExpr first;
    if (!And(first, error, depth)) return false;
    if (!IsWord(token_, "OR")) {
      out = std::move(first);
      return true;
    }
    out = CriteriaExpr{};
    out.kind = CriteriaExpr::Kind::Or;
    out.children.push_back(std::move(first));
    while (IsWord(token_, "OR")) {
      if (!Advance(error)) return false;
      CriteriaExpr next;
      if (!And(next, error, depth)) return false;
      out.children.push_back(std::move(next));
    }
    return true;
  }

  bool And(CriteriaExpr& out, std::string& error, int depth) {
    CriteriaExpr first;
    if (!Factor(first, error, depth)) return false;
    if (!IsWord(token_, "AND")) {
      out = std::move(first);
      return true;
    }
    out = CriteriaExpr{};
    out.kind = CriteriaExpr::Kind::And;
    out.children.push_back(std::move(first));
    while (IsWord(token_, "AND")) {
      if (!Advance(error)) return false;
      CriteriaExpr next;
      if (!Factor(next, error, depth)) return false;
      out.children.push_back(std::move(next));
    }
    return true;
  }

  bool Factor(CriteriaExpr& out, std::string& error, int depth) {
    if (token_.kind == Token::Kind::LParen) {
      if (!Advance(error)) return false;
      if (!Or(out, error, depth + 1)) return false;
      if (token_.kind != Token::Kind::RParen) return Fail(error, "')' was expected");
      return Advance(error);
    }
    out.kind = CriteriaExpr::Kind::Clause;
    return Clause(out.clause, error);
  }

 private:
  Lexer lexer_;
  Token token_;
};

bool IsBlank(std::string_view text) {
  for (const char c : text) {
    if (!IsSpace(c)) return false;
  }
  return true;
}

}  // namespace

std::optional<std::optional<CriteriaExpr>> ParseFilterText(std::string_view text, std::string& error) {
  if (IsBlank(text)) return std::optional<CriteriaExpr>{};
  Parser parser(text);
  CriteriaExpr expr;
  if (!parser.Start(error) || !parser.Or(expr, error, 0)) return std::nullopt;
  if (parser.Current().kind != Token::Kind::End) {
    parser.Fail(error, "AND or OR was expected");
    return std::nullopt;
  }
  return std::optional<CriteriaExpr>(std::move(expr));
}

std::optional<CriteriaClause> ParseFindText(std::string_view text, std::string& error) {
  if (IsBlank(text)) {
    error = "the search criteria are empty";
    return std::nullopt;
  }
  Parser parser(text);
  CriteriaClause clause;
  if (!parser.Start(error) || !parser.Clause(clause, error)) return std::nullopt;
  if (parser.Current().kind != Token::Kind::End) {
    parser.Fail(error, "a search takes one clause");
    return std::nullopt;
  }
  return clause;
}

std::optional<std::vector<CriteriaSortKey>> ParseSortText(std::string_view text, std::string& error) {
  std::vector<CriteriaSortKey> keys;
  if (IsBlank(text)) return keys;
  Parser parser(text);
  if (!parser.Start(error)) return std::nullopt;
  for (;;) {
    const Token& t = parser.Current();
    if (t.kind != Token::Kind::Name) {
      parser.Fail(error, "a column name was expected");
      return std::nullopt;
    }
    CriteriaSortKey key;
    key.column = t.text;
    if (!parser.Advance(error)) return std::nullopt;
    if (IsWord(parser.Current(), "ASC") || IsWord(parser.Current(), "DESC")) {
      key.descending = IsWord(parser.Current(), "DESC");
      if (!parser.Advance(error)) return std::nullopt;
    }
    keys.push_back(std::move(key));
    if (parser.Current().kind == Token::Kind::End) return keys;
    if (parser.Current().kind != Token::Kind::Comma) {
      parser.Fail(error, "',' was expected");
      return std::nullopt;
    }
    if (!parser.Advance(error)) return std::nullopt;
  }
}

std::string CellCriteriaText(const CADOVariant& cell) {
  if (cell.type == VarType::Currency) return COleCurrency::FromRaw(cell.intVal).Format();
  std::string text;
  VariantToText(cell, text);
  return text;
}

bool LikeMatches(std::string_view text, std::string_view pattern) {
  // Greedy match with backtracking to the last wildcard: linear for one wildcard,
  // and never worse than text × pattern.
  std::size_t t = 0, p = 0;
  std::size_t starP = std::string_view::npos, starT = 0;
  while (t < text.size()) {
    if (p < pattern.size() && (pattern[p] == '*' || pattern[p] == '%')) {
      starP = p++;
      starT = t;
    } else if (p < pattern.size() && AsciiLower(pattern[p]) == AsciiLower(text[t])) {
      ++p;
      ++t;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      t = ++starT;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && (pattern[p] == '*' || pattern[p] == '%')) ++p;
  return p == pattern.size();
}

bool ClauseMatches(const CADOVariant& cell, const CriteriaClause& clause) {
  const CriteriaValue& value = clause.value;
  const bool cellNull = cell.IsNullOrEmpty();
  if (value.kind == CriteriaValue::Kind::Null) return (clause.op == CriteriaClause::Op::Eq) == cellNull;
  if (cellNull) return false;
  if (clause.op == CriteriaClause::Op::Like) return LikeMatches(CellCriteriaText(cell), value.text);

  int order = 0;
  bool decided = false;
  if (IsNumericCell(cell.type)) {
    std::optional<double> number;
    if (value.kind == CriteriaValue::Kind::Number) number = value.number;
    if (value.kind == CriteriaValue::Kind::Text) number = WholeNumber(value.text);
    if (number) {
      order = Sign(VariantToDouble(cell), *number);
      decided = true;
    }
  } else if (cell.type == VarType::Date) {
    std::optional<double> day;
    if (value.kind == CriteriaValue::Kind::Date) day = value.number;
    if (value.kind == CriteriaValue::Kind::Text) day = COleDateTime::ParseDateText(value.text);
    if (day) {
      order = Sign(cell.dblVal, *day);
      decided = true;
    }
  } else if (cell.type == VarType::Text) {
    if (value.kind == CriteriaValue::Kind::Number) {
      if (const std::optional<double> own = WholeNumber(cell.strVal)) {
        order = Sign(*own, value.number);
        decided = true;
      }
    } else if (value.kind == CriteriaValue::Kind::Date) {
      if (const std::optional<double> own = COleDateTime::ParseDateText(cell.strVal)) {
        order = Sign(*own, value.number);
        decided = true;
      }
    }
  }
  if (!decided) order = CompareNoCase(CellCriteriaText(cell), value.text);
  switch (clause.op) {
    case CriteriaClause::Op::Eq: return order == 0;
    case CriteriaClause::Op::Ne: return order != 0;
    case CriteriaClause::Op::Lt: return order < 0;
    case CriteriaClause::Op::Gt: return order > 0;
    case CriteriaClause::Op::Le: return order <= 0;
    case CriteriaClause::Op::Ge: return order >= 0;
    case CriteriaClause::Op::Like: break;
  }
  return false;
}

int CompareCellsForSort(const CADOVariant& a, const CADOVariant& b) {
  const auto rank = [](const CADOVariant& v) {
    if (v.IsNullOrEmpty()) return 0;
    if (IsNumericCell(v.type) || v.type == VarType::Date) return 1;
    return 2;
  };
  const int ra = rank(a), rb = rank(b);
  if (ra != rb) return ra < rb ? -1 : 1;
  if (ra == 0) return 0;
  if (ra == 1) {
    const double x = a.type == VarType::Date ? a.dblVal : VariantToDouble(a);
    const double y = b.type == VarType::Date ? b.dblVal : VariantToDouble(b);
    return Sign(x, y);
  }
  const int c = a.strVal.compare(b.strVal);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}
