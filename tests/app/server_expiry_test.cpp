// Expiry dates against an injected clock: the classes, the reminder's text, the rows' colours as the day
// turns, and the reminder's click showing the servers due first.
#include <gtest/gtest.h>

#include <string>

#include "app/server_catalogue.h"
#include "app/server_expiry.h"
#include "app/server_model.h"
#include "runtime/form_model.h"
#include "ui/forms.h"

namespace {

using app::ExpiryClass;
constexpr runtime::DateTimeValue kNow{2026, 12, 8, 10, 0, 0};

TEST(ServerExpiry, ClassesAgainstTheClock) {
    struct Case { const char* expiry; ExpiryClass expected; };
    const Case cases[] = {
        {"2020/1/1", ExpiryClass::kLapsed},                  // long past
        {"2026/12/8 9:59:00", ExpiryClass::kLapsed},         // a minute ago
        {"2026/12/8 10:00:00", ExpiryClass::kDueSoon},       // now
        {"2026/12/8", ExpiryClass::kDueSoon},                // today: a bare date runs to the end of the day
        {"2026/12/7", ExpiryClass::kLapsed},                 // yesterday, to its end
        {"2026/12/9", ExpiryClass::kDueSoon},                // tomorrow
        {"2026/12/15", ExpiryClass::kNone},                  // its end is 7 days and 14 hours away
        {"2026-12-15 9:05", ExpiryClass::kDueSoon},          // within 7 days, the other date form, no seconds
        {"2026/12/15 10:00:00", ExpiryClass::kDueSoon},      // 7 days exactly
        {"2026/12/15 10:01:00", ExpiryClass::kNone},         // 7 days and a minute
        {" 2027/3/1 14:05:09 ", ExpiryClass::kNone},         // later, blanks around
        {"", ExpiryClass::kNone}, {"明天", ExpiryClass::kNone}, {"2026/13/1", ExpiryClass::kNone},
        {"0000/1/1", ExpiryClass::kNone}, {"99999/1/1", ExpiryClass::kNone},
        {"1899/12/31", ExpiryClass::kNone},                  // before 1900
        {"2026/2/30", ExpiryClass::kNone},                   // a day that does not exist
    };
    for (const Case& c : cases) EXPECT_EQ(app::ClassifyExpiry(c.expiry, kNow), c.expected) << c.expiry;
}

TEST(ServerExpiry, TheReminderSaysWhatIsDueAndLeavesOutWhatIsNot) {
    EXPECT_EQ(app::ReminderText({2, 3}), "2 台服务器已过期，3 台服务器将在 7 天内到期");
    EXPECT_EQ(app::ReminderText({1, 0}), "1 台服务器已过期");
    EXPECT_EQ(app::ReminderText({0, 12}), "12 台服务器将在 7 天内到期");
    EXPECT_EQ(app::ReminderText({0, 0}), "");
}

TEST(ServerExpiry, RowsTakeTheirColoursAndTheDayTurningChangesThem) {
    runtime::ModelForm main(ui::MainWindowSpec());
    main.Open();
    app::ServerModel model;
    runtime::DateTimeValue now = kNow;
    app::ServerCatalogue catalogue(model, {.clock = [&now] { return now; }});
    catalogue.BindMainWindow(main);
    model.Reset({{"10.0.0.1", "1", "u", "p", "ok", "2027/1/1"},      {"10.0.0.2", "2", "u", "p", "soon", "2026/12/10"},
                 {"10.0.0.3", "3", "u", "p", "gone", "2026/12/1"},   {"10.0.0.4", "4", "u", "p", "odd", "下个月"},
                 {"10.0.0.5", "5", "u", "p", "next", "2026/12/16 9:00"}},
                now);
    auto column = [&](int c) {
        std::vector<std::string> all;
        for (int row = 0; row < main.ListRowCount(app::kServerList); ++row) all.push_back(main.ListCell(app::kServerList, row, c));
        return all;
    };
    auto colours = [&] {
        std::vector<std::int32_t> all;
        for (int row = 0; row < main.ListRowCount(app::kServerList); ++row) all.push_back(main.ListRowColour(app::kServerList, row));
        return all;
    };
    const std::int32_t plain = runtime::kListColour, red = app::kLapsedColour, orange = app::kDueSoonColour;
    EXPECT_EQ(colours(), (std::vector<std::int32_t>{plain, orange, red, plain, plain}));

    // Two days later at noon: "soon" runs to the end of its day; "next" is due.
    now = {2026, 12, 10, 12, 0, 0};
    app::ExpiryCounts counts = model.Reclassify(now);
    EXPECT_EQ(colours(), (std::vector<std::int32_t>{plain, orange, red, plain, orange}));
    EXPECT_EQ(counts.lapsed, 1);
    EXPECT_EQ(counts.dueSoon, 2);

    // The reminder clicked: what is due within 30 days, lapsed included, sorted by expiry, the first
    // selected; the colours went with their rows. The next header click reverses that sort.
    catalogue.ShowDueServers(main);
    EXPECT_EQ(column(app::kColumnNote), (std::vector<std::string>{"gone", "soon", "next", "ok"}));
    EXPECT_EQ(main.Text(app::kFilterCount), "显示 4 / 共 5 台");
    EXPECT_EQ(main.ListSelectedRow(app::kServerList), 0);
    EXPECT_EQ(colours(), (std::vector<std::int32_t>{red, orange, orange, plain}));
    ASSERT_TRUE(main.ClickColumn(app::kServerList, app::kColumnExpiry));
    EXPECT_EQ(column(app::kColumnNote), (std::vector<std::string>{"ok", "next", "soon", "gone"}));
}

TEST(ServerExpiry, RenewalCountsFromTheExpiryOrFromTodayAndKeepsTheTimeOfDay) {
    struct Case { const char* expiry; int months; const char* renewed; };
    const Case cases[] = {
        {"2026/12/20 08:30:00", 1, "2027/1/20 08:30:00"},   // from the expiry, across the year
        {"2026/12/1 08:30:00", 3, "2027/3/8 08:30:00"},     // lapsed: from today, at its time of day
        {"2027/1/31 17:00", 1, "2027/2/28 17:00:00"},       // no 31 February: its last day
        {"2028/2/29", 12, "2029/2/28"},                     // a bare date stays bare (the end of the day)
        {"2026/12/8", 1, "2027/1/8"},                       // lapses tonight: not yet lapsed
        {"2026-12-31", 12, "2027/12/31"},
    };
    for (const Case& c : cases) {
        runtime::DateTimeValue base;
        ASSERT_TRUE(app::RenewalBase(c.expiry, kNow, base)) << c.expiry;
        EXPECT_EQ(app::RenewedExpiryText(c.expiry, app::AddMonths(base, c.months)), c.renewed) << c.expiry;
    }
    runtime::DateTimeValue base;
    EXPECT_FALSE(app::RenewalBase("永久", kNow, base));
    EXPECT_FALSE(app::RenewalBase("", kNow, base));
}

TEST(ServerExpiry, TheNextDayBeginsAtMidnight) {
    EXPECT_EQ(app::MillisecondsToNextDay({2026, 12, 8, 0, 0, 0}), 86400000);
    EXPECT_EQ(app::MillisecondsToNextDay({2026, 12, 8, 23, 59, 59}), 1000);
    EXPECT_EQ(app::MillisecondsToNextDay({2026, 12, 8, 12, 0, 0}), 43200000);
}

}  // namespace
