// The trigger table and its header: written, enumerated, kept across runs.
#include <cstring>
#include <set>

#include "sim_support.h"

using namespace simtest;

namespace {

struct Row {
    int32_t triggerType;
    int32_t value;
    int32_t actionType;
    int32_t actionValue;
    std::u16string file;
    bool operator==(const Row&) const = default;
};

DevReturn writeTable(int32_t h, const std::vector<Row>& rows) {
    if (DevReturn r = createTriggers(h)) return r;
    for (const auto& row : rows) {
        DevTrigger t{row.triggerType, row.value};
        DevTriggerAction a;
        std::memset(&a, 0, sizeof a);
        a.actionType = row.actionType;
        a.value = row.actionValue;
        setField(a.fileName, row.file);
        if (DevReturn r = setTrigger(h, &t, &a)) {
            closeTriggers(h);
            return r;
        }
    }
    return closeTriggers(h);
}

std::vector<Row> readTable(int32_t h) {
    std::vector<Row> rows;
    DevTrigger t;
    DevTriggerAction a;
    DevReturn r = getFirstTrigger(h, &t, &a);
    for (; r == DevSuccess; r = getNextTrigger(h, &t, &a))
        rows.push_back({t.triggerType, t.value, a.actionType, a.value, std::u16string(a.fileName)});
    EXPECT_EQ(r, DevNoMoreData);
    return rows;
}

const std::vector<Row> kRows = {
    {1, 100, 1, 0, u"Chase"},
    {2, -1, 3, INT32_MIN, u""},
    {INT32_MAX, INT32_MIN, -7, INT32_MAX, u16("Act 1/Größe \"q\" \\ 🎆")},
};

TEST(Triggers, TableAndHeaderRoundTripOnTheBuiltInController) {
    useBuiltIn();
    const int32_t h = openOrFail(1, 1);
    EXPECT_TRUE(readTable(h).empty());
    ASSERT_EQ(writeTable(h, kRows), DevSuccess);
    EXPECT_EQ(readTable(h), kRows);
    DevTriggerHeader in{200, 0, 255, 7};
    ASSERT_EQ(setTriggerHeader(h, &in), DevSuccess);
    DevTriggerHeader out{1, 1, 1, 1};
    ASSERT_EQ(getTriggerHeader(h, &out), DevSuccess);
    EXPECT_EQ(std::memcmp(&in, &out, sizeof in), 0);
    EXPECT_EQ(closeDevice(h), DevSuccess);
}

TEST(Triggers, TableAndHeaderAreKeptAcrossRuns) {
    SimDir sim;
    const fs::path dir = sim.addController("c", descriptor(1, 1));
    sim.use();
    int32_t h = openOrFail(1, 1);
    ASSERT_EQ(writeTable(h, kRows), DevSuccess);
    DevTriggerHeader in{9, 8, 7, 6};
    ASSERT_EQ(setTriggerHeader(h, &in), DevSuccess);
    ASSERT_EQ(closeDevice(h), DevSuccess);

    sim.use();  // as after a restart
    h = openOrFail(1, 1);
    EXPECT_EQ(readTable(h), kRows);
    DevTriggerHeader out{};
    ASSERT_EQ(getTriggerHeader(h, &out), DevSuccess);
    EXPECT_EQ(std::memcmp(&in, &out, sizeof in), 0);
    // Written whole, nothing left beside it.
    std::set<std::string> names;
    for (const auto& [path, content] : snapshot(dir)) names.insert(path);
    EXPECT_EQ(names, (std::set<std::string>{"controller.ini", "shows/", "triggers.txt"}));

    // A new table replaces the old one; the header stays.
    ASSERT_EQ(writeTable(h, {kRows[1]}), DevSuccess);
    ASSERT_EQ(closeDevice(h), DevSuccess);
    sim.use();
    h = openOrFail(1, 1);
    EXPECT_EQ(readTable(h), std::vector<Row>{kRows[1]});
    ASSERT_EQ(getTriggerHeader(h, &out), DevSuccess);
    EXPECT_EQ(out.byte1, 9);
    EXPECT_EQ(closeDevice(h), DevSuccess);
}

TEST(Triggers, AnAbandonedTableLeavesTheOldOne) {
    SimDir sim;
    sim.addController("c", descriptor(1, 1));
    sim.use();
    int32_t h = openOrFail(1, 1);
    ASSERT_EQ(writeTable(h, kRows), DevSuccess);
    ASSERT_EQ(createTriggers(h), DevSuccess);
    DevTrigger t{5, 5};
    DevTriggerAction a{};
    ASSERT_EQ(setTrigger(h, &t, &a), DevSuccess);
    EXPECT_EQ(readTable(h), kRows);  // the table being written is not visible yet
    ASSERT_EQ(closeDevice(h), DevSuccess);
    h = openOrFail(1, 1);
    EXPECT_EQ(readTable(h), kRows);
    EXPECT_EQ(closeDevice(h), DevSuccess);
}

TEST(Triggers, TheTableHoldsAtMostNumberPlaybackTriggers) {
    SimDir sim;
    sim.addController("c", descriptor(1, 1, "numberPlaybackTriggers = 2\n"));
    sim.use();
    const int32_t h = openOrFail(1, 1);
    EXPECT_EQ(writeTable(h, kRows), DevStoreFull);
    EXPECT_EQ(readTable(h), (std::vector<Row>{kRows[0], kRows[1]}));
    EXPECT_EQ(closeDevice(h), DevSuccess);
}

TEST(Triggers, RefusalsLeaveTheTableAlone) {
    useBuiltIn();
    const int32_t h = openOrFail(1, 1);
    DevTrigger t{1, 1};
    DevTriggerAction a;
    std::memset(&a, 0, sizeof a);
    EXPECT_EQ(setTrigger(h, &t, &a), DevWrongState);  // no table being written
    EXPECT_EQ(closeTriggers(h), DevWrongState);
    ASSERT_EQ(createTriggers(h), DevSuccess);
    EXPECT_EQ(createTriggers(h), DevWrongState);
    setField(a.fileName, u"../escape");
    EXPECT_EQ(setTrigger(h, &t, &a), DevInvalidName);
    std::fill(std::begin(a.fileName), std::end(a.fileName), u'x');  // no terminator
    EXPECT_EQ(setTrigger(h, &t, &a), DevInvalidArgument);
    EXPECT_EQ(setTrigger(h, nullptr, &a), DevInvalidArgument);
    EXPECT_EQ(setTrigger(h, &t, nullptr), DevInvalidArgument);
    ASSERT_EQ(closeTriggers(h), DevSuccess);
    EXPECT_TRUE(readTable(h).empty());
    DevTrigger tt{3, 3};
    DevTriggerAction aa{};
    EXPECT_EQ(getFirstTrigger(h, nullptr, &aa), DevInvalidArgument);
    EXPECT_EQ(getNextTrigger(h, &tt, &aa), DevNoMoreData);
    EXPECT_EQ(tt.triggerType, 3);
    EXPECT_EQ(getTriggerHeader(h, nullptr), DevInvalidArgument);
    EXPECT_EQ(closeDevice(h), DevSuccess);
}

TEST(Triggers, AnUnreadableTableIsReportedAndCanBeRewritten) {
    SimDir sim;
    const fs::path dir = sim.addController("c", descriptor(1, 1));
    writeFile(dir / "triggers.txt", "header = 1 2 3\ntrigger = garbage\n");
    sim.use();
    const int32_t h = openOrFail(1, 1);
    DevTrigger t{};
    DevTriggerAction a{};
    DevTriggerHeader th{};
    EXPECT_EQ(getFirstTrigger(h, &t, &a), DevCorrupt);
    EXPECT_EQ(getTriggerHeader(h, &th), DevCorrupt);
    EXPECT_EQ(setTriggerHeader(h, &th), DevCorrupt);
    ASSERT_EQ(writeTable(h, kRows), DevSuccess);
    EXPECT_EQ(readTable(h), kRows);
    EXPECT_EQ(getTriggerHeader(h, &th), DevSuccess);
    EXPECT_EQ(closeDevice(h), DevSuccess);
}

TEST(Triggers, ControllersWithoutTriggersOrHeaderSaySo) {
    SimDir sim;
    sim.addController("none", descriptor(1, 1, "numberPlaybackTriggers = 0\nhasTriggerHeader = false\n"));
    sim.use();
    const int32_t h = openOrFail(1, 1);
    DevTrigger t{};
    DevTriggerAction a{};
    DevTriggerHeader th{};
    EXPECT_EQ(createTriggers(h), DevNotSupported);
    EXPECT_EQ(getFirstTrigger(h, &t, &a), DevNotSupported);
    EXPECT_EQ(getTriggerHeader(h, &th), DevNotSupported);
    EXPECT_EQ(setTriggerHeader(h, &th), DevNotSupported);
    EXPECT_EQ(closeDevice(h), DevSuccess);
}

}  // namespace
