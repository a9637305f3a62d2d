#include "app/server_expiry.h"

#include "app/server_catalogue.h"
#include "app/server_list_sort.h"
#include "runtime/date_time.h"
#include "tray/tray_texts.h"

namespace app {
namespace {

constexpr double kDueDays = 7.0;
constexpr double kSecond = 1.0 / 86400.0;

}  // namespace

ExpiryClass ClassifyExpiry(const std::string& expiry, const runtime::DateTimeValue& now) {
    runtime::DateTimeValue date;
    if (!runtime::DateTimeFromText(expiry, date) || date.year < 1900) return ExpiryClass::kNone;
    const double when = runtime::OleDateFromDateTime(date);
    const double current = runtime::OleDateFromDateTime(now);
    if (when < current - kSecond / 2) return ExpiryClass::kLapsed;
    if (when <= current + kDueDays + kSecond / 2) return ExpiryClass::kDueSoon;
    return ExpiryClass::kNone;
}

std::int32_t ExpiryColour(ExpiryClass expiryClass) {
    switch (expiryClass) {
    case ExpiryClass::kLapsed: return kLapsedColour;
    case ExpiryClass::kDueSoon: return kDueSoonColour;
    case ExpiryClass::kNone: break;
    }
    return runtime::kListColour;
}

ExpiryCounts ColourServerList(runtime::Form& mainWindow, const runtime::DateTimeValue& now) {
    ExpiryCounts counts;
    const int rows = mainWindow.ListRowCount(kServerList);
    for (int row = 0; row < rows; ++row) {
        const ExpiryClass expiry = ClassifyExpiry(mainWindow.ListCell(kServerList, row, kColumnExpiry), now);
        counts.lapsed += expiry == ExpiryClass::kLapsed;
        counts.dueSoon += expiry == ExpiryClass::kDueSoon;
        const std::int32_t colour = ExpiryColour(expiry);
        if (mainWindow.ListRowColour(kServerList, row) != colour) mainWindow.SetListRowColour(kServerList, row, colour);
    }
    return counts;
}

std::string ReminderText(const ExpiryCounts& counts) {
    std::string text;
    if (counts.lapsed > 0) text = std::to_string(counts.lapsed) + " 台服务器已过期";
    if (counts.dueSoon > 0) {
        text += (text.empty() ? "" : "，") + std::to_string(counts.dueSoon) + " 台服务器将在 7 天内到期";
    }
    return tray::CutGbk(text, tray::kBalloonTextBytes);
}

void ShowDueServers(runtime::Form& mainWindow, const runtime::DateTimeValue& now) {
    SortServerList(mainWindow, kServerList, kColumnExpiry, SortMode::Date, true);
    const int rows = mainWindow.ListRowCount(kServerList);
    for (int row = 0; row < rows; ++row) {
        if (ClassifyExpiry(mainWindow.ListCell(kServerList, row, kColumnExpiry), now) == ExpiryClass::kNone) continue;
        mainWindow.SetListSelectedRow(kServerList, row);
        mainWindow.ListShowRow(kServerList, row);
        return;
    }
}

std::int64_t MillisecondsToNextDay(const runtime::DateTimeValue& now) {
    const std::int64_t passed = (static_cast<std::int64_t>(now.hour) * 60 + now.minute) * 60 + now.second;
    return std::max<std::int64_t>(1, (86400 - passed) * 1000);
}

}  // namespace app
