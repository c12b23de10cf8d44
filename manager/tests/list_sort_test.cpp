// The list's sort on a table of rows held in memory, and the cell ellipsis with a fixed-pitch width.
#include "Ellipsis.h"
#include "ListSort.h"
#include <gtest/gtest.h>
#include <climits>
#include <utility>
#include <vector>

using namespace manager;

namespace {

struct Row {
    std::vector<std::wstring> cells;
    long data;
};

class Table final : public RowTable {
public:
    std::vector<Row> rows;
    int swaps = 0;
    int RowCount() const override { return static_cast<int>(rows.size()); }
    std::wstring CellText(int row, int column) const override { return rows.at(row).cells.at(column); }
    void SwapRows(int a, int b) override
    {
        std::swap(rows.at(a), rows.at(b));
        ++swaps;
    }
    // Each row's data, top to bottom.
    std::vector<long> Order() const
    {
        std::vector<long> out;
        for (const auto& r : rows)
            out.push_back(r.data);
        return out;
    }
    // Every row still holds its own cells: the data names the row it came from.
    bool RowsWhole() const
    {
        for (const auto& r : rows)
            if (r.cells.at(2) != std::to_wstring(r.data))
                return false;
        return true;
    }
};

// Rows of (number, text, data-as-text).
Table Make(const std::vector<std::pair<std::wstring, std::wstring>>& cells)
{
    Table t;
    long data = 100;
    for (const auto& [n, s] : cells) {
        t.rows.push_back({{n, s, std::to_wstring(data)}, data});
        ++data;
    }
    return t;
}

} // namespace

TEST(ListSort, NumericColumnsCompareValuesAndRowsMoveWhole)
{
    // Odd count, a duplicate, signs, blanks and trailing text: "10" must come after "9".
    Table t = Make(
        {{L"10", L"a"}, {L"9", L"b"}, {L" -3x", L"c"}, {L"9", L"d"}, {L"+250", L"e"}, {L"", L"f"}, {L"007", L"g"}});
    SortRows(t, 0, true, true);
    const auto order = t.Order();
    EXPECT_EQ(std::vector<long>(order.begin(), order.begin() + 3), (std::vector<long>{102, 105, 106}));
    EXPECT_EQ(std::vector<long>(order.begin() + 5, order.end()), (std::vector<long>{100, 104}));
    std::vector<int> values;
    for (const auto& r : t.rows)
        values.push_back(TextToInt(r.cells[0]));
    EXPECT_EQ(values, (std::vector<int>{-3, 0, 7, 9, 9, 10, 250}));
    EXPECT_TRUE(t.RowsWhole());

    SortRows(t, 0, false, true);
    values.clear();
    for (const auto& r : t.rows)
        values.push_back(TextToInt(r.cells[0]));
    EXPECT_EQ(values, (std::vector<int>{250, 10, 9, 9, 7, 0, -3}));
    EXPECT_TRUE(t.RowsWhole());
}

TEST(ListSort, TextColumnsCompareAsStringsBothWays)
{
    Table t = Make({{L"1", L"pear"}, {L"2", L"Apple"}, {L"3", L"apple"}, {L"4", L"pear"}, {L"5", L"10"}, {L"6", L"9"}});
    SortRows(t, 1, true, false);
    std::vector<std::wstring> texts;
    for (const auto& r : t.rows)
        texts.push_back(r.cells[1]);
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"10", L"9", L"Apple", L"apple", L"pear", L"pear"}));
    EXPECT_TRUE(t.RowsWhole());
    EXPECT_EQ(t.rows[0].data, 104);

    SortRows(t, 1, false, false);
    texts.clear();
    for (const auto& r : t.rows)
        texts.push_back(r.cells[1]);
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"pear", L"pear", L"apple", L"Apple", L"9", L"10"}));
    EXPECT_TRUE(t.RowsWhole());
}

TEST(ListSort, LargeAndEqualTablesSortWithoutDeepRecursion)
{
    // All rows equal, then a descending run: both are the middle pivot's hard cases.
    Table same;
    for (long i = 0; i < 20000; ++i)
        same.rows.push_back({{L"5", L"x", std::to_wstring(i)}, i});
    SortRows(same, 0, true, true);
    EXPECT_TRUE(same.RowsWhole());

    Table run;
    for (long i = 0; i < 20001; ++i)
        run.rows.push_back({{std::to_wstring(20000 - i), L"x", std::to_wstring(i)}, i});
    SortRows(run, 0, true, true);
    for (int i = 0; i < 20001; ++i)
        ASSERT_EQ(TextToInt(run.rows[i].cells[0]), i);
    EXPECT_TRUE(run.RowsWhole());

    Table one = Make({{L"1", L"a"}});
    SortRows(one, 0, true, true);
    SortRows(one, -1, true, true);
    EXPECT_EQ(one.swaps, 0);
}

TEST(ListSort, TextToIntClampsInsteadOfOverflowing)
{
    EXPECT_EQ(TextToInt(L"2147483647"), INT_MAX);
    EXPECT_EQ(TextToInt(L"2147483648"), INT_MAX);
    EXPECT_EQ(TextToInt(L"99999999999999999999999999"), INT_MAX);
    EXPECT_EQ(TextToInt(L"-2147483648"), INT_MIN);
    EXPECT_EQ(TextToInt(L"-99999999999999999999"), INT_MIN);
    EXPECT_EQ(TextToInt(L"\t 42abc"), 42);
    EXPECT_EQ(TextToInt(L"- 4"), 0);
    EXPECT_EQ(TextToInt(L"x1"), 0);
}

TEST(Ellipsis, CutsToTheWidthWithThreeDotsOrTwo)
{
    // Every character is 10 units wide, a dot 3.
    auto width = [](std::wstring_view s) {
        int w = 0;
        for (wchar_t c : s)
            w += c == L'.' ? 3 : 10;
        return w;
    };
    EXPECT_EQ(FitText(L"abcdef", 60, width), L"abcdef");
    EXPECT_EQ(FitText(L"", 0, width), L"");
    EXPECT_EQ(FitText(L"abcdef", 59, width), L"abcde..."); // 50 + 9
    EXPECT_EQ(FitText(L"abcdef", 29, width), L"ab..."); // exactly 29
    EXPECT_EQ(FitText(L"abcdef", 28, width), L"ab.."); // one would remain with "...": two dots
    EXPECT_EQ(FitText(L"abcdef", 16, width), L"a..");
    EXPECT_EQ(FitText(L"abcdef", 2, width), L".."); // nothing fits: the drawing clips
    // A cut never leaves half of a surrogate pair.
    EXPECT_EQ(FitText(L"ab\xD83D\xDE00zz", 39, width), L"ab...");
}
