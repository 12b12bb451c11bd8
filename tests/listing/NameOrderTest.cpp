#include "listing/NameOrder.h"

#include <QLocale>
#include <QString>
#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace nomilo {
namespace {

using Names = std::vector<std::string>;

// The locale of the lists for the lifetime of the object.
class LocaleScope {
public:
    explicit LocaleScope(const QLocale& locale) { QLocale::setDefault(locale); }
    ~LocaleScope() { QLocale::setDefault(QLocale::system()); }
};

// Names that make the sort work: beginnings shared for 7 to 17 bytes (keys are sorted eight bytes
// at a time), letters in either case, accents precomposed and not, bytes that are not UTF-8,
// and names given twice.
Names MixedNames(std::mt19937& random, int count) {
    const char* stems[] = {"",
                           "IMG_2024",
                           "img_2024",
                           "Folder_0000",
                           "folder_0000123",
                           "a",
                           "A",
                           "\xc3\xa9t\xc3\xa9",
                           "e\xcc\x81t\xc3\xa9",
                           "\xff",
                           "\xc3",
                           "Zeta_long_name_"};
    const char* tails[] = {"",     "1",        "12",       "a", "B",   ".jpg",
                           ".JPG", "\xc3\xa4", "\xc3\x84", "_", "\xff"};
    Names names;
    for (int i = 0; i < count; ++i) {
        std::string name = stems[random() % std::size(stems)];
        name += tails[random() % std::size(tails)];
        for (int digits = static_cast<int>(random() % 3); digits > 0; --digits)
            name += static_cast<char>('0' + random() % 10);
        names.push_back(name.empty() ? "x" : name);
    }
    return names;
}

// The names in the order `keys` gives them.
Names InOrder(const TNameKeys& keys, const std::vector<std::uint32_t>& order) {
    Names sorted;
    for (std::uint32_t name : order)
        sorted.emplace_back(keys.Name(name));
    return sorted;
}

TEST(NameOrder, TheCLocaleSortsByCaseFoldedCodePointsThenByBytes) {
    const LocaleScope c(QLocale::c());
    std::mt19937 random(7);
    const Names names = MixedNames(random, 2000);
    TNameKeys keys;
    for (const std::string& name : names)
        keys.Add(name);
    // What the order means, worked out the long way: the whole name folded as Unicode folds it.
    const auto folded = [](const std::string& name) {
        return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))
            .toCaseFolded()
            .toUtf8()
            .toStdString();
    };
    Names expected = names;
    std::sort(expected.begin(), expected.end(), [&](const std::string& a, const std::string& b) {
        const std::string fa = folded(a), fb = folded(b);
        return fa != fb ? fa < fb : a < b;
    });
    EXPECT_EQ(InOrder(keys, keys.Order()), expected);
    EXPECT_TRUE(keys.EqualByLocale(keys.Add("Photos"), keys.Add("photos")));
    EXPECT_TRUE(keys.EqualByLocale(keys.Add("\xc3\x89t\xc3\xa9"), keys.Add("\xc3\xa9t\xc3\xa9")));
    EXPECT_FALSE(keys.EqualByLocale(keys.Add("a"), keys.Add("b")));
}

TEST(NameOrder, ALocaleSortsByItsCollationAndEveryWayToSortAgrees) {
    const LocaleScope english(QLocale(QLocale::English, QLocale::UnitedStates));
    std::mt19937 random(11);
    const Names names = MixedNames(random, 2000);
    TNameKeys keys;
    for (const std::string& name : names)
        keys.Add(name);
    const std::vector<std::uint32_t> order = keys.Order();
    for (std::size_t i = 1; i < order.size(); ++i)
        ASSERT_FALSE(keys.Less(order[i], order[i - 1])) << i;
    // Case and the form of an accent do not count; accents do; the bytes decide the rest.
    const std::uint32_t photos = keys.Add("Photos"), lower = keys.Add("photos");
    EXPECT_TRUE(keys.EqualByLocale(photos, lower));
    EXPECT_TRUE(keys.Less(photos, lower));
    EXPECT_TRUE(keys.EqualByLocale(keys.Add("e\xcc\x81t\xc3\xa9"), keys.Add("\xc3\xa9t\xc3\xa9")));
    EXPECT_FALSE(keys.EqualByLocale(keys.Add("ete"), keys.Add("\xc3\xa9t\xc3\xa9")));
    EXPECT_TRUE(keys.Less(keys.Add("ete"), keys.Add("\xc3\xa9t\xc3\xa9")));

    // Letting go of the keys leaves the same order, and the names where their spans say.
    const Names sorted = InOrder(keys, keys.Order());
    const std::vector<std::uint32_t> taken = keys.TakeOrder();
    const QByteArray buffer = keys.TakeNames();
    Names fromBuffer;
    for (std::uint32_t name : taken) {
        const TTextSpan span = keys.NameSpan(name);
        fromBuffer.emplace_back(buffer.constData() + span.offset, span.length);
    }
    EXPECT_EQ(fromBuffer, sorted);
}

} // namespace
} // namespace nomilo
