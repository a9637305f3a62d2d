// Opening Jet 4 files and reading their catalogue and rows: an empty database (the one the Jet engine wrote
// where it is present, otherwise this engine's own, which holds the same catalogue), files that are not Jet 4
// databases, and damaged copies.
#include <random>

#include <gtest/gtest.h>

#include "jet/create.h"
#include "jet/data_page.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/header.h"
#include "jet/rows.h"
#include "test_files.h"

using namespace jet;

namespace {

std::vector<std::string> names(const std::vector<std::u16string>& list) {
    std::vector<std::string> out;
    for (const auto& n : list) out.push_back(toUtf8(n));
    return out;
}

int64_t asInt(const Value& v) { return std::get<int64_t>(v); }

std::string openError(std::vector<uint8_t> bytes) {
    try {
        Database::openBytes(std::move(bytes));
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

}  // namespace

TEST(DatabaseRead, CatalogueOfAnEmptyDatabase) {
    testfiles::TempDir dir;
    auto db = Database::open(dir.copyOfEmptyDatabase());
    // The Jet engine's empty file has only system tables (names as mdb-tables -S lists them).
    EXPECT_TRUE(db->tableNames().empty());
    EXPECT_EQ(names(db->tableNames(true)),
              (std::vector<std::string>{"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships"}));
    EXPECT_EQ(db->findTable(u"msysaces"), db->findTable(u"MSysACEs"));
    EXPECT_EQ(db->findTable(u"NoSuchTable"), nullptr);
    EXPECT_THROW(db->table(u"NoSuchTable"), Error);

    const TableDef& objects = db->table(u"MSysObjects");
    EXPECT_EQ(objects.tdefPage, 2u);
    EXPECT_EQ(objects.rowCount, 8u);
    EXPECT_EQ(objects.maxColumns, 17);
    ASSERT_EQ(objects.columns.size(), 17u);
    // Columns come in column-number order even though the descriptors are stored out of order.
    for (size_t i = 0; i < objects.columns.size(); ++i) EXPECT_EQ(objects.columns[i].number, i);
    EXPECT_EQ(toUtf8(objects.columns[0].name), "Id");
    EXPECT_EQ(objects.columns[objects.findColumn(u"NAME")].type, ColumnType::Text);
    EXPECT_EQ(objects.columns[objects.findColumn(u"Lv")].type, ColumnType::OLE);
    ASSERT_EQ(objects.realIndexes.size(), 2u);
    EXPECT_EQ(objects.realIndexes[0].uniqueKeyCount, 8u);

    const TableDef& queries = db->table(u"MSysQueries");
    EXPECT_EQ(queries.columns[queries.findColumn(u"Expression")].type, ColumnType::Memo);
    EXPECT_EQ(queries.columns[queries.findColumn(u"Name1")].length, 510);
}

TEST(DatabaseRead, RowsMatchWhatMdbExportShows) {
    testfiles::TempDir dir;
    auto db = Database::open(dir.copyOfEmptyDatabase());
    const TableDef& objects = db->table(u"MSysObjects");
    auto rows = db->readRows(objects);
    ASSERT_EQ(rows.size(), 8u);
    int id = objects.findColumn(u"Id"), parent = objects.findColumn(u"ParentId"), name = objects.findColumn(u"Name"),
        type = objects.findColumn(u"Type"), flags = objects.findColumn(u"Flags"), owner = objects.findColumn(u"Owner"),
        connect = objects.findColumn(u"Connect");
    // Expected values from `mdb-export -b hex` of the reference file.
    const char* expectedNames[] = {"Tables", "Databases", "Relationships", "MSysDb",
                                   "MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships"};
    const int64_t expectedIds[] = {251658241, 251658242, 251658243, 268435456, 2, 3, 4, 5};
    const int64_t expectedParents[] = {251658240, 251658240, 251658240, 251658242,
                                       251658241, 251658241, 251658241, 251658241};
    const int64_t expectedTypes[] = {3, 3, 3, 2, 1, 1, 1, 1};
    for (size_t i = 0; i < rows.size(); ++i) {
        const Row& r = rows[i].values;
        EXPECT_EQ(toUtf8(std::get<std::u16string>(r[name])), expectedNames[i]);
        EXPECT_EQ(asInt(r[id]), expectedIds[i]);
        EXPECT_EQ(asInt(r[parent]), expectedParents[i]);
        EXPECT_EQ(asInt(r[type]), expectedTypes[i]);
        EXPECT_EQ(asInt(r[flags]), -2147483648LL);
        EXPECT_EQ(std::get<Bytes>(r[owner]), i == 3 ? (Bytes{0x07, 0xE8}) : (Bytes{0x06, 0xEA}));
        EXPECT_TRUE(isNull(r[connect]));
        EXPECT_EQ(rows[i].id, (RowId{17, uint8_t(i)}));
    }
    // The Jet engine made its file on 04/25/17 at 11:33:57; ours carry a fixed date.
    double created = std::get<DateTime>(rows[0].values[objects.findColumn(u"DateCreate")]).oleDays;
    double expected = testfiles::haveReference() ? 42850 + (11 * 3600 + 33 * 60 + 57) / 86400.0 : kCreationDate;
    EXPECT_NEAR(created, expected, 1.0 / 86400);

    const TableDef& aces = db->table(u"MSysACEs");
    auto aceRows = db->readRows(aces);
    ASSERT_EQ(aceRows.size(), 16u);
    EXPECT_EQ(asInt(aceRows[4].values[0]), 251658241);
    EXPECT_EQ(std::get<Bytes>(aceRows[4].values[1]), (Bytes{0x06, 0xED}));
    EXPECT_EQ(asInt(aceRows[4].values[2]), 983294);
    EXPECT_EQ(std::get<bool>(aceRows[4].values[3]), true);
    EXPECT_EQ(std::get<bool>(aceRows[0].values[3]), false);
    EXPECT_TRUE(db->readRows(db->table(u"MSysQueries")).empty());
}

TEST(DatabaseRead, RefusesFilesThatAreNotJet4WithAClearReason) {
    std::vector<uint8_t> good = testfiles::emptyDatabaseBytes();
    ASSERT_EQ(openError(good), "");

    std::string text = "id,name\n1,server\n";
    std::vector<uint8_t> notDb(text.begin(), text.end());
    notDb.resize(8192, ' ');
    EXPECT_NE(openError(notDb).find("not an Access database"), std::string::npos);
    EXPECT_NE(openError({}).find("not an Access database"), std::string::npos);

    std::vector<uint8_t> jet3 = good;
    jet3[0x14] = 0;
    EXPECT_NE(openError(jet3).find("Jet 3"), std::string::npos);

    std::vector<uint8_t> ace = good;
    ace[0x14] = 2;
    EXPECT_NE(openError(ace).find("ACE"), std::string::npos);
    std::memcpy(ace.data() + 4, "Standard ACE DB", 15);
    EXPECT_NE(openError(ace).find("ACE"), std::string::npos);

    std::vector<uint8_t> shortFile(good.begin(), good.begin() + 4096 + 100);
    EXPECT_NE(openError(shortFile).find("truncated"), std::string::npos);
    std::vector<uint8_t> onePage(good.begin(), good.begin() + 4096);
    EXPECT_NE(openError(onePage).find("truncated"), std::string::npos);

    // A database key in the encoded header area means every page is encrypted.
    std::vector<uint8_t> encrypted = good;
    const uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    detail::rc4(key, 4, encrypted.data() + 0x18, 128);
    encrypted[0x3E] = 0x5A;
    detail::rc4(key, 4, encrypted.data() + 0x18, 128);
    EXPECT_NE(openError(encrypted).find("encrypted"), std::string::npos);
}

TEST(DatabaseRead, RefusesMissingAndTruncatedFilesOnDisk) {
    testfiles::TempDir dir;
    EXPECT_THROW(Database::open(dir.file("missing.mdb")), Error);
    std::vector<uint8_t> bytes = testfiles::emptyDatabaseBytes();
    bytes.resize(bytes.size() - 1000);
    testfiles::writeFile(dir.file("cut.mdb"), bytes);
    try {
        Database::open(dir.file("cut.mdb"));
        FAIL() << "a truncated file opened";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("truncated"), std::string::npos) << e.what();
    }
}

// Damaged copies must give jet::Error (or read), never crash or hang.
TEST(DatabaseRead, DamagedCopiesGiveErrorsNotCrashes) {
    std::vector<uint8_t> good = testfiles::emptyDatabaseBytes();
    std::mt19937 random(12345);
    int opened = 0, refused = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> bytes = good;
        // Damage a few bytes, mostly in the pages that hold definitions, maps and rows.
        int flips = 1 + int(random() % 8);
        for (int i = 0; i < flips; ++i) {
            uint32_t page = (round % 3 == 0) ? uint32_t(random() % 19) : uint32_t(2 + random() % 17);
            size_t offset = page * 4096 + (random() % 2 ? random() % 4096 : random() % 0x300);
            bytes[offset] = uint8_t(random());
        }
        try {
            auto db = Database::openBytes(bytes);
            for (const auto& name : db->tableNames(true)) db->readRows(db->table(name));
            db->check();
            ++opened;
        } catch (const Error&) {
            ++refused;
        }
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(opened, 0);
}

// Table entries whose definitions share a page: opening stops naming both tables and the page, instead of
// reading the definition again for each of thousands of entries.
TEST(DatabaseRead, TablesSharingDefinitionPagesAreRefused) {
    NewTable hosts{u"Hosts", {{u"Name", ColumnType::Text, 50}}, {}, {}};
    NewTable ports{u"Ports", {{u"Port", ColumnType::Long}}, {}, {}};
    std::vector<uint8_t> bytes = createDatabase({hosts, ports});
    auto db = Database::openBytes(bytes);
    const uint32_t hostsPage = db->table(u"Hosts").tdefPage, portsPage = db->table(u"Ports").tdefPage;
    const uint32_t extra = uint32_t(bytes.size() / 4096);
    bytes.resize(bytes.size() + 100 * 4096);  // Hosts' definition continues over 100 pages at the end of the file
    for (uint32_t i = 0; i < 100; ++i) {
        bytes[(extra + i) * 4096] = 0x02;
        bytes[(extra + i) * 4096 + 1] = 0x01;
        put32(&bytes[(extra + i) * 4096 + 4], i < 99 ? extra + i + 1 : 0);
    }
    put32(&bytes[hostsPage * 4096 + 4], extra);
    ASSERT_EQ(openError(bytes), "");

    std::vector<uint8_t> joined = bytes;  // Ports' definition continues into Hosts' chain
    put32(&joined[portsPage * 4096 + 4], extra + 50);
    EXPECT_NE(openError(joined).find("tables Hosts and Ports share definition page " + std::to_string(extra + 50)),
              std::string::npos) << openError(joined);

    db = Database::openBytes(bytes);  // 3000 more catalogue entries naming Hosts' definition
    const TableDef& objects = db->table(u"MSysObjects");
    db->statement([&] {
        for (int i = 0; i < 3000; ++i) {
            Row row(objects.columns.size());  // Id, ParentId, Name, Type
            row[0] = int64_t(0x7000000 + i);      // distinct for the Id index; then made Hosts' page below
            row[2] = fromUtf8("Copy " + std::to_string(i));
            row[3] = int64_t(1);
            RowId id = db->insertRow(objects, row);
            uint8_t* page = db->pages().writablePage(id.page);
            put32(page + detail::rowSlot(page, id.page, id.slot).start + 2 + objects.columns[0].fixedOffset, hostsPage);
        }
    });
    std::string copies = openError(db->pages().bytes());
    EXPECT_NE(copies.find("tables Hosts and Copy 0 share definition page " + std::to_string(hostsPage)),
              std::string::npos) << copies;
}

TEST(DatabaseCheck, FindsStaleCountsMissingMapBitsAndIndexGaps) {
    std::vector<uint8_t> good = testfiles::emptyDatabaseBytes();
    EXPECT_TRUE(Database::openBytes(good)->check().empty());

    auto problemsOf = [](std::vector<uint8_t> bytes) { return Database::openBytes(std::move(bytes))->check(); };
    auto mentions = [](const std::vector<std::string>& problems, const std::string& text) {
        for (const auto& p : problems)
            if (p.find(text) != std::string::npos) return true;
        return false;
    };

    // MSysACEs (TDEF page 3) claims one row more than it stores.
    std::vector<uint8_t> staleCount = good;
    staleCount[3 * 4096 + 0x10] = 17;
    EXPECT_TRUE(mentions(problemsOf(staleCount), "counts 17 rows but 16 are stored"));

    // MSysACEs' data page 18 dropped from its owned-pages map (row 0 of page 9, bitmap from byte 5).
    std::vector<uint8_t> missingPage = good;
    uint16_t mapStart = get16(missingPage.data() + 9 * 4096 + 0x0E) & 0x1FFF;
    missingPage[9 * 4096 + mapStart + 5 + 18 / 8] &= uint8_t(~(1u << (18 % 8)));
    auto problems = problemsOf(missingPage);
    EXPECT_TRUE(mentions(problems, "data page 18 is missing from its usage map"));
    EXPECT_TRUE(mentions(problems, "holds 16 entries for 0 rows"));

    // A row deleted behind the index's back.
    std::vector<uint8_t> deleted = good;
    deleted[18 * 4096 + 0x0E + 1] |= 0xC0;
    EXPECT_TRUE(mentions(problemsOf(deleted), "holds 16 entries for 15 rows"));
}
