// The package's ordered container: a red-black tree keyed by text that owns
// its records. Empty child positions hold a leaf record whose key is "NIL";
// every test for a leaf compares that key, so "NIL" is reserved. A tree's
// empty positions all hold its one nil record, as its root's parent does: a
// data set keeps one genotype tree per person, and a leaf record per
// genotype would double the memory the genotypes take.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "record_memory.h"

// Whether a key marks a leaf record. Compared as a view, so that the test
// stays inline: walks make it at every step.
inline bool isLeafKey(const std::string& key) {
    return std::string_view(key) == "NIL";
}

// Calls visit with every record below root in key order (root may be a leaf
// or null). Iterative with a stack of its own, so that a degenerate
// caller-built shape does not run deep: a balanced tree's path fits the fixed
// part, a deeper one spills into a vector. A child is tested for a leaf
// before it is stacked, so leaves cost one key test each and no step.
template <typename T, typename Visit>
void forEachRecordInOrder(T* root, Visit&& visit) {
    std::array<T*, 64> stack;
    std::vector<T*> deeper;
    std::size_t depth = 0;
    const auto push = [&](T* record) {
        if (depth < stack.size()) {
            stack[depth] = record;
        } else {
            deeper.push_back(record);
        }
        ++depth;
    };
    const auto pushLeftPath = [&](T* x) {
        while (x != nullptr && !isLeafKey(x->key)) {
            push(x);
            x = x->left;
        }
    };
    pushLeftPath(root);
    while (depth != 0) {
        --depth;
        T* x = nullptr;
        if (depth < stack.size()) {
            x = stack[depth];
        } else {
            x = deeper.back();
            deeper.pop_back();
        }
        visit(*x);
        pushLeftPath(x->right);
    }
}

// A record's colour, read and compared as its text: "" for a leaf record that
// stands in no tree yet, then "red" or "black". Kept in a byte instead of a
// text of its own, since a data set holds a record per genotype; a text other
// than those three is taken as "black", as the tree takes any text but "red".
class RecordColour {
  public:
    RecordColour() = default;
    // Implicit, so that a colour is set as a text is: color = "red".
    RecordColour(std::string_view text)  // NOLINT(google-explicit-constructor)
        : value_(text.empty()    ? Value::none
                 : text == "red" ? Value::red
                                 : Value::black) {}
    RecordColour(const char* text)  // NOLINT(google-explicit-constructor)
        : RecordColour(std::string_view(text)) {}

    std::string_view text() const {
        switch (value_) {
            case Value::red:
                return "red";
            case Value::black:
                return "black";
            default:
                return "";
        }
    }
    bool isRed() const { return value_ == Value::red; }

    friend bool operator==(const RecordColour& colour, std::string_view text) {
        return colour.text() == text;
    }
    friend bool operator!=(const RecordColour& colour, std::string_view text) {
        return colour.text() != text;
    }
    friend std::ostream& operator<<(std::ostream& out, const RecordColour& colour) {
        return out << colour.text();
    }

  private:
    enum class Value : unsigned char { none, red, black };
    Value value_ = Value::none;
};

// Base of every record kept in an RBTree<T> (T derives from Object<T>).
template <typename T>
class Object {
  public:
    std::string key = "NIL";
    RecordColour color;
    T* left = nullptr;
    T* right = nullptr;
    T* parent = nullptr;
    bool greyMark = false;  // visited by the family-structure walk
    bool blueMark = false;  // visited by the loop search
    bool redMark = false;   // involved in a Mendelian error

    Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

  protected:
    // A record made with its key, which then is not first set to "NIL".
    explicit Object(std::string_view recordKey) : key(recordKey) {}

  public:
    static void* operator new(std::size_t size) {
        static_assert(alignof(T) <= RecordPool::granule, "records are pooled at pointer alignment");
        return RecordMemory::allocate(size);
    }
    static void operator delete(void* place, std::size_t size) noexcept {
        RecordMemory::deallocate(place, size);
    }

    // A record owns both subtrees below it, but not its tree's nil record.
    virtual ~Object() {
        deleteChild(left);
        deleteChild(right);
    }

  private:
    template <typename>
    friend class RBTree;

    // Set on a tree's nil record, which stands in every empty position of
    // that tree and which the tree alone deletes.
    bool sharedLeaf_ = false;

    static void deleteChild(T*& child) {
        if (child != nullptr && !child->sharedLeaf_) {
            delete child;
        }
        child = nullptr;
    }
};

template <typename T>
class RBTree {
  public:
    std::string name;
    T* root;
    T* nil = nullptr;
    int count = 0;

    // The tree owns the given leaf record, which stands at the root while the
    // tree is empty; a null record is replaced by a leaf of the tree's own.
    RBTree(T* leaf, std::string treeName)
        : name(std::move(treeName)), root(leaf != nullptr ? leaf : new T()) {}

    RBTree(const RBTree&) = delete;
    RBTree& operator=(const RBTree&) = delete;

    ~RBTree() {
        if (root != nil) {
            delete root;
        }
        delete nil;
    }

    // Takes ownership of the record unless it returns false: a null record, a
    // record with the reserved key, or a key already present is refused and
    // stays with the caller.
    bool insert(T* z) {
        if (z == nullptr || isLeaf(z)) {
            return false;
        }
        T* y = nilRecord();
        T* x = root;
        int order = 0;
        while (!isLeaf(x)) {
            y = x;
            order = z->key.compare(x->key);
            if (order == 0) {
                return false;
            }
            x = order < 0 ? x->left : x->right;
        }
        z->parent = y;
        if (isLeaf(y)) {
            root = z;
        } else if (order < 0) {
            y->left = z;
        } else {
            y->right = z;
        }
        Object<T>::deleteChild(z->left);
        Object<T>::deleteChild(z->right);
        z->left = nil;
        z->right = nil;
        z->color = "red";
        insertFixup(z);
        ++count;
        numbered_.clear();
        numberedBuilt_ = false;
        return true;
    }

    // Takes ownership of all the records and returns true when the tree is
    // empty and their keys strictly increase, none of them reserved; takes
    // none and returns false otherwise (they may then be inserted one by one).
    // The tree is built balanced in one pass: no walk, rotation or recolouring
    // per record, which a person's genotypes, read in key order, would pay
    // once each.
    bool insertSorted(const std::vector<T*>& records) {
        if (count != 0 || !isLeaf(root) || !strictlyIncreasing(records)) {
            return false;
        }
        if (records.empty()) {
            return true;
        }
        nilRecord();
        // Every level above fullLevels is complete, so the records on that
        // level are the only red ones: each path down then meets as many
        // black records, and no red record has a red child.
        int fullLevels = 0;
        while ((std::size_t{2} << fullLevels) - 1 <= records.size()) {
            ++fullLevels;
        }
        root = buildBalanced(records, 0, records.size(), 0, fullLevels, nil);
        root->parent = nil;
        count = static_cast<int>(records.size());
        numbered_.clear();
        numberedBuilt_ = false;
        return true;
    }

    // The record with exactly this key, or null.
    T* find(const std::string& searchKey) const {
        T* x = root;
        while (!isLeaf(x)) {
            const int order = searchKey.compare(x->key);
            if (order == 0) {
                return x;
            }
            x = order < 0 ? x->left : x->right;
        }
        return nullptr;
    }

    // Whether a key is a whole number of up to nine digits written plainly
    // (no leading zero but in "0" itself), and its value.
    static bool plainNumber(const std::string& key, std::size_t& number) {
        if (key.empty() || key.size() > 9 || (key[0] == '0' && key.size() > 1)) {
            return false;
        }
        number = 0;
        for (const char c : key) {
            if (c < '0' || c > '9') {
                return false;
            }
            number = number * 10 + static_cast<std::size_t>(c - '0');
        }
        return true;
    }

    // find(key) for a key that is the given whole number written plainly
    // ("0", "17"), as marker indexes are. The first call walks the tree once
    // into a table of the small numbers that later calls index, so a look-up
    // costs the same in a tree of ten records as in one of a thousand; an
    // insert drops the table.
    T* findNumbered(std::size_t number, const std::string& key) const {
        if (!numberedBuilt_) {
            numberedLimit_ = 2 * static_cast<std::size_t>(count) + 64;
            numberNodes(root);
            numberedBuilt_ = true;
        }
        if (number >= numberedLimit_) {
            return find(key);
        }
        return number < numbered_.size() ? numbered_[number] : nullptr;
    }

    // find(key), through the table of findNumbered where the key is a plain
    // whole number, so looking up a marker index does not grow with the
    // number of markers.
    T* findIndexed(const std::string& key) const {
        std::size_t number = 0;
        return plainNumber(key, number) ? findNumbered(number, key) : find(key);
    }

  private:
    static bool strictlyIncreasing(const std::vector<T*>& records) {
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (records[i] == nullptr || isLeaf(records[i]) ||
                (i > 0 && records[i - 1]->key.compare(records[i]->key) >= 0)) {
                return false;
            }
        }
        return true;
    }

    // The records [begin, end) as a subtree whose root is at the given depth,
    // its empty positions holding the leaf.
    static T* buildBalanced(const std::vector<T*>& records, std::size_t begin, std::size_t end,
                            int depth, int fullLevels, T* leaf) {
        if (begin == end) {
            return leaf;
        }
        const std::size_t middle = begin + (end - begin) / 2;
        T* x = records[middle];
        Object<T>::deleteChild(x->left);
        Object<T>::deleteChild(x->right);
        x->left = buildBalanced(records, begin, middle, depth + 1, fullLevels, leaf);
        x->right = buildBalanced(records, middle + 1, end, depth + 1, fullLevels, leaf);
        if (!isLeaf(x->left)) {
            x->left->parent = x;
        }
        if (!isLeaf(x->right)) {
            x->right->parent = x;
        }
        x->color = depth < fullLevels ? "black" : "red";
        return x;
    }

    void numberNodes(T* x) const {
        // The table starts at the record count, which the numbers of a dense
        // set of keys stay below, grows only past it and is cut back to the
        // largest number at the end: in key order "10".."19" come before
        // "2", so growing it number by number would resize it for most
        // records.
        numbered_.assign(static_cast<std::size_t>(count), nullptr);
        std::size_t size = 0;
        forEachRecordInOrder(x, [this, &size](T& record) {
            std::size_t number = 0;
            if (plainNumber(record.key, number) && number < numberedLimit_) {
                if (number >= numbered_.size()) {
                    numbered_.resize(number + 1, nullptr);
                }
                numbered_[number] = &record;
                size = std::max(size, number + 1);
            }
        });
        numbered_.resize(size);
        // Every tree a look-up was made in keeps its table: growth past the
        // count would leave up to half of it unused.
        if (numbered_.capacity() > size) {
            numbered_.shrink_to_fit();
        }
    }

    mutable std::vector<T*> numbered_;
    mutable std::size_t numberedLimit_ = 0;
    mutable bool numberedBuilt_ = false;

    static bool isLeaf(const T* x) { return isLeafKey(x->key); }
    static bool isRed(const T* x) { return x->color.isRed(); }

    // The tree's nil record, made by the first insert into the empty tree out
    // of the leaf record that stood at the root. Nothing writes to it once it
    // stands in the tree.
    T* nilRecord() {
        if (nil != nullptr) {
            return nil;
        }
        T* const leaf = root;
        leaf->color = "black";
        leaf->parent = nullptr;
        leaf->greyMark = false;
        leaf->blueMark = false;
        leaf->redMark = false;
        leaf->sharedLeaf_ = true;
        nil = leaf;
        return nil;
    }

    void insertFixup(T* z) {
        while (isRed(z->parent)) {
            T* grandparent = z->parent->parent;
            if (z->parent == grandparent->left) {
                T* uncle = grandparent->right;
                if (isRed(uncle)) {
                    z->parent->color = "black";
                    uncle->color = "black";
                    grandparent->color = "red";
                    z = grandparent;
                } else {
                    if (z == z->parent->right) {
                        z = z->parent;
                        rotateLeft(z);
                    }
                    z->parent->color = "black";
                    z->parent->parent->color = "red";
                    rotateRight(z->parent->parent);
                }
            } else {
                T* uncle = grandparent->left;
                if (isRed(uncle)) {
                    z->parent->color = "black";
                    uncle->color = "black";
                    grandparent->color = "red";
                    z = grandparent;
                } else {
                    if (z == z->parent->left) {
                        z = z->parent;
                        rotateRight(z);
                    }
                    z->parent->color = "black";
                    z->parent->parent->color = "red";
                    rotateLeft(z->parent->parent);
                }
            }
        }
        root->color = "black";
    }

    // Puts y in place of x under x's parent (the nil record when x is the root).
    void replaceChild(T* x, T* y) {
        T* p = x->parent;
        y->parent = p;
        if (isLeaf(p)) {
            root = y;
        } else if (x == p->left) {
            p->left = y;
        } else {
            p->right = y;
        }
    }

    void rotateLeft(T* x) {
        T* y = x->right;
        x->right = y->left;
        if (!isLeaf(x->right)) {
            x->right->parent = x;
        }
        replaceChild(x, y);
        y->left = x;
        x->parent = y;
    }

    void rotateRight(T* x) {
        T* y = x->left;
        x->left = y->right;
        if (!isLeaf(x->left)) {
            x->left->parent = x;
        }
        replaceChild(x, y);
        y->right = x;
        x->parent = y;
    }
};
