#include "session/connection_file.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <utility>

#include "catalogue/server_records.h"
#include "profile/connection_profile.h"
#include "runtime/text_codec.h"

namespace session {
namespace {


// What one line is made from: the profile's stored texts of the live form, the slider and the box, the server.
struct Inputs {
    std::map<std::string, std::string> profile;  // by column, as profile::GatherProfile gives them
    bool fullScreen = false;                      // the slider at its last place
    bool allMonitors = false;                     // 选择框1
    ServerCells server;                           // with LineValue applied
    std::string protectedPassword;
};

// A line from the inputs; "" is an empty line.
using Line = std::function<std::string(const Inputs&)>;

Line Constant(const char* text) {
    return [text](const Inputs&) { return std::string(text); };
}
// key + "1" when the column holds exactly "1", else key + "0" (inverted: the other way round).
Line Flag(const char* key, const char* column, bool inverted = false) {
    return [=](const Inputs& in) {
        bool set = in.profile.at(column) == "1";
        return std::string(key) + (set != inverted ? "1" : "0");
    };
}
// key + the value paired with the column's text; `otherwise` (a whole line, often empty) for any other text.
Line Mapped(const char* key, const char* column, std::vector<std::pair<const char*, const char*>> values,
            std::string otherwise = "") {
    return [=](const Inputs& in) {
        for (const auto& [stored, value] : values)
            if (in.profile.at(column) == stored) return std::string(key) + value;
        return otherwise;
    };
}
// key + the column's text itself.
Line Text(const char* key, const char* column) {
    return [=](const Inputs& in) { return std::string(key) + LineValue(in.profile.at(column)); };
}

// The four gateway values, from the gateway dialog's choices.
struct Gateway {
    int usage = 2, credentials = 4, profileUsage = 0, promptOnce = 0;
};
Gateway GatewayOf(const std::map<std::string, std::string>& p) {
    Gateway g;
    if (p.at("zdjcRD") == "1") {
        g.profileUsage = 0;
    } else if (p.at("bsyRD") == "1") {
        g.profileUsage = 1;
        g.usage = 0;
    }
    if (p.at("syRD") == "1") {
        g.usage = 1;
        g.profileUsage = 1;
        if (p.at("bsybdRD") == "1") g.usage = 2;
        if (p.at("RDpj") == "1") g.promptOnce = 1;
        const std::string& method = p.at("RDdl");
        if (method == "0") g.credentials = 4;
        if (method == "1") g.credentials = 0;
        if (method == "2") g.credentials = 1;
    }
    return g;
}
Line GatewayLine(const char* key, int Gateway::*member) {
    return [=](const Inputs& in) { return std::string(key) + std::to_string(GatewayOf(in.profile).*member); };
}

// The 43 lines in their order.
const std::vector<Line>& Lines() {
    static const std::vector<Line> lines = {
        [](const Inputs& in) { return std::string("screen mode id:i:") + (in.fullScreen ? "2" : "1"); },
        [](const Inputs& in) { return std::string("use multimon:i:") + (in.allMonitors ? "1" : "0"); },
        Text("desktopwidth:i:", "kd"),
        Text("desktopheight:i:", "gd"),
        Mapped("session bpp:i:", "ys", {{"0", "15"}, {"1", "16"}, {"2", "24"}, {"3", "32"}}),
        Constant("winposstr:s:0,1,364,170,2300,1289"),
        Constant("compression:i:1"),
        Mapped("keyboardhook:i:", "jpxz", {{"1", "0"}, {"2", "1"}, {"3", "2"}}),
        Mapped("audiocapturemode:i:", "yplz", {{"1", "1"}}, "audiocapturemode:i:0"),
        Constant("videoplaybackmode:i:1"),
        Mapped("connection type:i:", "xnxz", {{"1", "1"}, {"2", "2"}, {"3", "3"}, {"4", "4"}, {"5", "5"}, {"6", "6"}}),
        Mapped("networkautodetect:i:", "xnxz", {{"7", "1"}}, "networkautodetect:i:0"),
        Constant("bandwidthautodetect:i:1"),
        Flag("displayconnectionbar:i:", "qpsxlan"),
        Constant("enableworkspacereconnect:i:0"),
        Flag("disable wallpaper:i:", "bjxz", true),
        Flag("allow font smoothing:i:", "ztxz"),
        Flag("allow desktop composition:i:", "hcxz"),
        Flag("disable full window drag:i:", "tdxz", true),
        Flag("disable menu anims:i:", "dhxz", true),
        Flag("disable themes:i:", "sjxz", true),
        Constant("disable cursor setting:i:0"),
        Flag("bitmapcachepersistenable:i:", "twhcxz"),
        [](const Inputs& in) { return "username:s:" + in.server.user; },
        [](const Inputs& in) { return "password 51:b:" + in.protectedPassword; },
        [](const Inputs& in) { return "full address:s:" + in.server.ip + ":" + in.server.port; },
        Mapped("audiomode:i:", "ypxz", {{"1", "0"}, {"2", "2"}, {"3", "1"}}),
        Flag("redirectprinters:i:", "dyxz"),
        Flag("redirectcomports:i:", "dkxz"),
        Flag("redirectsmartcards:i:", "znxz"),
        Flag("redirectclipboard:i:", "jtxz"),
        Constant("redirectposdevices:i:0"),
        Flag("autoreconnection enabled:i:", "dxclxz"),
        Mapped("authentication level:i:", "sfyz", {{"1", "0"}, {"2", "2"}, {"3", "1"}}),
        Text("gatewayhostname:s:", "RDmc"),
        GatewayLine("gatewayusagemethod:i:", &Gateway::usage),
        GatewayLine("gatewaycredentialssource:i:", &Gateway::credentials),
        GatewayLine("gatewayprofileusagemethod:i:", &Gateway::profileUsage),
        GatewayLine("promptcredentialonce:i:", &Gateway::promptOnce),
        Constant("gatewaybrokeringtype:i:0"),
        Mapped("drivestoredirect:s:", "qdxz", {{"1", "*"}}, "drivestoredirect:s:"),
        Mapped("camerastoredirect:s:", "spbhxz", {{"1", "*"}}),
        Mapped("devicestoredirect:s:", "qtzcxz", {{"1", "*"}}),
    };
    return lines;
}

}  // namespace

namespace {

bool IsLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

// Whether the system keeps `name` (the part before its first dot) for a device.
bool IsDeviceName(const std::string& name) {
    std::string stem = name.substr(0, name.find('.'));
    for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return true;
    return stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) && stem[3] >= '1' && stem[3] <= '9';
}

// 16 hex digits of the address (ASCII letters lowered) and port: FNV-1a over both, a zero byte between.
std::string ServerFolder(const std::string& ip, const std::string& port) {
    std::uint64_t hash = 0xCBF29CE484222325ull;
    auto add = [&hash](unsigned char byte) { hash = (hash ^ byte) * 0x100000001B3ull; };
    bool trail = false;
    for (char c : ip) {
        unsigned char byte = static_cast<unsigned char>(c);
        add(!trail && byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte + 32) : byte);
        trail = !trail && IsLeadByte(byte);
    }
    add(0);
    for (char c : port) add(static_cast<unsigned char>(c));
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
    return digits;
}

}  // namespace

std::string ConnectionBaseName(const std::string& note, size_t nameLimit) {
    const std::string full = catalogue::ConnectionFileName(note);
    std::vector<size_t> starts;  // where each character of the name begins
    for (size_t i = 0; i < full.size();) {
        starts.push_back(i);
        i += IsLeadByte(static_cast<unsigned char>(full[i])) && i + 1 < full.size() ? 2 : 1;
    }
    const size_t limit = std::max<size_t>(nameLimit, 1);
    auto cut = [&](size_t characters) { return characters < starts.size() ? full.substr(0, starts[characters]) : full; };
    std::string name = cut(limit);
    if (name.empty()) return "_";
    if (IsDeviceName(name)) name = "_" + cut(limit - 1);  // still within the limit
    return name;
}

ConnectionName ConnectionNameOf(const std::string& note, const std::string& ip, const std::string& port,
                                size_t nameLimit) {
    const std::string name = ConnectionBaseName(note, nameLimit);
    return {ServerFolder(ip, port) + "\\" + name + ".rdp",
            name + " - " + LineValue(ip) + ":" + LineValue(port) + " - 远程桌面连接"};
}

std::string LineValue(const std::string& text) {
    std::string value;
    for (char c : text)
        if (c != '\r' && c != '\n') value += c;  // GBK trail bytes are 0x40 and above: never CR or LF
    return value;
}

void Wipe(void* data, size_t size) {
    volatile unsigned char* bytes = static_cast<volatile unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) bytes[i] = 0;
}

std::vector<std::uint8_t> PasswordBlock(const std::string& password) {
    std::vector<std::uint8_t> block(512, 0);
    std::u16string text = runtime::GbkToUtf16(password);
    for (size_t i = 0; i < text.size() && 2 * i + 1 < block.size(); ++i) {
        block[2 * i] = static_cast<std::uint8_t>(text[i] & 0xFF);
        block[2 * i + 1] = static_cast<std::uint8_t>(text[i] >> 8);
    }
    Wipe(text);
    return block;  // the terminating zero, and the filling, are the zeros after the text
}

std::string ProtectPassword(const std::string& password, const Protector& protect) {
    std::vector<std::uint8_t> block = PasswordBlock(password);
    std::vector<std::uint8_t> sealed = protect ? protect(block, u"psw") : std::vector<std::uint8_t>{};
    Wipe(block);
    std::string hex;
    hex.reserve(2 * sealed.size() + 1);
    char digits[3];
    for (std::uint8_t byte : sealed) {
        std::snprintf(digits, sizeof digits, "%02X", byte);
        hex += digits;
    }
    return hex + "0";
}

std::string BuildConnectionFileText(const runtime::Form& mainWindow, const profile::ProfileState& state,
                                    const ServerCells& server, const Protector& protect) {
    Inputs in;
    in.profile = profile::GatherProfile(mainWindow, state);
    in.fullScreen = mainWindow.TrackPosition(profile::kSizeSlider) == mainWindow.TrackMax(profile::kSizeSlider);
    in.allMonitors = mainWindow.Checked(profile::kAllMonitors);
    in.server = {LineValue(server.user), server.password, LineValue(server.ip), LineValue(server.port), server.note};
    in.protectedPassword = ProtectPassword(server.password, protect);
    const std::vector<Line>& lines = Lines();
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) text += "\r\n";
        text += lines[i](in);
    }
    Wipe(in.server.password);
    return text;
}


}  // namespace session
