#include "base/vector_map_i.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kx {
namespace {

using map = vector_map_i<int>;

std::wstring keys_of(const map& m) {
  std::wstring out;
  for (const auto& [key, value] : m) out += key.str() + L"=" + std::to_wstring(value) + L";";
  return out;
}

// Every key must be found at the position where it stands.
void expect_index_consistent(const map& m) {
  for (std::size_t i = 0; i < m.size(); ++i) EXPECT_EQ(m.find(m.at(i).first), i) << i;
}

TEST(VectorMapITest, FirstInsertWinsWhateverTheCase) {
  map m;
  EXPECT_TRUE(m.insert(L"Alpha", 1).second);
  EXPECT_TRUE(m.insert(L"beta", 2).second);
  const auto again = m.insert(L"ALPHA", 3);
  EXPECT_FALSE(again.second);
  EXPECT_EQ(*again.first, 1);
  EXPECT_EQ(keys_of(m), L"Alpha=1;beta=2;");
  EXPECT_EQ(m.find(L"BETA"), 1u);
  EXPECT_EQ(m.find(L"gamma"), map::npos);
  EXPECT_EQ(m.get(L"gamma"), nullptr);
  ASSERT_NE(m.get(L"alpha"), nullptr);
  EXPECT_EQ(*m.get(L"alpha"), 1);
}

TEST(VectorMapITest, EraseMovesLaterPairsUpAndRenumbers) {
  map m;
  for (int i = 0; i < 5; ++i) m.insert(string(std::wstring(1, wchar_t(L'a' + i))), i);
  EXPECT_TRUE(m.erase(L"B"));
  EXPECT_FALSE(m.erase(L"b"));
  EXPECT_EQ(keys_of(m), L"a=0;c=2;d=3;e=4;");
  expect_index_consistent(m);
  EXPECT_TRUE(m.erase(L"e"));
  EXPECT_TRUE(m.erase(L"a"));
  EXPECT_EQ(keys_of(m), L"c=2;d=3;");
  expect_index_consistent(m);
  // A key inserted after erasures is indexed at its real position.
  m.insert(L"z", 9);
  EXPECT_EQ(m.find(L"Z"), 2u);
  expect_index_consistent(m);
}

TEST(VectorMapITest, RenameKeepsThePosition) {
  map m;
  m.insert(L"one", 1);
  m.insert(L"two", 2);
  m.insert(L"three", 3);
  EXPECT_TRUE(m.rename(L"TWO", L"deux"));
  EXPECT_EQ(keys_of(m), L"one=1;deux=2;three=3;");
  EXPECT_FALSE(m.contains(L"two"));
  expect_index_consistent(m);
  EXPECT_FALSE(m.rename(L"missing", L"x"));
  EXPECT_FALSE(m.rename(L"one", L"THREE"));  // taken by another element
  EXPECT_EQ(keys_of(m), L"one=1;deux=2;three=3;");
  EXPECT_TRUE(m.rename(L"one", L"ONE"));  // same element: only the spelling changes
  EXPECT_EQ(keys_of(m), L"ONE=1;deux=2;three=3;");
  expect_index_consistent(m);
}

TEST(VectorMapITest, MoveAfterInBothDirections) {
  map m;
  for (int i = 0; i < 5; ++i) m.insert(string(std::wstring(1, wchar_t(L'a' + i))), i);
  EXPECT_TRUE(m.move_after(L"a", L"c"));  // forwards
  EXPECT_EQ(keys_of(m), L"b=1;c=2;a=0;d=3;e=4;");
  expect_index_consistent(m);
  EXPECT_TRUE(m.move_after(L"E", L"b"));  // backwards
  EXPECT_EQ(keys_of(m), L"b=1;e=4;c=2;a=0;d=3;");
  expect_index_consistent(m);
  EXPECT_TRUE(m.move_after(L"c", L"c"));  // behind itself: unchanged
  EXPECT_TRUE(m.move_after(L"c", L"e"));  // already there: unchanged
  EXPECT_EQ(keys_of(m), L"b=1;e=4;c=2;a=0;d=3;");
  EXPECT_FALSE(m.move_after(L"x", L"a"));
  EXPECT_FALSE(m.move_after(L"a", L"x"));
}

TEST(VectorMapITest, SortIgnoresCaseAndRebuildsTheIndex) {
  map m;
  m.insert(L"delta", 4);
  m.insert(L"Bravo", 2);
  m.insert(L"alpha", 1);
  m.insert(L"Charlie", 3);
  m.insert(L"_under", 0);  // '_' sorts before letters folded to lower case
  EXPECT_TRUE(m.sort());
  EXPECT_EQ(keys_of(m), L"_under=0;alpha=1;Bravo=2;Charlie=3;delta=4;");
  expect_index_consistent(m);
  EXPECT_FALSE(m.sort());  // already in order
  EXPECT_TRUE(m.erase(L"bravo"));
  expect_index_consistent(m);
}

}  // namespace
}  // namespace kx
