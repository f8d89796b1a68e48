#include "log/JArray.h"
#include "log/JObject.h"
#include "log/JTextValue.h"
#include "log/LogDates.h"
#include "log/LogPaths.h"
#include "log/WriterToJSON.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace {

using namespace kestrane;
using kestrane::test::ScopedTimeZone;

TEST(LogFormatTest, ObjectsKeepSortPositionsAndMakeMissingChildrenOfTheRightKind) {
    JObject object;
    object.setValueForKey(JTextValue::withText("z"), "zeta");
    object.setValueForKey(JTextValue::withText("a"), "alpha");
    object.setValueForKey(JTextValue::withText("m"), "mid");
    object.setSortOrderForKey(2, "alpha");
    object.setSortOrderForKey(1, "zeta");
    object.setSortOrderForKey(0, "gone");  // a position without a value is not a key
    // Keys without a position come last, in key order.
    EXPECT_EQ(object.sortedKeys(), (std::vector<std::string>{"zeta", "alpha", "mid"}));
    EXPECT_EQ(object.sortOrderValueForKey("mid"), JObject::kNoSortOrder);

    object.setValueForKey(nullptr, "zeta");
    EXPECT_EQ(object.count(), 2u);
    EXPECT_EQ(object.valueForKey("zeta"), nullptr);

    bool created = false;
    auto child = object.objectForKey("child", &created);
    EXPECT_TRUE(created);
    EXPECT_EQ(object.objectForKey("child", &created), child);
    EXPECT_FALSE(created);
    // A key holding another kind gets a new value of the kind asked for.
    auto array = object.arrayForKey("alpha", &created);
    EXPECT_TRUE(created);
    ASSERT_NE(object.valueForKey("alpha")->asArray(), nullptr);
    array->addValue(JTextValue::withText("1"));
    array->addValue(nullptr);
    array->addValue(JTextValue::withText("2"));
    EXPECT_EQ(array->count(), 2u);
    array->removeValueAtIndex(0);
    EXPECT_EQ(array->valueAtIndex(0)->asTextValue()->text(), "2");
    EXPECT_EQ(array->valueAtIndex(5), nullptr);
}

TEST(LogFormatTest, TheTextFormIndentsEscapesAndWritesEmptyContainersItsOwnWay) {
    JObject root;
    root.setValueForKey(std::make_shared<JObject>(), "empty object");
    root.setValueForKey(std::make_shared<JArray>(), "empty array");
    auto list = std::make_shared<JArray>();
    list->addValue(JTextValue::withText("a\\b\"c/d\ne\bf\fg\rh\ti\x01j"));
    root.setValueForKey(list, "list");
    root.setSortOrderForKey(1, "list");
    EXPECT_EQ(WriterToJSON().write(root),
              "{\n"
              "  \"list\": [\n"
              "    \"a\\\\b\\\"c\\/d\\ne\\bf\\fg\\rh\\ti\\u0001j\"\n"
              "  ],\n"
              "  \"empty array\": [\n"
              "    ],\n"
              "  \"empty object\": {\n"
              "    }\n"
              "}");
    EXPECT_EQ(WriterToJSON().write(JObject()), "{\n  }");
    EXPECT_EQ(WriterToJSON("\t").write(*list), "[\n\t\"a\\\\b\\\"c\\/d\\ne\\bf\\fg\\rh\\ti\\u0001j\"\n]");

    // Whatever it holds, the text is JSON that gives the same strings back.
    const auto parsed = nlohmann::json::parse(WriterToJSON().write(root));
    EXPECT_EQ(parsed["list"][0], "a\\b\"c/d\ne\bf\fg\rh\ti\x01j");
    // Bytes that are not UTF-8 never reach the file as such.
    EXPECT_EQ(WriterToJSON::escaped("caf\xE9"), "caf\xEF\xBF\xBD");
}

TEST(LogFormatTest, PathsThatAreNotUtf8KeepTheirBytesBesideTheirReadableForm) {
    JObject record;
    setLogPath(record, "path", "/music/caf\xC3\xA9.mp3", 1, 101);
    setLogPath(record, "original path", "/music/caf\xE9.mp3", 2, 102);
    EXPECT_EQ(record.sortedKeys(), (std::vector<std::string>{"path", "original path", "original path base64"}));
    const auto json = nlohmann::json::parse(WriterToJSON().write(record));
    EXPECT_EQ(json["original path"], "/music/caf\xEF\xBF\xBD.mp3");  // what any reader sees: still a path
    EXPECT_EQ(logPath(json, "original path"), "/music/caf\xE9.mp3");
    EXPECT_EQ(logPath(json, "path"), "/music/caf\xC3\xA9.mp3");
    EXPECT_FALSE(logPath(json, "path in trash"));
    // A damaged base64 member falls back to the readable form.
    auto damaged = json;
    damaged["original path base64"] = "%%%";
    EXPECT_EQ(logPath(damaged, "original path"), "/music/caf\xEF\xBF\xBD.mp3");
    EXPECT_FALSE(logPath(nlohmann::json::array(), "path"));
}

TEST(LogFormatTest, DatesCarryTheirOffsetAndReadBackInEveryForm) {
    {
        ScopedTimeZone zone("XYZ-5:30");
        EXPECT_EQ(logDateText(0), "1970-01-01 05:30:00 GMT+5:30");
        EXPECT_EQ(logFileDateText(0), "1970-01-01 05.30.00 GMT+5:30");
        EXPECT_EQ(parseLogDate("1970-01-01 05:30:00 GMT+5:30"), 0);
    }
    {
        ScopedTimeZone zone("EST5EDT,M3.2.0,M11.1.0");
        // Winter and summer time of one zone: each reads back to its moment.
        for (const std::int64_t moment : {1704067200LL, 1719835200LL, -86400LL * 365 * 30, 4102444800LL}) {
            EXPECT_EQ(parseLogDate(logDateText(moment)), moment) << logDateText(moment);
            EXPECT_EQ(parseLogDate(logFileDateText(moment)), moment) << logFileDateText(moment);
        }
        EXPECT_EQ(logDateText(1704067200), "2023-12-31 19:00:00 GMT-5");
        EXPECT_EQ(logDateText(1719835200), "2024-07-01 08:00:00 GMT-4");
        // Without a zone, or with an abbreviation, the time is local.
        EXPECT_EQ(parseLogDate("2023-12-31 19:00:00"), 1704067200);
        EXPECT_EQ(parseLogDate("2023-12-31 19.00.00 EST"), 1704067200);
    }
    EXPECT_EQ(parseLogDate("2024-01-01 00:00:00 GMT"), 1704067200);
    EXPECT_EQ(parseLogDate("2024-01-01 00:00:00 UTC"), 1704067200);
    EXPECT_EQ(parseLogDate("2024-01-01 01:00:00 +0100"), 1704067200);
    EXPECT_EQ(parseLogDate("2024-01-01 01:00:00 GMT+01:00"), 1704067200);
    EXPECT_EQ(parseLogDate("2023-12-31 23:00:00 GMT-1"), 1704067200);
    for (const char* bad : {"", "2024-01-01", "2024-01-01 00:00", "2024-13-01 00:00:00", "2024-01-01 00:00:00 GMT+",
                            "2024-01-01 00:00:00 GMT+99", "2024-01-01 00:00.00", "2024-01-01 00:00:00 1",
                            "yyyy-MM-dd HH:mm:ss z", "2024-01-01 00:00:00 GMT+1 extra"})
        EXPECT_FALSE(parseLogDate(bad)) << bad;

    ScopedTimeZone zone("XYZ-1");
    const LocalDay day = localDayOf(1704067200);  // 01:00 on 1 January, local
    EXPECT_EQ(day, (LocalDay{2024, 1, 1}));
    EXPECT_EQ(noonOfDay(day), 1704067200 - 3600 + 43200);
}

}  // namespace
