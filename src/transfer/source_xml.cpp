// The XML server group files: .rdg (root RDCMan) and connections files (root Connections), through pugixml.
//
// Before pugixml sees a file: its size, its encoding (converted to UTF-8 here, so that the guards below read
// it), no document type declaration or entity definition anywhere ("<!DOCTYPE", "<!ENTITY": refused, so no
// entity is ever defined, let alone expanded), and at most kMaxXmlElements elements and kMaxXmlAttributes
// attributes (counted by their '<' and '='), which bounds the parsed tree's memory. pugixml parses without
// recursion; the walks below keep their own stack, at most kMaxGroupDepth groups deep: servers deeper down
// are found by following parent links and refused.
#include <pugixml.hpp>

#include <algorithm>
#include <memory>

#include "jet/value.h"
#include "runtime/text_codec.h"
#include "transfer/decrypt.h"
#include "transfer/readers.h"
#include "transfer/text.h"

namespace transfer::detail {
namespace {

// A parsed file and the UTF-8 buffer pugixml parsed in place.
struct XmlFile {
    std::string utf8;
    pugi::xml_document doc;
    std::string encoding;
};

// False with `why` when the bytes cannot be parsed.
bool LoadXml(std::string_view bytes, bool fragment, XmlFile& file, std::string& why) {
    if (bytes.size() > kMaxXmlBytes) {
        why = "文件太大，超过 " + std::to_string(kMaxXmlBytes >> 20) + " MB 的 XML 文件不读";
        return false;
    }
    std::u16string text;
    text::Encoding encoding;
    if (!text::DecodeText(bytes, text, encoding, why)) return false;
    file.encoding = text::EncodingName(encoding);
    file.utf8 = jet::toUtf8(text);
    text.clear();
    text.shrink_to_fit();
    const std::string& xml = file.utf8;
    if (xml.find("<!DOCTYPE") != std::string::npos || xml.find("<!ENTITY") != std::string::npos) {
        why = "XML 文件含有文档类型声明或实体定义（<!DOCTYPE、<!ENTITY），为安全起见不读";
        return false;
    }
    if (static_cast<size_t>(std::count(xml.begin(), xml.end(), '<')) > 2 * kMaxXmlElements ||
        static_cast<size_t>(std::count(xml.begin(), xml.end(), '=')) > kMaxXmlAttributes) {
        why = "XML 文件的元素或属性太多，不读";
        return false;
    }
    unsigned options = pugi::parse_default | (fragment ? pugi::parse_fragment : 0u);
    pugi::xml_parse_result result = file.doc.load_buffer_inplace(file.utf8.data(), file.utf8.size(), options,
                                                                 pugi::encoding_utf8);
    if (!result) {
        why = std::string("XML 格式错误：") + result.description() + "（第 " + std::to_string(result.offset + 1) +
              " 个字节）";
        return false;
    }
    return true;
}

std::u16string Utf16(const char* utf8) { return jet::fromUtf8(utf8); }

bool Named(const pugi::xml_node& node, const char* name) {
    return node.type() == pugi::node_element && std::string_view(node.name()) == name;
}

// The element's name without its namespace prefix.
std::string_view LocalName(const pugi::xml_node& node) {
    std::string_view name = node.name();
    size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// The next node after `node` in document order below `top`, without a stack; empty at the end.
pugi::xml_node NextInside(pugi::xml_node node, const pugi::xml_node& top) {
    if (node.first_child()) return node.first_child();
    while (node != top && !node.next_sibling()) node = node.parent();
    return node == top ? pugi::xml_node() : node.next_sibling();
}

// A walk in document order through the groups of an XML file with a frame per group (its note prefix, its
// origin, what the format lets it pass on to its servers). Every server copies its group's prefixes, so they
// are kept short: a note prefix longer than a note may be is cut there (its servers are refused for it
// anyway), and an origin names each group by at most 40 characters and stops growing past 1,000 bytes.
template <typename Context>
class GroupWalk {
public:
    struct Frame {
        pugi::xml_node group;
        pugi::xml_node next;        // the next child to look at
        std::u16string notePrefix;  // "A/B/"
        std::string originPrefix;   // "组 A / 组 B / "
        Context context;
    };

    // isGroup(node): whether the child is a group, then its name; isServer(node): whether it is a server.
    // visit(node, frame): a server. refuse(node, originPrefix): a server below the depth limit.
    template <typename IsGroup, typename IsServer, typename Enter, typename Visit, typename RefuseDeep>
    static void Run(Frame top, const char* groupWord, IsGroup isGroup, IsServer isServer, Enter enter, Visit visit,
                    RefuseDeep refuseDeep) {
        std::vector<Frame> stack;
        top.next = top.group.first_child();
        stack.push_back(std::move(top));
        while (!stack.empty()) {
            pugi::xml_node child = stack.back().next;
            if (!child) {
                stack.pop_back();
                continue;
            }
            stack.back().next = child.next_sibling();
            std::u16string name;
            if (isServer(child)) {
                visit(child, stack.back());
            } else if (isGroup(child, name)) {
                std::string origin = stack.back().originPrefix;
                if (origin.size() < 1000) {
                    origin += groupWord + (" " + text::Gbk(name.substr(0, 40))) + (name.size() > 40 ? "... / " : " / ");
                }
                if (stack.size() > kMaxGroupDepth) {
                    // Too deep for a frame each: every server inside is refused, found without a stack.
                    for (pugi::xml_node node = child.first_child(); node; node = NextInside(node, child)) {
                        if (isServer(node)) refuseDeep(node, origin + "... / ");
                    }
                    continue;
                }
                Frame frame{child, child.first_child(), stack.back().notePrefix + name + u"/", origin,
                            stack.back().context};
                if (frame.notePrefix.size() > 256) frame.notePrefix.resize(256);
                enter(child, frame.context);
                stack.push_back(std::move(frame));
            }
        }
    }
};

std::string DeepRefusal() {
    return "所在的组嵌套超过 " + std::to_string(kMaxGroupDepth) + " 层，未读取";
}

bool AddServer(SourceReading& out, SourceServer&& server) {
    if (out.servers.size() >= kMaxServers) {
        out.failure = "服务器超过 " + std::to_string(kMaxServers) + " 个，未读取";
        return false;
    }
    out.servers.push_back(std::move(server));
    return true;
}

// ---- .rdg ---------------------------------------------------------------------------------------------------

struct Credentials {
    pugi::xml_node element;  // logonCredentials, or empty
};

// A logonCredentials element with a user name, or an empty node.
pugi::xml_node OwnCredentials(const pugi::xml_node& holder) {
    pugi::xml_node credentials = holder.child("logonCredentials");
    return credentials && *credentials.child("userName").child_value() ? credentials : pugi::xml_node();
}

std::u16string PropertiesText(const pugi::xml_node& node, const char* name) {
    return text::Trim(Utf16(node.child("properties").child(name).child_value()));
}

void ReadServerGroups(const XmlFile& file, const ReadOptions& options, SourceReading& out) {
    out.kind = SourceKind::kServerGroupFile;
    out.description = "远程桌面服务器组文件（.rdg）";
    pugi::xml_node top = file.doc.document_element().child("file");
    if (!top) {
        out.failure = "不是服务器组文件：RDCMan 下没有 file 元素";
        return;
    }
    using Walk = GroupWalk<Credentials>;
    Walk::Frame frame{top, {}, u"", "", Credentials{OwnCredentials(top)}};
    auto serverName = [](const pugi::xml_node& server) {
        std::u16string display = PropertiesText(server, "displayName");
        return display.empty() ? PropertiesText(server, "name") : display;
    };
    Walk::Run(
        std::move(frame), "组",
        [](const pugi::xml_node& node, std::u16string& name) {
            if (!Named(node, "group")) return false;
            name = PropertiesText(node, "name");
            return true;
        },
        [](const pugi::xml_node& node) { return Named(node, "server"); },
        [](const pugi::xml_node& group, Credentials& credentials) {
            if (pugi::xml_node own = OwnCredentials(group)) credentials.element = own;
        },
        [&](const pugi::xml_node& element, const Walk::Frame& group) {
            if (!out.failure.empty()) return;
            SourceServer server;
            server.address = PropertiesText(element, "name");
            server.note = group.notePrefix + serverName(element);
            server.origin = group.originPrefix + "服务器 " + text::Gbk(serverName(element));
            pugi::xml_node credentials = OwnCredentials(element);
            if (!credentials) credentials = group.context.element;
            if (credentials) {
                std::u16string user = text::Trim(Utf16(credentials.child("userName").child_value()));
                std::u16string domain = text::Trim(Utf16(credentials.child("domain").child_value()));
                server.user = domain.empty() ? user : domain + u"\\" + user;
                std::string password = credentials.child("password").child_value();
                std::vector<std::uint8_t> blob;
                if (password.find_first_not_of(" \t\r\n") == std::string::npos) {
                    // no password saved
                } else if (!crypto::DecodeBase64(password, blob)) {
                    server.remarks.push_back("密码未导入：不是有效的 base64");
                } else {
                    TakeProtectedPassword(blob, options, server);
                }
            }
            AddServer(out, std::move(server));
        },
        [&](const pugi::xml_node& element, const std::string& origin) {
            if (!out.failure.empty()) return;
            SourceServer server;
            server.address = PropertiesText(element, "name");
            server.origin = origin + "服务器 " + text::Gbk(serverName(element));
            server.refusal = DeepRefusal();
            AddServer(out, std::move(server));
        });
    if (!out.failure.empty()) out.servers.clear();
}

// ---- connections file -----------------------------------------------------------------------------------

constexpr char16_t kDefaultMasterPassword[] = u"mR3m";

std::u16string Attribute(const pugi::xml_node& node, const char* name) {
    return Utf16(node.attribute(name).value());
}

// Decrypts the file's texts with one master password, within the iteration budget.
class Decryptor {
public:
    Decryptor(std::string password, std::uint32_t iterations, std::uint64_t budget)
        : password_(std::move(password)), iterations_(iterations), budget_(budget) {}

    // kOk, kNotBase64 or kWrongKey; nullopt when the budget is spent.
    std::optional<crypto::Decrypted> Decrypt(std::string_view base64, std::string& plain) {
        if (budget_ < iterations_) return std::nullopt;
        budget_ -= iterations_;
        size_t begin = base64.find_first_not_of(" \t\r\n"), end = base64.find_last_not_of(" \t\r\n");
        base64 = begin == std::string_view::npos ? std::string_view() : base64.substr(begin, end - begin + 1);
        return crypto::DecryptText(base64, password_, iterations_, plain);
    }

private:
    std::string password_;
    std::uint32_t iterations_;
    std::uint64_t budget_;
};

struct NoContext {};

void ReadConnections(const XmlFile& file, const ReadOptions& options, SourceReading& out) {
    out.kind = SourceKind::kConnectionsFile;
    out.description = "连接文件（confCons.xml）";
    const pugi::xml_node root = file.doc.document_element();

    std::u16string engine = Attribute(root, "EncryptionEngine"), mode = Attribute(root, "BlockCipherMode");
    if (engine.empty()) engine = u"AES";
    if (mode.empty()) mode = u"GCM";
    const bool supported = text::EqualsIgnoringAsciiCase(engine, u"AES") && text::EqualsIgnoringAsciiCase(mode, u"GCM");
    const std::string cipher = text::Gbk(engine) + "/" + text::Gbk(mode);
    std::uint32_t iterations = 1000;
    if (std::string value = root.attribute("KdfIterations").value(); !value.empty()) {
        std::u16string digits = text::Trim(Utf16(value.c_str()));
        uint64_t number = 0;
        bool ok = !digits.empty() && digits.size() <= 9;
        for (char16_t c : digits) {
            ok = ok && c >= u'0' && c <= u'9';
            number = number * 10 + (c - u'0');
        }
        if (!ok || number < 1 || number > kMaxKdfIterations) {
            out.failure = "KdfIterations 不是 1 到 " + std::to_string(kMaxKdfIterations) + " 之间的数";
            return;
        }
        iterations = static_cast<std::uint32_t>(number);
    }
    const bool fullFile = text::EqualsIgnoringAsciiCase(Attribute(root, "FullFileEncryption"), u"true");
    const bool given = !options.masterPassword.empty();
    Decryptor decryptor(jet::toUtf8(given ? options.masterPassword : kDefaultMasterPassword), iterations,
                        options.decryptionBudget);

    // Why passwords cannot be decrypted at all (empty when they can).
    std::string noPasswords;
    if (!supported) {
        if (fullFile) {
            out.failure = "文件用 " + cipher + " 加密，无法读取（只支持 AES/GCM）";
            return;
        }
        noPasswords = "不支持的加密方式 " + cipher;
    } else if (std::string check = root.attribute("Protected").value(); !check.empty()) {
        std::string plain;
        if (decryptor.Decrypt(check, plain) != crypto::Decrypted::kOk) {
            if (!given) {
                out.needsMasterPassword = true;
                out.failure = "这个文件设有主密码：请输入主密码";
                return;
            }
            if (fullFile) {
                out.failure = "主密码不对，无法解开文件";
                return;
            }
            noPasswords = "主密码不对";
        }
    }
    if (!noPasswords.empty()) out.notes.push_back("密码都未导入：" + noPasswords);

    XmlFile inner;
    pugi::xml_node nodes = root;
    if (fullFile) {
        std::string plain;
        std::optional<crypto::Decrypted> decrypted = decryptor.Decrypt(root.child_value(), plain);
        if (decrypted == crypto::Decrypted::kNotBase64) {
            out.failure = "文件的加密内容不是有效的 base64";
            return;
        }
        if (decrypted != crypto::Decrypted::kOk) {
            out.needsMasterPassword = !given;
            out.failure = given ? "主密码不对，无法解开文件" : "这个文件设有主密码：请输入主密码";
            return;
        }
        std::string why;
        if (!LoadXml(plain, true, inner, why)) {
            out.failure = "解密后的内容：" + why;
            return;
        }
        nodes = inner.doc;
    }

    bool budgetNoted = false;
    auto takePassword = [&](const pugi::xml_node& node, SourceServer& server) {
        std::string_view encrypted = node.attribute("Password").value();
        if (encrypted.find_first_not_of(" \t\r\n") == std::string_view::npos) return;
        if (!noPasswords.empty()) {
            server.remarks.push_back("密码未导入：" + noPasswords);
            return;
        }
        std::string plain;
        std::optional<crypto::Decrypted> decrypted = decryptor.Decrypt(encrypted, plain);
        std::u16string password;
        if (!decrypted) {
            server.remarks.push_back("密码未导入：解密全部密码所需的时间太长");
            if (!budgetNoted) out.notes.push_back("密码太多，解密所需的时间太长：其余的密码未导入");
            budgetNoted = true;
        } else if (*decrypted == crypto::Decrypted::kNotBase64) {
            server.remarks.push_back("密码未导入：不是有效的加密文字");
        } else if (*decrypted == crypto::Decrypted::kWrongKey) {
            server.remarks.push_back("密码未导入：无法用主密码解密");
        } else if (!text::DecodeUtf8(plain, password)) {
            server.remarks.push_back("密码未导入：解密后的内容不是 UTF-8 文字");
        } else {
            server.password = std::move(password);
        }
    };

    using Walk = GroupWalk<NoContext>;
    auto isConnection = [](const pugi::xml_node& node) {
        return Named(node, "Node") && std::string_view(node.attribute("Type").value()) == "Connection";
    };
    auto nodeName = [](const pugi::xml_node& node) { return text::Trim(Attribute(node, "Name")); };
    Walk::Run(
        Walk::Frame{nodes, {}, u"", "", {}}, "文件夹",
        [&](const pugi::xml_node& node, std::u16string& name) {
            if (!Named(node, "Node")) return false;
            name = nodeName(node);
            return true;
        },
        isConnection, [](const pugi::xml_node&, NoContext&) {},
        [&](const pugi::xml_node& node, const Walk::Frame& folder) {
            if (!out.failure.empty()) return;
            SourceServer server;
            server.origin = folder.originPrefix + "连接 " + text::Gbk(nodeName(node));
            std::u16string protocol = text::Trim(Attribute(node, "Protocol"));
            if (!text::EqualsIgnoringAsciiCase(protocol, u"RDP")) {
                server.refusal = "协议是 " + text::Gbk(protocol) + "，不是远程桌面（RDP）";
            } else {
                server.address = text::Trim(Attribute(node, "Hostname"));
                server.port = text::Trim(Attribute(node, "Port"));
                std::u16string user = text::Trim(Attribute(node, "Username"));
                std::u16string domain = text::Trim(Attribute(node, "Domain"));
                server.user = domain.empty() || user.empty() ? user : domain + u"\\" + user;
                server.note = folder.notePrefix + nodeName(node);
                takePassword(node, server);
            }
            AddServer(out, std::move(server));
        },
        [&](const pugi::xml_node& node, const std::string& origin) {
            if (!out.failure.empty()) return;
            SourceServer server;
            server.origin = origin + "连接 " + text::Gbk(nodeName(node));
            server.refusal = DeepRefusal();
            AddServer(out, std::move(server));
        });
    if (!out.failure.empty()) out.servers.clear();
}

bool LooksLikeXml(std::string_view bytes) {
    // After a byte-order mark, blanks and the zero bytes of UTF-16, the first character is '<'.
    for (unsigned char c : bytes.substr(0, 1024)) {
        if (c == '<') return true;
        if (c != 0 && c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != 0xEF && c != 0xBB && c != 0xBF &&
            c != 0xFF && c != 0xFE) {
            return false;
        }
    }
    return false;
}

}  // namespace

void TakeProtectedPassword(const std::vector<std::uint8_t>& blob, const ReadOptions& options, SourceServer& server) {
    if (!options.unprotect) {
        server.remarks.push_back("密码未导入：它由 Windows 的数据保护服务加密，这里无法解开");
        return;
    }
    std::optional<std::vector<std::uint8_t>> plain = options.unprotect(blob);
    if (!plain) {
        server.remarks.push_back("密码未导入：数据保护服务无法解开（它是另一个 Windows 用户或另一台电脑保存的）");
        return;
    }
    server.password = text::Utf16LEUntilZero(*plain);
    std::fill(plain->begin(), plain->end(), 0);
}

std::optional<SourceReading> ReadXml(std::string_view bytes, const ReadOptions& options) {
    if (!LooksLikeXml(bytes)) return std::nullopt;
    SourceReading out;
    auto file = std::make_unique<XmlFile>();
    if (!LoadXml(bytes, false, *file, out.failure)) return out;
    out.encoding = file->encoding;
    std::string_view root = LocalName(file->doc.document_element());
    if (root == "RDCMan") {
        ReadServerGroups(*file, options, out);
    } else if (root == "Connections") {
        ReadConnections(*file, options, out);
    } else {
        out.failure = "不认识的 XML 文件（根元素是 " + text::GbkOfUtf8(root) + "，不是 RDCMan 或 Connections）";
    }
    return out;
}

}  // namespace transfer::detail

namespace transfer {
namespace {

SourceReading ReadXmlOf(std::string_view bytes, const ReadOptions& options, SourceKind kind) {
    std::optional<SourceReading> read = detail::ReadXml(bytes, options);
    if (read && read->failure.empty() && read->kind != kind) read->failure = "不是这种文件";
    if (read) return std::move(*read);
    SourceReading out;
    out.kind = kind;
    out.failure = "不是 XML 文件";
    return out;
}

}  // namespace

SourceReading ReadServerGroupFile(std::string_view bytes, const ReadOptions& options) {
    return ReadXmlOf(bytes, options, SourceKind::kServerGroupFile);
}

SourceReading ReadConnectionsFile(std::string_view bytes, const ReadOptions& options) {
    return ReadXmlOf(bytes, options, SourceKind::kConnectionsFile);
}

}  // namespace transfer
