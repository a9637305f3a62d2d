// ConfigDatabase through ADO and the system's OLE DB provider for Jet files, used where one is registered
// for this process (Microsoft.Jet.OLEDB.4.0 exists only for 32-bit processes; the ACE providers where
// installed). ADO is reached through IDispatch by name (late binding), so no ADO headers or type library
// are needed to build.
//
// Threads: COM objects may only be used from the apartment that holds them. Every thread that calls into
// this backend joins the process's multithreaded apartment first (the program's user-interface thread and
// its start-up loader both do, through these calls), so the connection and its recordset can be used by
// whichever thread holds the program's database lock. A thread that already lives in a single-threaded
// apartment cannot use the backend: OpenSystemBackend returns null there (the built-in engine is used) and
// later calls fail with a message.
//
// The recordset follows the semantics in config_database.h: a static snapshot with optimistic locking;
// changes pending until Update; past the last row reading is an error, which ConfigDatabase turns into the
// empty text.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <algorithm>
#include <array>
#include <functional>
#include <initializer_list>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/config_backend.h"
#include "catalogue/value_text.h"
#include "jet/page_store.h"
#include "jet/value.h"

namespace catalogue {
namespace {

// ADO's enumerated values used here.
constexpr long adOpenForwardOnly = 0;
constexpr long adOpenStatic = 3;
constexpr long adLockReadOnly = 1;
constexpr long adLockOptimistic = 3;
constexpr long adCmdText = 1;
constexpr long adCmdTable = 2;
constexpr long adEditNone = 0;
constexpr long adEditAdd = 2;
constexpr long adStateOpen = 1;
constexpr long adSchemaColumns = 4;

// The providers tried, in this order.
constexpr const wchar_t* kProviders[] = {L"Microsoft.Jet.OLEDB.4.0", L"Microsoft.ACE.OLEDB.16.0",
                                         L"Microsoft.ACE.OLEDB.12.0"};

std::u16string u16(const wchar_t* text) { return std::u16string(reinterpret_cast<const char16_t*>(text)); }
const wchar_t* wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

std::string hex(HRESULT code) {
    char text[16];
    wsprintfA(text, "0x%08lX", static_cast<unsigned long>(code));
    return text;
}

// Every failure leaves as one line of UTF-8 (ConfigDatabase converts it for LastError).
[[noreturn]] void fail(const std::string& what, HRESULT code, const std::u16string& description = u"") {
    std::string message = what + " failed";
    if (!description.empty()) {
        std::u16string line = description;
        for (char16_t& c : line) {
            if (c == u'\r' || c == u'\n') c = u' ';
        }
        while (!line.empty() && line.back() == u' ') line.pop_back();
        message += ": " + jet::toUtf8(line);
    }
    message += " (" + hex(code) + ")";
    throw std::runtime_error(message);
}

void joinComApartment() {
    thread_local bool joined = false;
    if (joined) return;
    HRESULT result = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (result == RPC_E_CHANGED_MODE) {
        throw std::runtime_error(
            "the database cannot be used from this thread: it already uses COM in a single-threaded apartment");
    }
    if (FAILED(result)) fail("starting COM", result);
    joined = true;  // the thread stays in the apartment for its life
}

// A VARIANT that frees what it holds.
class Var {
public:
    Var() { VariantInit(&v); }
    explicit Var(const std::u16string& text) {
        VariantInit(&v);
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocStringLen(wide(text), static_cast<UINT>(text.size()));
        if (!v.bstrVal) throw std::bad_alloc();
    }
    explicit Var(long number) {
        VariantInit(&v);
        v.vt = VT_I4;
        v.lVal = number;
    }
    explicit Var(IDispatch* object) {
        VariantInit(&v);
        v.vt = VT_DISPATCH;
        v.pdispVal = object;
        if (object) object->AddRef();
    }
    ~Var() { VariantClear(&v); }
    Var(Var&& other) noexcept : v(other.v) { VariantInit(&other.v); }
    Var(const Var&) = delete;
    Var& operator=(const Var&) = delete;

    VARIANT v;
};

// An IDispatch pointer that releases what it holds.
class Object {
public:
    Object() = default;
    explicit Object(IDispatch* pointer) : p_(pointer) {}
    ~Object() { reset(); }
    Object(Object&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
    Object& operator=(Object&& other) noexcept {
        if (this != &other) {
            reset();
            p_ = other.p_;
            other.p_ = nullptr;
        }
        return *this;
    }
    void reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }
    IDispatch* get() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    IDispatch* p_ = nullptr;
};

// Creates a COM object by ProgID; an empty Object when it is not registered or does not start.
Object create(const wchar_t* progId) {
    CLSID classId;
    if (FAILED(CLSIDFromProgID(progId, &classId))) return {};
    IDispatch* object = nullptr;
    if (FAILED(CoCreateInstance(classId, nullptr, CLSCTX_ALL, IID_IDispatch, reinterpret_cast<void**>(&object)))) {
        return {};
    }
    return Object(object);
}

// Calls a method or a property of `object` by name, the arguments given in their written order.
void invoke(IDispatch* object, const wchar_t* name, WORD kind, std::initializer_list<const Var*> arguments,
            Var* result) {
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT code = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(code)) fail(jet::toUtf8(u"ADO " + u16(name)), code);

    // IDispatch takes the arguments last first. The copies are shallow: the Vars keep ownership.
    std::vector<VARIANTARG> reversed;
    for (auto it = arguments.end(); it != arguments.begin();) reversed.push_back((*--it)->v);
    DISPPARAMS parameters{};
    parameters.rgvarg = reversed.empty() ? nullptr : reversed.data();
    parameters.cArgs = static_cast<UINT>(reversed.size());
    DISPID putId = DISPID_PROPERTYPUT;
    if (kind == DISPATCH_PROPERTYPUT) {
        parameters.rgdispidNamedArgs = &putId;
        parameters.cNamedArgs = 1;
    }
    EXCEPINFO exception{};
    UINT badArgument = 0;
    code = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &parameters, result ? &result->v : nullptr,
                          &exception, &badArgument);
    if (FAILED(code)) {
        std::u16string description;
        if (code == DISP_E_EXCEPTION) {
            if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
            if (exception.bstrDescription) description = u16(exception.bstrDescription);
            if (FAILED(exception.scode)) code = exception.scode;
        }
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
        fail(jet::toUtf8(u"ADO " + u16(name)), code, description);
    }
}

void call(IDispatch* object, const wchar_t* name, std::initializer_list<const Var*> arguments = {}) {
    Var ignored;
    invoke(object, name, DISPATCH_METHOD, arguments, &ignored);
}

Var get(IDispatch* object, const wchar_t* name, std::initializer_list<const Var*> arguments = {}) {
    Var result;
    invoke(object, name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, arguments, &result);
    return result;
}

long getLong(IDispatch* object, const wchar_t* name) {
    Var value = get(object, name);
    Var converted;
    HRESULT code = VariantChangeType(&converted.v, &value.v, 0, VT_I4);
    if (FAILED(code)) fail(jet::toUtf8(u"reading ADO " + u16(name)), code);
    return converted.v.lVal;
}

Object getObject(IDispatch* object, const wchar_t* name, std::initializer_list<const Var*> arguments = {}) {
    Var value = get(object, name, arguments);
    if (value.v.vt != VT_DISPATCH || !value.v.pdispVal) {
        throw std::runtime_error("ADO " + jet::toUtf8(u16(name)) + " did not give an object");
    }
    IDispatch* pointer = value.v.pdispVal;
    pointer->AddRef();
    return Object(pointer);
}

// A DECIMAL as the engine's Numeric: the 96-bit magnitude in four little-endian words, most significant
// first (the first word is always zero here).
jet::Numeric numericOf(const DECIMAL& d) {
    jet::Numeric n;
    n.precision = 28;
    n.scale = d.scale;
    n.negative = (d.sign & DECIMAL_NEG) != 0;
    const std::array<ULONG, 4> words = {0, d.Hi32, static_cast<ULONG>(d.Lo64 >> 32), static_cast<ULONG>(d.Lo64)};
    for (size_t w = 0; w < 4; ++w) {
        for (size_t b = 0; b < 4; ++b) n.magnitude[w * 4 + b] = static_cast<uint8_t>(words[w] >> (8 * b));
    }
    return n;
}

// A field's value as text, by the same rules as the built-in engine (ValueText): the VARIANT is first
// taken back to the engine's value kinds.
std::u16string textOf(const VARIANT& v) {
    switch (v.vt) {
    case VT_EMPTY:
    case VT_NULL: return u"";
    case VT_BSTR: return v.bstrVal ? std::u16string(reinterpret_cast<const char16_t*>(v.bstrVal), SysStringLen(v.bstrVal)) : u"";
    case VT_BOOL: return ValueText(jet::Value(v.boolVal != VARIANT_FALSE));
    case VT_UI1: return ValueText(jet::Value(int64_t{v.bVal}));
    case VT_I1: return ValueText(jet::Value(int64_t{v.cVal}));
    case VT_I2: return ValueText(jet::Value(int64_t{v.iVal}));
    case VT_UI2: return ValueText(jet::Value(int64_t{v.uiVal}));
    case VT_I4: return ValueText(jet::Value(int64_t{v.lVal}));
    case VT_UI4: return ValueText(jet::Value(int64_t{v.ulVal}));
    case VT_I8: return ValueText(jet::Value(int64_t{v.llVal}));
    case VT_R4: return ValueText(jet::Value(double{v.fltVal}));
    case VT_R8: return ValueText(jet::Value(v.dblVal));
    case VT_CY: return ValueText(jet::Value(jet::Currency{v.cyVal.int64}));
    case VT_DATE: return ValueText(jet::Value(jet::DateTime{v.date}));
    case VT_DECIMAL: return ValueText(jet::Value(numericOf(v.decVal)));
    case VT_ARRAY | VT_UI1: return u"";  // binary and OLE values read as the empty text
    default: break;
    }
    Var text;
    if (FAILED(VariantChangeType(&text.v, const_cast<VARIANT*>(&v), 0, VT_BSTR)) || !text.v.bstrVal) return u"";
    return std::u16string(reinterpret_cast<const char16_t*>(text.v.bstrVal), SysStringLen(text.v.bstrVal));
}

// The first provider in kProviders whose class is registered and loads in this process (a 64-bit process
// can find the 32-bit-only Jet provider's name registered and still not load it).
const wchar_t* findProvider() {
    for (const wchar_t* provider : kProviders) {
        CLSID classId;
        if (FAILED(CLSIDFromProgID(provider, &classId))) continue;
        IClassFactory* factory = nullptr;
        if (SUCCEEDED(CoGetClassObject(classId, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                       reinterpret_cast<void**>(&factory)))) {
            factory->Release();
            return provider;
        }
    }
    return nullptr;
}

class AdoBackend final : public ConfigDatabaseBackend {
public:
    AdoBackend(Object connection, std::string path) : connection_(std::move(connection)), path_(std::move(path)) {}

    ~AdoBackend() override {
        try {
            joinComApartment();
            closeResult();
            call(connection_.get(), L"Close");
        } catch (...) {
        }
    }

    void openTable(const std::u16string& table) override { openResult(table, adCmdTable); }
    void openQuery(const std::u16string& select) override { openResult(select, adCmdText); }

    int recordCount() const override {
        IDispatch* rs = open();
        long count = getLong(rs, L"RecordCount");
        if (count < 0) count = 0;  // not known: a static cursor always knows, this is for safety
        if (count > 0 && adding(rs)) --count;  // a new row counts once it is saved
        return static_cast<int>(count);
    }

    std::u16string readText(const std::u16string& column) const override {
        IDispatch* rs = open();
        requireRow(rs, "there is no current row: the position is past the last row");
        Object field = this->field(rs, column);
        Var value = get(field.get(), L"Value");
        return textOf(value.v);
    }

    void writeText(const std::u16string& column, const std::u16string& text) override {
        IDispatch* rs = open();
        requireRow(rs, "there is no current row to change: the position is past the last row");
        Object field = this->field(rs, column);
        Var value(text);
        invoke(field.get(), L"Value", DISPATCH_PROPERTYPUT, {&value}, nullptr);
    }

    void addRow() override { call(open(), L"AddNew"); }

    void saveRow() override {
        IDispatch* rs = open();
        if (getLong(rs, L"EditMode") != adEditNone) call(rs, L"Update");
    }

    void nextRow() override {
        IDispatch* rs = open();
        saveRow();
        if (getLong(rs, L"EOF") != 0) throw std::runtime_error("cannot move past the end of the result");
        call(rs, L"MoveNext");
    }

    void closeResult() override {
        joinComApartment();
        if (!result_) return;
        Object rs = std::move(result_);
        try {
            if (getLong(rs.get(), L"State") & adStateOpen) {
                if (getLong(rs.get(), L"EditMode") != adEditNone) call(rs.get(), L"CancelUpdate");
                call(rs.get(), L"Close");
            }
        } catch (...) {
            // The result is dropped either way.
        }
    }

    void execute(const std::u16string& statement) override {
        joinComApartment();
        Var text(statement);
        call(connection_.get(), L"Execute", {&text});
    }

    // Through a forward-only, read-only recordset of the table, closed at the end.
    void scanTable(const std::u16string& table, const std::vector<std::u16string>& columns,
                   const std::function<void(const std::vector<std::u16string>& values)>& row) override {
        openResult(table, adCmdTable, adOpenForwardOnly, adLockReadOnly);
        std::vector<std::u16string> values(columns.size());
        try {
            IDispatch* rs = open();
            for (const std::u16string& column : columns) field(rs, column);  // every name known, rows or not
            while (getLong(rs, L"EOF") == 0) {
                for (size_t k = 0; k < columns.size(); ++k) {
                    Object field = this->field(rs, columns[k]);
                    Var value = get(field.get(), L"Value");
                    values[k] = textOf(value.v);
                }
                row(values);
                call(rs, L"MoveNext");
            }
        } catch (...) {
            closeResult();
            throw;
        }
        closeResult();
    }

    // The provider's schema of columns (every table's): the rows of this table, by their position.
    std::optional<std::vector<std::u16string>> tableColumns(const std::u16string& table) const override {
        joinComApartment();
        Var kind(adSchemaColumns);
        Object schema = getObject(connection_.get(), L"OpenSchema", {&kind});
        std::vector<std::pair<long, std::u16string>> columns;
        while (getLong(schema.get(), L"EOF") == 0) {
            Var owner = get(field(schema.get(), u"TABLE_NAME").get(), L"Value");
            if (lstrcmpiW(wide(textOf(owner.v)), wide(table)) == 0) {
                Var position = get(field(schema.get(), u"ORDINAL_POSITION").get(), L"Value");
                Var name = get(field(schema.get(), u"COLUMN_NAME").get(), L"Value");
                Var number;
                const long place = SUCCEEDED(VariantChangeType(&number.v, &position.v, 0, VT_I4)) ? number.v.lVal : 0;
                columns.emplace_back(place, textOf(name.v));
            }
            call(schema.get(), L"MoveNext");
        }
        call(schema.get(), L"Close");
        if (columns.empty()) return std::nullopt;
        std::stable_sort(columns.begin(), columns.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<std::u16string> names;
        for (auto& column : columns) names.push_back(std::move(column.second));
        return names;
    }

    // One transaction of the connection. A row to change is the first whose columns hold exactly the texts
    // of its match (the provider compares texts ignoring case; the exact one is picked here).
    void writeRows(const std::u16string& table, const std::vector<WideRowWrite>& rows) override {
        closeResult();
        call(connection_.get(), L"BeginTrans");
        try {
            Object added;  // the table, for new rows
            for (const WideRowWrite& write : rows) {
                Object rs;
                if (write.match.empty()) {
                    if (!added) added = openRecordset(table, adCmdTable);
                    call(added.get(), L"AddNew");
                    setFields(added.get(), write.values);
                    call(added.get(), L"Update");
                    continue;
                }
                std::u16string select = u"select * from [" + table + u"] where ";
                for (size_t i = 0; i < write.match.size(); ++i) {
                    if (i > 0) select += u" and ";
                    select += u"[" + write.match[i].first + u"] = '";
                    for (char16_t c : write.match[i].second) select += c == u'\'' ? u"''" : std::u16string(1, c);
                    select += u"'";
                }
                rs = openRecordset(select, adCmdText);
                for (;;) {
                    if (getLong(rs.get(), L"EOF") != 0) throw std::runtime_error("a row to change is not there");
                    bool exact = true;
                    for (const auto& [column, text] : write.match) {
                        Object f = field(rs.get(), column);
                        exact = exact && textOf(get(f.get(), L"Value").v) == text;
                    }
                    if (exact) break;
                    call(rs.get(), L"MoveNext");
                }
                setFields(rs.get(), write.values);
                call(rs.get(), L"Update");
                call(rs.get(), L"Close");
            }
            if (added) call(added.get(), L"Close");
            call(connection_.get(), L"CommitTrans");
        } catch (...) {
            try {
                call(connection_.get(), L"RollbackTrans");
            } catch (...) {
            }
            throw;
        }
    }

    // The provider keeps no journal of ours: the file is copied as it is on the disk.
    void saveCopy(const std::string& path) override {
        jet::FileSystem& files = jet::realFileSystem();
        const std::vector<uint8_t> bytes = files.readAll(path_);
        if (!files.createNew(path, bytes.data(), bytes.size())) {
            throw std::runtime_error("a file named \"" + path + "\" is there already");
        }
    }

private:
    Object openRecordset(const std::u16string& source, long commandType, long cursorType = adOpenStatic,
                         long lockType = adLockOptimistic) {
        joinComApartment();
        Object rs = create(L"ADODB.Recordset");
        if (!rs) throw std::runtime_error("ADO's recordset could not be created");
        Var sourceText(source), connection(connection_.get()), cursor(cursorType), lock(lockType),
            options(commandType);
        call(rs.get(), L"Open", {&sourceText, &connection, &cursor, &lock, &options});
        return rs;
    }

    static void setFields(IDispatch* rs, const std::vector<std::pair<std::u16string, std::u16string>>& values) {
        for (const auto& [column, text] : values) {
            Object f = field(rs, column);
            Var value(text);
            invoke(f.get(), L"Value", DISPATCH_PROPERTYPUT, {&value}, nullptr);
        }
    }

    void openResult(const std::u16string& source, long commandType, long cursorType = adOpenStatic,
                    long lockType = adLockOptimistic) {
        closeResult();
        result_ = openRecordset(source, commandType, cursorType, lockType);
    }

    IDispatch* open() const {
        joinComApartment();
        if (!result_) throw std::runtime_error("no result is open");
        return result_.get();
    }

    static bool adding(IDispatch* rs) { return getLong(rs, L"EditMode") == adEditAdd; }

    static void requireRow(IDispatch* rs, const char* message) {
        if (!adding(rs) && getLong(rs, L"EOF") != 0) throw std::runtime_error(message);
    }

    static Object field(IDispatch* rs, const std::u16string& column) {
        Object fields = getObject(rs, L"Fields");
        Var name(column);
        return getObject(fields.get(), L"Item", {&name});
    }

    Object connection_;
    std::string path_;
    Object result_;
};

}  // namespace

std::string SystemJetProvider() {
    try {
        joinComApartment();
    } catch (...) {
        return {};
    }
    const wchar_t* provider = findProvider();
    return provider ? jet::toUtf8(u16(provider)) : std::string();
}

std::unique_ptr<ConfigDatabaseBackend> OpenSystemBackend(const std::string& path) {
    try {
        joinComApartment();
    } catch (...) {
        return nullptr;
    }
    const wchar_t* provider = findProvider();
    if (!provider) return nullptr;
    Object connection = create(L"ADODB.Connection");
    if (!connection) return nullptr;  // a provider without ADO: the built-in engine does the work
    Var text(u"Provider=" + u16(provider) + u"; Data Source=" + ConnectionStringValue(jet::fromUtf8(path)));
    call(connection.get(), L"Open", {&text});
    return std::make_unique<AdoBackend>(std::move(connection), path);
}

}  // namespace catalogue
