#include "core/products/product_table.h"

#include <gtest/gtest.h>

#include <string>

#include "core/products/product_selection.h"
#include "support/memory_store.h"
#include "support/temp_folder.h"

namespace dekvanto::core {
namespace {

using Access = MemoryStore::Access;

TEST(ProductList, ValidLinesInFileOrderAndInvalidOnesSkipped) {
    const std::string text =
        "# DEK VANTO products\r\n"
        "\"VANTO 200\"  ldr200.bin  16  1  1\r\n"
        "\r\n"
        "\"VANTO 1\" ldr1.bin 8 0 0   # the first one\n"
        "\"Broken  ldr.bin 16 1 1\n"
        "\"Hash #1\" ldr.bin 16 1 1\n"
        "\"Short\" ldr.bin 16 1\n"
        "\"Word\" ldr.bin sixteen 1 1\n"
        "\"Nothing after\"\n"
        "junk before \"Tail junk\"\tl.bin\t+16\t-2\t3xyz";
    const ProductTable table = ParseProductList(text);
    const ProductTable expected = {
        {"VANTO 200", "ldr200.bin", 1, 1, 1},
        {"VANTO 1", "ldr1.bin", 0, 0, 0},
        {"Tail junk", "l.bin", 1, -2, 3},
    };
    EXPECT_EQ(table, expected);
}

TEST(ProductList, BusWidthBecomesAnIndexWithoutRangeCheck) {
    struct Case {
        const char *width;
        int32_t index;
    };
    for (const Case c : {Case{"8", 0}, Case{"16", 1}, Case{"4", -1}, Case{"0", -1}, Case{"15", 0},
                         Case{"32", 3}, Case{"-8", -2}, Case{"4294967312", 1}}) {
        const auto product = ParseProductLine(std::string("\"P\" l.bin ") + c.width + " 0 0");
        ASSERT_TRUE(product) << c.width;
        EXPECT_EQ(product->ram_size, c.index) << c.width;
    }
}

TEST(ProductList, LongNamesLoaderNamesAndLinesAreKeptWhole) {
    const std::string name(150, 'N');
    const std::string loader(40, 'l');
    const std::string padding(400, ' ');
    const auto product = ParseProductLine("\"" + name + "\"" + padding + loader + " 16 3 1");
    ASSERT_TRUE(product);
    EXPECT_EQ(product->name, name);
    EXPECT_EQ(product->loader_file, loader);
    EXPECT_EQ(product->wait_states, 3);
}

TEST(ProductList, MissingFileGivesAnEmptyTable) {
    TempFolder folder;
    EXPECT_TRUE(LoadProductList(folder / "dekvanto.cfg").empty());
    folder.Write("dekvanto.cfg", "\"A\" a.bin 8 0 1\n");
    EXPECT_EQ(LoadProductList(folder / "dekvanto.cfg").size(), 1u);
}

class ProductSelectionTest : public ::testing::Test {
  protected:
    ProductSelection selection_{
        {{"xABC", "x.bin", 0, 0, 0}, {"Abcd 16", "abcd.bin", 1, 2, 3}, {"abc", "abc.bin", 0, 1, 0}},
        "/opt/dekvanto"};
    MemoryTarget current_{"/home/tech/own.bin", 1, 3};
};

TEST_F(ProductSelectionTest, EntriesAreNoneThenTheNamesInFileOrder) {
    EXPECT_EQ(selection_.Entries(), (std::vector<std::string>{"None", "xABC", "Abcd 16", "abc"}));
}

TEST_F(ProductSelectionTest, RestoreSelectsTheFirstEntryBeginningWithTheStoredName) {
    MemoryStore store{{"Setting", "Product", "ABC"}};
    const std::optional<ProductChoice> choice = selection_.Restore(store, current_);
    EXPECT_EQ(selection_.Position(), 2);
    ASSERT_TRUE(choice);
    EXPECT_EQ(*choice, (ProductChoice{{"/opt/dekvanto/abcd.bin", 1, 2}, true}));
    EXPECT_EQ(store.Writes(),
              (std::vector<Access>{
                  {"WriteText", "Setting", "Product", "Abcd 16"},
                  {"WriteText", "PathOption", "LoadFilePath", "/opt/dekvanto/abcd.bin"},
                  {"WriteInt", "Setting", "RamSize", "1"},
                  {"WriteInt", "Setting", "RamWaitState", "2"},
              }));
}

TEST_F(ProductSelectionTest, RestoreWithoutAMatchOrWithoutAStoredNameWritesNothing) {
    for (const char *stored : {"VANTO", "", "none"}) {
        MemoryStore store;
        if (*stored != '\0') {
            store.Preset("Setting", "Product", stored);
        }
        EXPECT_EQ(selection_.Restore(store, current_), std::nullopt) << stored;
        EXPECT_EQ(selection_.Position(), 0) << stored;
        EXPECT_TRUE(store.Writes().empty()) << stored;
    }
}

TEST(ProductSelection, StoredNoneSelectsAProductWhoseNameBeginsWithNone) {
    ProductSelection selection({{"Nonesuch", "n.bin", 0, 0, 0}}, "/p/");
    MemoryStore store{{"Setting", "Product", "None"}};
    ASSERT_TRUE(selection.Restore(store, {}));
    EXPECT_EQ(selection.Position(), 1);
}

TEST_F(ProductSelectionTest, PersonalizationFollowsBitZeroOfTheFlags) {
    MemoryStore store;
    EXPECT_FALSE(selection_.PersonalizationAllowed());
    EXPECT_TRUE(selection_.Choose(2, store, current_)->personalization_allowed);  // flags 3
    EXPECT_TRUE(selection_.PersonalizationAllowed());
    EXPECT_FALSE(selection_.Choose(3, store, current_)->personalization_allowed);  // flags 0
    EXPECT_FALSE(selection_.PersonalizationAllowed());
}

TEST_F(ProductSelectionTest, ChoosingNoneWritesOnlyTheProductName) {
    MemoryStore store;
    selection_.Choose(1, store, current_);
    store.ClearLog();
    EXPECT_EQ(selection_.Choose(0, store, current_), std::nullopt);
    EXPECT_EQ(selection_.Position(), 0);
    EXPECT_FALSE(selection_.PersonalizationAllowed());
    EXPECT_EQ(store.Writes(), (std::vector<Access>{{"WriteText", "Setting", "Product", "None"}}));
}

TEST_F(ProductSelectionTest, NoSelectionStoresNoneWithTheCurrentValues) {
    MemoryStore store;
    EXPECT_EQ(selection_.Choose(-1, store, current_), std::nullopt);
    EXPECT_EQ(selection_.Position(), -1);
    EXPECT_EQ(store.Writes(), (std::vector<Access>{
                                  {"WriteText", "Setting", "Product", "None"},
                                  {"WriteText", "PathOption", "LoadFilePath", current_.loader_path},
                                  {"WriteInt", "Setting", "RamSize", "1"},
                                  {"WriteInt", "Setting", "RamWaitState", "3"},
                              }));
}

TEST(ProductSelection, AnyChoiceWithAnEmptyTableWritesOnlyNone) {
    ProductSelection selection({}, "/p/");
    EXPECT_EQ(selection.Entries(), std::vector<std::string>{"None"});
    for (const int position : {-1, 0, 1}) {
        MemoryStore store;
        EXPECT_EQ(selection.Choose(position, store, {"/l.bin", 0, 0}), std::nullopt);
        EXPECT_EQ(store.Writes(),
                  (std::vector<Access>{{"WriteText", "Setting", "Product", "None"}}));
    }
}

TEST_F(ProductSelectionTest, ResetShowsNoneButTheNextStartAppliesTheStoredProductAgain) {
    MemoryStore store;
    selection_.Choose(1, store, current_);
    store.ClearLog();
    selection_.ResetToNone();
    EXPECT_EQ(selection_.Position(), 0);
    EXPECT_TRUE(store.Writes().empty());

    ProductSelection next_start(selection_.Table(), "/opt/dekvanto/");
    const std::optional<ProductChoice> choice = next_start.Restore(store, current_);
    EXPECT_EQ(next_start.Position(), 1);
    ASSERT_TRUE(choice);
    EXPECT_EQ(choice->target, (MemoryTarget{"/opt/dekvanto/x.bin", 0, 0}));
}

}  // namespace
}  // namespace dekvanto::core
