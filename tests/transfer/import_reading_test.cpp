// Reading sources and planning their servers: text tables in every encoding and form, pasted lines, sample
// files of the foreign formats made here, the export read back. Each sample is also kept as a starting input of its fuzz target.
#include <gtest/gtest.h>
#include <mbedtls/base64.h>
#include <mbedtls/gcm.h>
#include <mbedtls/md.h>
#include <mbedtls/pkcs5.h>

#include <filesystem>
#include <fstream>

#include "jet/test_files.h"
#include "runtime/text_codec.h"
#include "transfer/export.h"
#include "transfer/import.h"

using namespace transfer;

namespace {

std::string Utf8(std::u16string_view s) { return runtime::Utf16ToUtf8(std::u16string(s)); }
std::string Gbk(std::u16string_view s) { return runtime::Utf16ToGbk(std::u16string(s)); }
std::string Utf16(std::u16string_view s, bool big, bool mark) {
    std::string out = mark ? (big ? "\xFE\xFF" : "\xFF\xFE") : "";
    for (char16_t c : s) {
        out += big ? std::string{char(c >> 8), char(c & 0xFF)} : std::string{char(c & 0xFF), char(c >> 8)};
    }
    return out;
}

void KeepSample(const std::string& target, const std::string& name, const std::string& bytes) {
    std::filesystem::create_directories(std::string(QUILLON_FUZZ_SAMPLES) + "/" + target);
    std::ofstream(std::string(QUILLON_FUZZ_SAMPLES) + "/" + target + "/" + name, std::ios::binary) << bytes;
}

std::string Line(const catalogue::ServerEntry& e) {
    return e.ip + "|" + e.port + "|" + e.user + "|" + e.password + "|" + e.note + "|" + e.dqsj;
}

// "添加|ip|port|user|password|note|dqsj" for a server to write, "跳过|origin|reason" or "拒绝|origin|reason"
// (the reason up to its explanation in brackets) for the others; or the source's failure.
std::vector<std::string> Outcome(const SourceReading& source, const std::vector<catalogue::ServerEntry>& existing = {},
                                 bool update = false) {
    if (!source.failure.empty()) return {"失败|" + source.failure};
    std::vector<std::string> lines;
    for (const PlannedServer& s : PlanImport(source, existing, update).servers) {
        lines.push_back(std::string(ActionText(s.action)) + "|" +
                        (s.reason.empty() ? Line(s.entry) : s.origin + "|" + s.reason.substr(0, s.reason.find("（"))));
    }
    return lines;
}

struct Case {
    const char* name;
    std::string bytes;
    std::vector<std::string> expected;
    bool pasted = false;
};

TEST(Import, TextTables) {
    const char16_t refusals[] =
        u"ip,port,user,password,note,expiry\n,1,a,b,c,\n10.0.0.6,0,a,b,c,\n10.0.0.7,x,a,b,c,\n"
        u"123456789012345678901,1,a,b,c,\n10.0.0.8,1,a\U0001F600,b,c,\n10.0.0.9,1,a,b,c,2025/2/30\n"
        u"10.0.0.10,1,a,b,\"c\n";
    const Case cases[] = {
        {"utf8-mark-chinese-header-quotes",
         "\xEF\xBB\xBF" + Utf8(u"服务器IP,端口,用户,密码,备注,到期时间\r\n"
                               u"10.0.0.1,3389,admin,\"p,\"\"w\",\"机房 A\r\n第二行\",2025/7/3\r\n"
                               u"10.0.0.2,,root,x,,2025-12-31 8:05\r\n"),
         {"添加|10.0.0.1|3389|admin|p,\"w|机房 A\r\n第二行|2025/7/3 23:59:59",
          "添加|10.0.0.2|3389|root|x|10.0.0.2|2025/12/31 08:05:00"}},
        {"utf8-english-header-semicolons", Utf8(u"Port; Host ;Name;User\n22;web01;网站;ops\n"),
         {"添加|web01|22|ops||网站|"}},
        {"utf16le-tabs-no-header", Utf16(u"10.0.0.3\t3390\tadmin\tpw\t备注\t\r\n", false, true),
         {"添加|10.0.0.3|3390|admin|pw|备注|"}},
        {"utf16be-unmarked-host-port", Utf16(u"IP,port\n10.0.0.4:3391,\n", true, false),
         {"添加|10.0.0.4|3391|||10.0.0.4|"}},
        {"gbk-blanks", Gbk(u"10.0.0.5:3392 admin pw 我的 服务器 2025/1/2 3:04\n\n10.0.0.5:3392 again x 有,逗号\n"),
         {"添加|10.0.0.5|3392|admin|pw|我的 服务器|2025/1/2 03:04:00", "跳过|第 3 行|与本次导入的“第 1 行”重复"}},
        {"refusals", Utf8(refusals),
         {"拒绝|第 2 行|没有服务器地址", "拒绝|第 3 行|端口“0”不是 1 到 65535 之间的数",
          "拒绝|第 4 行|端口“x”不是 1 到 65535 之间的数", "拒绝|第 5 行|服务器IP不能超过20个字符...",
          "拒绝|第 6 行|用户名含有 GBK 无法表示的字符“?”", "拒绝|第 7 行|到期时间“2025/2/30”无法识别",
          "拒绝|第 8 行|引号没有配对：从这一行到文件末尾都未能读取"}},
        {"binary", std::string("\x01\x02garbage\x00\x00\x03", 12), {"失败|不是文本文件（含有零字节）"}},
        {"no-encoding", "a,\x81 \xFF,1", {"失败|无法识别文本的编码（不是 UTF-8、UTF-16 或 GBK）"}},
        {"long-line", "ip,note\n10.0.0.14," + std::string(1 << 20, 'n') + "\n",
         {"拒绝|第 2 行|备注不能超过255个字符..."}},
        {"header-without-address", "user,password\na,b\n",
         {"失败|表头没有服务器地址的列（服务器IP、地址、IP 或 host）"}},
        {"pasted-lines", Gbk(u"10.0.0.11 admin pw 备注 一\r\n10.0.0.12\r\n"),
         {"添加|10.0.0.11|3389|admin|pw|备注 一|", "添加|10.0.0.12|3389|||10.0.0.12|"}, true},
        {"pasted-cells", Gbk(u"服务器IP\t端口\t用户\t密码\n10.0.0.13\t\tadmin\tpw\n"),
         {"添加|10.0.0.13|3389|admin|pw|10.0.0.13|"}, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Outcome(c.pasted ? ReadPastedLines(c.bytes) : ReadTextTable(c.bytes)), c.expected) << c.name;
        if (c.bytes.size() < 4096) KeepSample("table_fuzz", c.name, c.bytes);
    }
}

TEST(Import, HugeFileIsRefusedUnread) {
    testfiles::TempDir dir;
    const std::string path = dir.file("huge.csv");
    std::ofstream(path) << "ip\n";
    std::filesystem::resize_file(path, std::uintmax_t(1) << 30);  // sparse: nothing is written
    EXPECT_EQ(Outcome(ReadSource(path, {})),
              std::vector<std::string>{"失败|文件太大（1.0 GB），超过 16.0 MB 的文件不读"});
}

TEST(Import, ExistingServersAreSkippedOrUpdated) {
    const std::vector<catalogue::ServerEntry> existing = {{"web01", "3389", "admin", "old", "note", ""}};
    const std::string csv = "ip,port,user,password\nWEB01,03389,,new\nweb01,3389,admin,old\n";
    EXPECT_EQ(Outcome(ReadTextTable(csv), existing, false),
              (std::vector<std::string>{"跳过|第 2 行|已有这个服务器", "跳过|第 3 行|与本次导入的“第 2 行”重复"}));
    EXPECT_EQ(Outcome(ReadTextTable(csv), existing, true),
              (std::vector<std::string>{"更新|WEB01|3389|admin|new|note|", "跳过|第 3 行|与本次导入的“第 2 行”重复"}));
    EXPECT_EQ(Outcome(ReadTextTable("ip,user\nweb01,admin\n"), existing, true),
              (std::vector<std::string>{"跳过|第 2 行|已有这个服务器，内容相同"}));
}

TEST(Import, ExportReadsBackAsTheSameServers) {
    std::vector<catalogue::ServerEntry> servers = {
        {"10.9.0.1", "3389", "admin", " p,w\"", "机房 \"A\", 第一\r\n第二行", "2025/7/3 14:05:09"},
        {"host-2", "22", "用户", "密码", "备注", ""}};
    for (bool passwords : {true, false}) {
        const std::string csv = ServersCsv(servers, passwords);
        KeepSample("table_fuzz", passwords ? "export-with-passwords" : "export", csv);
        std::vector<std::string> expected;
        for (catalogue::ServerEntry server : servers) {
            if (!passwords) server.password.clear();
            expected.push_back("添加|" + Line(server));
        }
        EXPECT_EQ(Outcome(ReadTextTable(csv)), expected);
    }
}

// ---- foreign formats --------------------------------------------------------------------------------------

// The test's stand-in for the data protection service: a blob is "SEAL" and the plain bytes.
std::string Seal(std::u16string_view password) { return "SEAL" + Utf16(password, false, false) + std::string(2, '\0'); }
ReadOptions StandIn() {
    ReadOptions options;
    options.unprotect = [](const std::vector<uint8_t>& blob) -> std::optional<std::vector<uint8_t>> {
        if (blob.size() < 4 || std::string(blob.begin(), blob.begin() + 4) != "SEAL") return std::nullopt;
        return std::vector<uint8_t>(blob.begin() + 4, blob.end());
    };
    return options;
}
std::u16string Hex(const std::string& bytes) {
    std::u16string hex;
    for (unsigned char b : bytes) hex += {u"0123456789ABCDEF"[b >> 4], u"0123456789ABCDEF"[b & 15]};
    return hex;
}
std::string Base64(const std::string& bytes) {
    size_t length = 0;
    std::string out(bytes.size() * 4 / 3 + 4, '\0');
    mbedtls_base64_encode(reinterpret_cast<unsigned char*>(out.data()), out.size(), &length,
                          reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    return out.substr(0, length);
}
std::string Replaced(std::string text, const std::vector<std::pair<std::string, std::string>>& values) {
    for (const auto& [from, to] : values) text.replace(text.find(from), from.size(), to);
    return text;
}

TEST(Import, ConnectionFiles) {
    const std::u16string text =
        u"screen mode id:i:2\r\nfull address:s:10.1.0.1:3390\r\nusername:s:管理员\r\npassword 51:b:";
    const std::string ours = Utf16(text + Hex(Seal(u"密码1")) + u"0\r\n", false, true);
    const std::string foreign = Utf8(text + Hex("XYZZ") + u"\r\n");
    KeepSample("rdp_fuzz", "utf16", ours);
    EXPECT_EQ(Outcome(ReadConnectionFile(ours, "机房/web 01.rdp", StandIn())),
              (std::vector<std::string>{"添加|10.1.0.1|3390|管理员|密码1|web 01|"}));
    for (const auto& [bytes, options] : {std::pair{ours, ReadOptions{}}, std::pair{foreign, StandIn()}}) {
        SourceReading read = ReadConnectionFile(bytes, "a.rdp", options);
        ASSERT_EQ(read.servers.size(), 1u);
        EXPECT_EQ(read.servers[0].password, u"");
        EXPECT_EQ(read.servers[0].remarks.at(0).rfind("密码未导入：", 0), 0u);
    }
}

TEST(Import, ServerGroupFile) {
    std::string deep;
    for (int i = 0; i < 70; ++i) deep += "<group><properties><name>g</name></properties>";
    deep += "<server><properties><name>10.2.0.4</name></properties></server>";
    for (int i = 0; i < 70; ++i) deep += "</group>";
    const std::string rdg = Replaced(Utf8(uR"(<?xml version="1.0" encoding="utf-8"?><RDCMan><file>
<properties><name>F</name></properties><logonCredentials><userName>ops</userName><password>P0</password></logonCredentials>
<group><properties><name>机房 A</name></properties><group><properties><name>B</name></properties>
  <server><properties><name>10.2.0.1:3391</name><displayName>web01</displayName></properties>
    <logonCredentials><userName>admin</userName><domain>CORP</domain><password>P1</password></logonCredentials></server>
  <server><properties><name>10.2.0.2</name></properties></server></group></group>
<server><properties><name>10.2.0.3</name><displayName>x</displayName></properties>
  <logonCredentials><userName>u</userName><password>not base64!</password></logonCredentials></server>DEEP</file></RDCMan>)"),
                                     {{"P0", Base64(Seal(u"组密码"))}, {"P1", Base64(Seal(u"pw1"))}, {"DEEP", deep}});
    KeepSample("rdg_fuzz", "nested", rdg);
    std::vector<std::string> outcome = Outcome(ReadServerGroupFile(rdg, StandIn()));
    ASSERT_EQ(outcome.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(outcome.begin(), outcome.begin() + 3),
              (std::vector<std::string>{"添加|10.2.0.1|3391|CORP\\admin|pw1|机房 A/B/web01|",
                                        "添加|10.2.0.2|3389|ops|组密码|机房 A/B/10.2.0.2|",
                                        "添加|10.2.0.3|3389|u||x|"}));
    EXPECT_EQ(outcome[3].substr(outcome[3].find("服务器 10.2.0.4")),
              "服务器 10.2.0.4|所在的组嵌套超过 64 层，未读取");
    const char entity[] = R"(<?xml version="1.0"?><!DOCTYPE RDCMan [<!ENTITY x "y">]><RDCMan>&x;</RDCMan>)";
    EXPECT_EQ(Outcome(ReadServerGroupFile(entity, {})),
              (std::vector<std::string>{"失败|XML 文件含有文档类型声明或实体定义（<!DOCTYPE、<!ENTITY），为安全起见不读"}));
}

// An encrypted text of a connections file, made here with Mbed TLS.
std::string Encrypt(const std::string& plain, const std::string& password) {
    std::string salt(16, '\0'), nonce(16, '\0'), cipher(plain.size(), '\0'), tag(16, '\0');
    for (int i = 0; i < 16; ++i) salt[i] = char(i * 7 + plain.size()), nonce[i] = char(i * 13);
    auto bytes = [](std::string& text) { return reinterpret_cast<unsigned char*>(text.data()); };
    unsigned char key[32];
    mbedtls_md_context_t md;
    mbedtls_md_init(&md);
    mbedtls_md_setup(&md, mbedtls_md_info_from_type(MBEDTLS_MD_SHA1), 1);
    mbedtls_pkcs5_pbkdf2_hmac(&md, reinterpret_cast<const unsigned char*>(password.data()), password.size(),
                              bytes(salt), 16, 1000, 32, key);
    mbedtls_md_free(&md);
    mbedtls_gcm_context gcm;
    mbedtls_gcm_init(&gcm);
    mbedtls_gcm_setkey(&gcm, MBEDTLS_CIPHER_ID_AES, key, 256);
    mbedtls_gcm_crypt_and_tag(&gcm, MBEDTLS_GCM_ENCRYPT, plain.size(), bytes(nonce), 16, bytes(salt), 16,
                              reinterpret_cast<const unsigned char*>(plain.data()), bytes(cipher), 16, bytes(tag));
    mbedtls_gcm_free(&gcm);
    return Base64(salt + nonce + cipher + tag);
}

TEST(Import, ConnectionsFiles) {
    auto file = [](const std::string& master, bool full) {
        const std::string nodes = Replaced(Utf8(uR"(<Node Name="机房" Type="Container"><Node Name="web" Type="Connection"
Hostname="10.3.0.1" Port="3390" Protocol="RDP" Username="admin" Domain="CORP" Password="PW"/>
<Node Name="ssh" Type="Connection" Hostname="10.3.0.2" Protocol="SSH2"/></Node>)"),
                                           {{"PW", Encrypt(Utf8(u"密码"), master)}});
        return Replaced(R"(<?xml version="1.0" encoding="utf-8"?><mrng:Connections xmlns:mrng="urn:test"
EncryptionEngine="AES" BlockCipherMode="GCM" KdfIterations="1000" FullFileEncryption="FULL" Protected="CHECK">NODES
</mrng:Connections>)",
                        {{"FULL", full ? "true" : "false"}, {"CHECK", Encrypt("ThisIsNotProtected", master)},
                         {"NODES", full ? Encrypt(nodes, master) : nodes}});
    };
    const std::vector<std::string> read = {"添加|10.3.0.1|3390|CORP\\admin|密码|机房/web|",
                                           "拒绝|文件夹 机房 / 连接 ssh|协议是 SSH2，不是远程桌面"};
    const std::string secret = Utf8(u"秘密");
    struct {
        std::string bytes;
        std::u16string master;
        std::vector<std::string> expected;
    } cases[] = {
        {file("mR3m", false), u"", read},
        {file("mR3m", true), u"", read},
        {file(secret, false), u"秘密", read},
        {file(secret, true), u"", {"失败|这个文件设有主密码：请输入主密码"}},
        {file(secret, false), u"不对", {"添加|10.3.0.1|3390|CORP\\admin||机房/web|", read[1]}},
        {file(secret, true), u"不对", {"失败|主密码不对，无法解开文件"}},
    };
    for (const auto& c : cases) {
        ReadOptions options;
        options.masterPassword = c.master;
        SourceReading source = ReadConnectionsFile(c.bytes, options);
        EXPECT_EQ(Outcome(source), c.expected) << Gbk(c.master);
        EXPECT_EQ(source.needsMasterPassword, c.expected[0] == "失败|这个文件设有主密码：请输入主密码");
        KeepSample("confcons_fuzz", std::to_string(&c - cases), c.bytes);
    }
}

}  // namespace
