// Blocks of records kept for a whole run come from the record pools through
// a standard allocator; they must behave as any vector's storage, on both
// sides of the largest pooled size.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "record_memory.h"

namespace {

struct Result {
    std::string id;
    double value = 0.0;
};

}  // namespace

TEST(RecordAllocatorTest, VectorsKeepTheirRecordsWhateverTheirSize) {
    // 1 and 155 records are pooled; 400 records (over 16 KB) are not.
    for (const std::size_t count : {std::size_t{1}, std::size_t{155}, std::size_t{400}}) {
        std::vector<Result, RecordAllocator<Result>> kept;
        kept.reserve(count);
        std::vector<Result, RecordAllocator<Result>> grown;
        for (std::size_t i = 0; i < count; ++i) {
            const std::string id = "pedigree number " + std::to_string(i);
            kept.push_back({id, static_cast<double>(i)});
            grown.push_back({id, -static_cast<double>(i)});
        }
        ASSERT_EQ(kept.size(), count);
        ASSERT_EQ(grown.size(), count);
        for (std::size_t i = 0; i < count; ++i) {
            EXPECT_EQ(kept[i].id, grown[i].id);
            EXPECT_EQ(kept[i].value, -grown[i].value);
        }
    }
}

#if !defined(RECORDS_FROM_GENERAL_HEAP)
TEST(RecordAllocatorTest, AGivenBackBlockServesTheNextOfItsSize) {
    // Points read one after another take the block an earlier one gave back
    // instead of fresh memory.
    RecordAllocator<Result> allocator;
    Result* const first = allocator.allocate(155);
    allocator.deallocate(first, 155);
    Result* const second = allocator.allocate(155);
    EXPECT_EQ(second, first);
    allocator.deallocate(second, 155);
}
#endif
