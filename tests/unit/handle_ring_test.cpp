#include <gtest/gtest.h>

#include <vector>

#include "api/handle_table.h"

using kelvox::HandleRecord;
using Ring = kelvox::HandleTable;

namespace {

std::vector<int32_t> Forward(const Ring& ring) {
    std::vector<int32_t> out;
    const Ring::Node* n = ring.head();
    for (int32_t i = 0; i < ring.count(); ++i, n = n->next) out.push_back(n->record.handle);
    return out;
}

std::vector<int32_t> Backward(const Ring& ring) {
    std::vector<int32_t> out;
    const Ring::Node* n = ring.head();
    for (int32_t i = 0; i < ring.count(); ++i, n = n->prev) out.push_back(n->record.handle);
    return out;
}

void AddAll(Ring& ring, std::initializer_list<int32_t> handles) {
    for (int32_t h : handles) ring.Add(HandleRecord{h, nullptr});
}

}  // namespace

TEST(HandleRing, NewRecordBecomesHeadJustBeforeOldHead) {
    Ring ring;
    EXPECT_EQ(ring.head(), nullptr);
    ring.Add(HandleRecord{1, nullptr});
    ASSERT_EQ(ring.count(), 1);
    EXPECT_EQ(ring.head()->next, ring.head());
    EXPECT_EQ(ring.head()->prev, ring.head());

    AddAll(ring, {2, 3});
    EXPECT_EQ(ring.count(), 3);
    EXPECT_EQ(Forward(ring), (std::vector<int32_t>{3, 2, 1}));
    EXPECT_EQ(Backward(ring), (std::vector<int32_t>{3, 1, 2}));
}

TEST(HandleRing, FindMovesHeadToRecordFoundOrBeforeStart) {
    Ring ring;
    AddAll(ring, {101, 102, 103});  // H1, H2, H3 in creation order

    ASSERT_NE(ring.Lookup(101), nullptr);
    EXPECT_EQ(ring.head()->record.handle, 101);
    // Found again at once: the head does not move.
    EXPECT_TRUE(ring.Find(101));
    EXPECT_EQ(ring.head()->record.handle, 101);

    // A miss walks the whole ring and stops on the record before H1 in ring order.
    EXPECT_EQ(ring.Lookup(999), nullptr);
    EXPECT_EQ(ring.head()->record.handle, 102);
    EXPECT_EQ(ring.head()->next->record.handle, 101);

    ASSERT_NE(ring.Lookup(103), nullptr);
    EXPECT_EQ(ring.head()->record.handle, 103);
    EXPECT_EQ(Forward(ring), (std::vector<int32_t>{103, 102, 101}));  // links untouched by walking
}

TEST(HandleRing, MissInRingOfOneStaysOnThatRecord) {
    Ring ring;
    EXPECT_FALSE(ring.Find(5));
    EXPECT_EQ(ring.Lookup(5), nullptr);
    ring.Add(HandleRecord{7, nullptr});
    EXPECT_FALSE(ring.Find(5));
    EXPECT_EQ(ring.head()->record.handle, 7);
}

TEST(HandleRing, WalkEndsOnStopValueNotNodeIdentity) {
    Ring ring;
    AddAll(ring, {5, 8, 5});  // forward: 5, 8, 5 — the head's predecessor also holds 5
    // The walk starts on a node whose value equals the stop value, so it ends before reaching 8.
    EXPECT_FALSE(ring.Find(8));
    EXPECT_TRUE(ring.Contains(8));
}

TEST(HandleRing, RemoveHeadRelinksNeighboursAndAdvances) {
    Ring ring;
    EXPECT_EQ(ring.RemoveHead(), 0);
    AddAll(ring, {1, 2, 3, 4});  // forward 4, 3, 2, 1
    ASSERT_TRUE(ring.Find(2));
    EXPECT_EQ(ring.RemoveHead(), 1);
    EXPECT_EQ(ring.count(), 3);
    EXPECT_EQ(ring.head()->record.handle, 1);
    EXPECT_EQ(Forward(ring), (std::vector<int32_t>{1, 4, 3}));
    EXPECT_EQ(Backward(ring), (std::vector<int32_t>{1, 3, 4}));

    ring.RemoveAll();
    EXPECT_EQ(ring.count(), 0);
    EXPECT_EQ(ring.head(), nullptr);
    EXPECT_EQ(ring.RemoveHead(), 0);
    ring.Add(HandleRecord{9, nullptr});  // usable again after emptying
    EXPECT_EQ(Forward(ring), (std::vector<int32_t>{9}));
}
