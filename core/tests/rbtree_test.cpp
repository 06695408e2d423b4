#include "rbtree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

// A record that knows how many of its kind are alive, so the tests can see
// that a tree frees every record and leaf it owns.
struct Item : Object<Item> {
    static int alive;
    Item() { ++alive; }
    explicit Item(std::string k) : Item() { key = std::move(k); }
    ~Item() override { --alive; }
};
int Item::alive = 0;

bool isLeaf(const Item* x) {
    return x->key == "NIL";
}

void walk(const Item* x, std::vector<std::string>& keys) {
    if (isLeaf(x)) {
        return;
    }
    walk(x->left, keys);
    keys.push_back(x->key);
    walk(x->right, keys);
}

std::vector<std::string> keysInOrder(const RBTree<Item>& tree) {
    std::vector<std::string> keys;
    walk(tree.root, keys);
    return keys;
}

struct Shape {
    int leaves = 0;
    int height = 0;
};

// Checks the red-black rules, key order and parent links below x and returns
// its black height; records what it saw in shape. Every empty position holds
// the tree's nil record.
int checkSubtree(const Item* x, const Item* parent, const Item* nil, Shape& shape, int depth) {
    if (isLeaf(x)) {
        EXPECT_EQ(x, nil);
        EXPECT_EQ(x->color, "black");
        EXPECT_EQ(x->left, nullptr);
        EXPECT_EQ(x->right, nullptr);
        ++shape.leaves;
        shape.height = std::max(shape.height, depth);
        return 1;
    }
    EXPECT_EQ(x->parent, parent) << x->key;
    EXPECT_TRUE(x->color == "red" || x->color == "black") << x->key;
    if (x->color == "red") {
        EXPECT_NE(x->left->color, "red") << "red child under red " << x->key;
        EXPECT_NE(x->right->color, "red") << "red child under red " << x->key;
    }
    if (!isLeaf(x->left)) {
        EXPECT_LT(x->left->key, x->key);
    }
    if (!isLeaf(x->right)) {
        EXPECT_GT(x->right->key, x->key);
    }
    const int leftHeight = checkSubtree(x->left, x, nil, shape, depth + 1);
    const int rightHeight = checkSubtree(x->right, x, nil, shape, depth + 1);
    EXPECT_EQ(leftHeight, rightHeight) << "black heights differ under " << x->key;
    return leftHeight + (x->color == "black" ? 1 : 0);
}

void expectValidTree(const RBTree<Item>& tree) {
    ASSERT_NE(tree.nil, nullptr);
    EXPECT_EQ(tree.nil->key, "NIL");
    EXPECT_EQ(tree.nil->color, "black");
    EXPECT_EQ(tree.root->color, "black");
    Shape shape;
    checkSubtree(tree.root, tree.nil, tree.nil, shape, 0);
    EXPECT_EQ(shape.leaves, tree.count + 1);
    EXPECT_LE(shape.height, 2 * std::log2(tree.count + 1.0));
    const std::vector<std::string> keys = keysInOrder(tree);
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
}

class RBTreeTest : public ::testing::Test {
  protected:
    void SetUp() override { Item::alive = 0; }
    void TearDown() override { EXPECT_EQ(Item::alive, 0) << "records leaked or freed twice"; }
};

TEST_F(RBTreeTest, RandomInsertsKeepRedBlackRulesAndMatchASortedSet) {
    std::mt19937 random(20261210);
    std::uniform_int_distribution<int> number(0, 3000);
    RBTree<Item> tree(new Item(), "Master-Tree");
    std::set<std::string> expected;
    for (int i = 0; i < 2000; ++i) {
        const std::string key = std::to_string(number(random));
        auto* item = new Item(key);
        const bool fresh = expected.insert(key).second;
        ASSERT_EQ(tree.insert(item), fresh) << key;
        if (!fresh) {
            delete item;
        }
    }
    EXPECT_EQ(tree.count, static_cast<int>(expected.size()));
    EXPECT_EQ(keysInOrder(tree), std::vector<std::string>(expected.begin(), expected.end()));
    expectValidTree(tree);
    // count records and the nil record, which stands in every leaf position
    EXPECT_EQ(Item::alive, tree.count + 1);
}

TEST_F(RBTreeTest, SortedInsertionOrdersStayBalanced) {
    const std::vector<std::vector<std::string>> orders = {
        {"1", "2", "3", "4", "5", "6", "7", "8", "9"},
        {"9", "8", "7", "6", "5", "4", "3", "2", "1"},
        {"5", "4", "6", "3", "7", "2", "8", "1", "9"},
    };
    for (const auto& order : orders) {
        SCOPED_TRACE(order.front());
        RBTree<Item> tree(new Item(), "t");
        for (const std::string& key : order) {
            ASSERT_TRUE(tree.insert(new Item(key)));
            expectValidTree(tree);
        }
        EXPECT_EQ(tree.count, 9);
    }
}

// A tree built at once from records in key order keeps the red-black rules
// at every size, whether or not its lowest level is full, owns the one nil
// record that a tree built by inserts owns, and takes later inserts like any
// other.
TEST_F(RBTreeTest, SortedRecordsBuildAValidTreeAtOnce) {
    for (const int size : {0, 1, 2, 3, 4, 6, 7, 8, 100, 255, 256}) {
        SCOPED_TRACE(size);
        std::vector<std::string> keys;
        for (int i = 0; i < size; ++i) {
            keys.push_back(std::to_string(2 * i));
        }
        std::sort(keys.begin(), keys.end());
        std::vector<Item*> records;
        for (const std::string& key : keys) {
            records.push_back(new Item(key));
        }
        RBTree<Item> tree(new Item(), "t");
        ASSERT_TRUE(tree.insertSorted(records));
        EXPECT_EQ(tree.count, size);
        EXPECT_EQ(keysInOrder(tree), keys);
        if (size == 0) {
            continue;
        }
        expectValidTree(tree);
        EXPECT_EQ(Item::alive, size + 1);
        for (const std::string& key : keys) {
            EXPECT_EQ(tree.find(key)->key, key);
        }
        ASSERT_TRUE(tree.insert(new Item("1")));
        auto* duplicate = new Item(keys.front());
        EXPECT_FALSE(tree.insert(duplicate));
        delete duplicate;
        expectValidTree(tree);
    }
}

// Records out of order, repeated, reserved or null, or a tree that holds
// records already, leave every record with the caller and the tree as it was.
TEST_F(RBTreeTest, SortedBuildRefusesWhatItCannotBuild) {
    const std::vector<std::vector<std::string>> refused = {
        {"b", "a"}, {"a", "a"}, {"a", "NIL"}, {"a", ""}};
    for (const auto& keys : refused) {
        std::vector<Item*> records;
        for (const std::string& key : keys) {
            records.push_back(key.empty() ? nullptr : new Item(key));
        }
        RBTree<Item> tree(new Item(), "t");
        EXPECT_FALSE(tree.insertSorted(records)) << keys.front() << keys.back();
        EXPECT_EQ(tree.count, 0);
        for (Item* record : records) {
            delete record;
        }
    }
    RBTree<Item> tree(new Item(), "t");
    ASSERT_TRUE(tree.insert(new Item("m")));
    auto* later = new Item("z");
    EXPECT_FALSE(tree.insertSorted({later}));
    EXPECT_EQ(tree.count, 1);
    delete later;
}

TEST_F(RBTreeTest, WalksMeetKeysInByteOrder) {
    RBTree<Item> tree(new Item(), "t");
    for (const char* key : {"2", "10", "1", "B", "a", "\xC3\xA9", "ab", ""}) {
        ASSERT_TRUE(tree.insert(new Item(key)));
    }
    // bytes compare unsigned, and a prefix sorts before its extensions
    EXPECT_EQ(keysInOrder(tree),
              (std::vector<std::string>{"", "1", "10", "2", "B", "a", "ab", "\xC3\xA9"}));
}

TEST_F(RBTreeTest, DuplicateKeyIsRefusedAndChangesNothing) {
    RBTree<Item> tree(new Item(), "t");
    auto* first = new Item("7");
    ASSERT_TRUE(tree.insert(first));
    ASSERT_TRUE(tree.insert(new Item("3")));
    auto* second = new Item("7");
    EXPECT_FALSE(tree.insert(second));
    EXPECT_EQ(tree.count, 2);
    EXPECT_EQ(tree.find("7"), first);
    EXPECT_EQ(keysInOrder(tree), (std::vector<std::string>{"3", "7"}));
    EXPECT_EQ(second->left, nullptr);
    EXPECT_EQ(second->parent, nullptr);
    delete second;  // refused, so still the caller's
    expectValidTree(tree);
}

TEST_F(RBTreeTest, ReservedKeyAndNullAreRefused) {
    RBTree<Item> tree(new Item(), "t");
    auto* reserved = new Item();
    EXPECT_FALSE(tree.insert(reserved));
    EXPECT_FALSE(tree.insert(nullptr));
    EXPECT_EQ(tree.count, 0);
    EXPECT_EQ(tree.root->key, "NIL");
    delete reserved;
}

TEST_F(RBTreeTest, FindReturnsTheVeryRecordOrNull) {
    RBTree<Item> empty(new Item(), "t");
    Item* const leaf = empty.root;
    EXPECT_EQ(empty.find("1"), nullptr);
    EXPECT_EQ(empty.find("NIL"), nullptr);
    EXPECT_EQ(empty.root, leaf);
    EXPECT_EQ(leaf->color, "");  // the constructor's leaf keeps its empty colour
    EXPECT_EQ(empty.nil, nullptr);

    RBTree<Item> tree(new Item(), "t");
    std::vector<Item*> items;
    for (const char* key : {"m", "c", "x", "a", "e"}) {
        items.push_back(new Item(key));
        ASSERT_TRUE(tree.insert(items.back()));
    }
    for (Item* item : items) {
        EXPECT_EQ(tree.find(item->key), item);
    }
    EXPECT_EQ(tree.find("b"), nullptr);
    EXPECT_EQ(tree.find("z"), nullptr);
    EXPECT_EQ(tree.find("NIL"), nullptr);
}

TEST_F(RBTreeTest, NullLeafGivenToTheConstructorIsReplaced) {
    RBTree<Item> tree(nullptr, "t");
    ASSERT_NE(tree.root, nullptr);
    EXPECT_EQ(tree.find("a"), nullptr);
    EXPECT_TRUE(tree.insert(new Item("a")));
}

}  // namespace

// Marker indexes are looked up by number through a table; every key, plain
// number or not, is found exactly as find finds it, before and after an insert.
TEST_F(RBTreeTest, NumberedLookUpFindsWhatFindFinds) {
    RBTree<Item> tree(new Item(), "numbers");
    for (const char* key : {"0", "1", "10", "2", "07", "abc", "999999", "1000000000"}) {
        tree.insert(new Item(key));
    }
    const auto numbered = [&tree](const std::string& key) -> Item* {
        std::size_t number = 0;
        return RBTree<Item>::plainNumber(key, number) ? tree.findNumbered(number, key) : nullptr;
    };
    for (const char* key : {"0", "1", "2", "10", "3", "999999", "11"}) {
        EXPECT_EQ(numbered(key), tree.find(key)) << key;
    }
    std::size_t number = 0;
    for (const char* key : {"07", "abc", "", "-1", "1000000000", "1e3"}) {
        EXPECT_FALSE(RBTree<Item>::plainNumber(key, number)) << key;
    }
    EXPECT_EQ(numbered("10")->key, "10");
    EXPECT_EQ(numbered("3"), nullptr);

    // An insert after the table was built shows at once.
    tree.insert(new Item("3"));
    ASSERT_NE(numbered("3"), nullptr);
    EXPECT_EQ(numbered("3")->key, "3");
    EXPECT_EQ(numbered("10")->key, "10");
}

// A chain of records hung by hand on one side, deeper than any balanced tree.
Item* chain(int length, bool leftward) {
    Item* root = new Item();
    for (int i = 0; i < length; ++i) {
        // Each new root holds the chain below it on one side, so its key is
        // beyond all of the chain's: larger for a leftward chain, smaller for
        // a rightward one (all keys of six digits).
        auto* record = new Item(std::to_string(leftward ? 100000 + i : 300000 - i));
        delete record->left;
        delete record->right;
        (leftward ? record->left : record->right) = root;
        (leftward ? record->right : record->left) = new Item();
        root = record;
    }
    return root;
}

TEST_F(RBTreeTest, InOrderWalkVisitsEveryRecordOnceInKeyOrder) {
    RBTree<Item> balanced(nullptr, "balanced");
    for (int i = 0; i < 300; ++i) {
        balanced.insert(new Item(std::to_string(1000 + (i * 7919) % 300)));
    }
    Item* const leftChain = chain(200, true);
    Item* const rightChain = chain(200, false);
    Item* const leaf = new Item();
    for (Item* const root :
         {balanced.root, leftChain, rightChain, leaf, static_cast<Item*>(nullptr)}) {
        std::vector<std::string> expected;
        if (root != nullptr) {
            walk(root, expected);
        }
        std::vector<std::string> visited;
        forEachRecordInOrder(root, [&visited](Item& record) { visited.push_back(record.key); });
        EXPECT_EQ(visited, expected);
    }
    EXPECT_EQ(keysInOrder(balanced).size(), 300u);
    for (Item* const root : {leftChain, rightChain, leaf}) {
        delete root;
    }
}
