#include "storage/ini_document.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

TEST(IniDocumentLookup, NamesMatchWithoutRegardToCase) {
  const CIniDocument doc = CIniDocument::Parse("[System]\r\nIsToTray=1\r\n");
  EXPECT_EQ(doc.Find("system", "ISTOTRAY"), "1");
  EXPECT_EQ(doc.Find("SYSTEM", "istotray"), "1");
  EXPECT_EQ(doc.Find("system", "IsToTray2"), std::nullopt);
}

TEST(IniDocumentLookup, FirstOccurrenceWinsAcrossRepeatedSections) {
  const CIniDocument doc = CIniDocument::Parse("[a]\nk=1\nK=2\n[b]\nk=3\n[A]\nk=4\nlate=5\n");
  EXPECT_EQ(doc.Find("a", "k"), "1");
  EXPECT_EQ(doc.Find("b", "k"), "3");
  EXPECT_EQ(doc.Find("a", "late"), "5");  // a repeated section is searched too
  EXPECT_EQ(doc.KeyNames("a"), (std::vector<std::string>{"k", "late"}));
  EXPECT_EQ(doc.SectionNames(), (std::vector<std::string>{"a", "b"}));
}

TEST(IniDocumentLookup, TrimmedNamesAndValuesWithOnePairOfQuotesRemoved) {
  const CIniDocument doc = CIniDocument::Parse(
      "  [ s ]  \n  key one  =  some value  \nq1=\"quoted \"\nq2='x'\nq3=\"\"a\"\"\nq4=\"open\nq5='mixed\"\n");
  EXPECT_EQ(doc.Find("s", "key one"), "some value");
  EXPECT_EQ(doc.Find("s", "q1"), "quoted ");
  EXPECT_EQ(doc.Find("s", "q2"), "x");
  EXPECT_EQ(doc.Find("s", "q3"), "\"a\"");
  EXPECT_EQ(doc.Find("s", "q4"), "\"open");
  EXPECT_EQ(doc.Find("s", "q5"), "'mixed\"");
}

TEST(IniDocumentLookup, LinesWithoutEqualsOutsideSectionsOrCommentedTakeNoPart) {
  const CIniDocument doc =
      CIniDocument::Parse("top=1\n[s]\njust text\n;hidden=2\n=nokey\nk=v=w\nempty=\n");
  EXPECT_EQ(doc.Find("s", "top"), std::nullopt);
  EXPECT_EQ(doc.Find("s", "just text"), std::nullopt);
  EXPECT_EQ(doc.Find("s", ";hidden"), std::nullopt);
  EXPECT_EQ(doc.Find("s", "k"), "v=w");
  EXPECT_EQ(doc.Find("s", "empty"), "");
  EXPECT_EQ(doc.GetString("s", "empty", "dflt"), "");
  EXPECT_EQ(doc.GetString("s", "missing", "dflt"), "dflt");
  EXPECT_EQ(doc.KeyNames("s"), (std::vector<std::string>{"k", "empty"}));
}

TEST(IniDocumentLookup, IntegersReadLikeThePrivateProfileFunctions) {
  const CIniDocument doc = CIniDocument::Parse(
      "[n]\na=42\nb=12abc\nc=abc\nd=-5\ne=+7\nf=99999999999\ng=\nh=\"8\"\n");
  EXPECT_EQ(doc.GetInt("n", "a", 1), 42);
  EXPECT_EQ(doc.GetInt("n", "b", 1), 12);
  EXPECT_EQ(doc.GetInt("n", "c", 1), 0);
  EXPECT_EQ(doc.GetInt("n", "d", 1), 0);
  EXPECT_EQ(doc.GetInt("n", "e", 1), 7);
  EXPECT_EQ(doc.GetInt("n", "f", 1), INT_MAX);
  EXPECT_EQ(doc.GetInt("n", "g", 3), 3);
  EXPECT_EQ(doc.GetInt("n", "h", 1), 8);
  EXPECT_EQ(doc.GetInt("n", "missing", 9), 9);
  EXPECT_EQ(ProfileIntValue("007"), 7);
}

TEST(IniDocumentLookup, ThreeHundredSectionNamesAllListedInOrder) {
  std::string text;
  for (int i = 0; i < 300; ++i) text += "[Section" + std::to_string(i) + "]\r\nk=v\r\n";
  const std::vector<std::string> names = CIniDocument::Parse(text).SectionNames();
  ASSERT_EQ(names.size(), 300u);
  EXPECT_EQ(names.front(), "Section0");
  EXPECT_EQ(names[150], "Section150");
  EXPECT_EQ(names.back(), "Section299");
}

TEST(IniDocumentRoundTrip, UntouchedTextSerialisesByteForByte) {
  const std::string texts[] = {
      "", "[a]\r\nk=1\r\n", "; c\n\n[a]\n k = 1 \nnoise\n", "[a]\rk=1\r", "[a]\r\nk=1", "mixed\r\n[x]\ny=2\r\n",
  };
  for (const std::string& text : texts) EXPECT_EQ(CIniDocument::Parse(text).Serialize(), text);
}

TEST(IniDocumentEdit, ChangingAValueKeepsEverythingElse) {
  CIniDocument doc = CIniDocument::Parse("; settings\r\n[System]\r\n  IsExit = 0 \r\n\r\nother=1\r\n");
  ASSERT_TRUE(doc.SetValue("system", "isexit", "1"));
  EXPECT_EQ(doc.Serialize(), "; settings\r\n[System]\r\nIsExit=1\r\n\r\nother=1\r\n");
}

TEST(IniDocumentEdit, NewKeyGoesAfterTheSectionsLastKey) {
  CIniDocument doc = CIniDocument::Parse("[a]\nx=1\ny=2\n\n; about b\n[b]\nz=3\n");
  ASSERT_TRUE(doc.SetValue("a", "new", "v"));
  EXPECT_EQ(doc.Serialize(), "[a]\nx=1\ny=2\nnew=v\n\n; about b\n[b]\nz=3\n");
  ASSERT_TRUE(doc.SetValue("b", "w", ""));
  EXPECT_EQ(doc.Serialize(), "[a]\nx=1\ny=2\nnew=v\n\n; about b\n[b]\nz=3\nw=\n");
}

TEST(IniDocumentEdit, NewKeyInAnEmptySectionGoesRightAfterItsHeader) {
  CIniDocument doc = CIniDocument::Parse("[a]\r\n[b]\r\nk=1");
  ASSERT_TRUE(doc.SetValue("a", "x", "1"));
  ASSERT_TRUE(doc.SetValue("b", "y", "2"));
  EXPECT_EQ(doc.Serialize(), "[a]\r\nx=1\r\n[b]\r\nk=1\r\ny=2\r\n");
}

TEST(IniDocumentEdit, NewSectionGoesAtTheEndWithTheFilesLineEnd) {
  CIniDocument empty;
  ASSERT_TRUE(empty.SetValue("system", "IsExit", "1"));
  EXPECT_EQ(empty.Serialize(), "[system]\r\nIsExit=1\r\n");

  CIniDocument unix = CIniDocument::Parse("[a]\nk=1");  // no line end after the last line
  ASSERT_TRUE(unix.SetValue("b", "k", "2"));
  EXPECT_EQ(unix.Serialize(), "[a]\nk=1\n[b]\nk=2\n");
}

TEST(IniDocumentEdit, RefusesWhatCouldNotBeReadBack) {
  CIniDocument doc = CIniDocument::Parse("[a]\nk=1\n");
  EXPECT_FALSE(doc.SetValue("", "k", "v"));
  EXPECT_FALSE(doc.SetValue("a", "", "v"));
  EXPECT_FALSE(doc.SetValue("a", "k", "line\nbreak"));
  EXPECT_FALSE(doc.SetValue("a", "k=x", "v"));
  EXPECT_FALSE(doc.SetValue("a]", "k", "v"));
  EXPECT_FALSE(doc.SetValue("a", ";k", "v"));
  EXPECT_FALSE(doc.SetValue("a", "[k", "v"));
  EXPECT_EQ(doc.Serialize(), "[a]\nk=1\n");
}

TEST(IniDocumentEdit, DeleteKeyRemovesEveryOccurrenceInThatSectionOnly) {
  CIniDocument doc = CIniDocument::Parse("[a]\nk=1\nK=2\nj=3\n[b]\nk=4\n");
  EXPECT_TRUE(doc.DeleteKey("A", "k"));
  EXPECT_EQ(doc.Serialize(), "[a]\nj=3\n[b]\nk=4\n");
  EXPECT_FALSE(doc.DeleteKey("a", "k"));
  EXPECT_EQ(doc.Find("a", "k"), std::nullopt);
}

TEST(IniDocumentEdit, DeleteSectionRemovesItsLinesUpToTheNextSection) {
  CIniDocument doc = CIniDocument::Parse("[a]\nk=1\n; note\n[B]\nk=2\n[c]\nk=3\n[b]\nk=4\n");
  EXPECT_TRUE(doc.DeleteSection("b"));
  EXPECT_EQ(doc.Serialize(), "[a]\nk=1\n; note\n[c]\nk=3\n");
  EXPECT_FALSE(doc.DeleteSection("b"));
  EXPECT_FALSE(doc.HasSection("b"));
  EXPECT_TRUE(doc.HasSection("C"));
}

}  // namespace
