// Reads a database file with the npm package mdb-reader, an independent reader, and prints every user table
// as JSON in the form the sample generator writes the engine's view:
//   {"tables":[{"name": ..., "columns": [...], "rows": [[...], ...]}, ...]}
//
//   node read_with_mdb_reader.mjs FILE                 prints the JSON
//   node read_with_mdb_reader.mjs FILE --expect JSON [--any-order]
//       compares with the engine's view in JSON and exits 1, naming the first differences, when they disagree.
//       With --any-order the rows of a table may come in another order (updates that moved rows: the engine
//       lists a moved row at its original place, mdb-reader where its data now lives).
import { readFileSync } from "node:fs";
import MDBReader from "mdb-reader";

// Values that JSON has no plain form for are tagged objects, as the sample generator writes them.
function normalise(value, column) {
    if (value === null || value === undefined) return null;
    if (Buffer.isBuffer(value)) return { bytes: value.toString("hex") };
    if (value instanceof Date) return { oleDays: value.getTime() / 86400000 + 25569 };
    if (typeof value === "bigint") return value.toString();
    if (column.type === "currency") return { currency: currencyToTenThousandths(String(value)) };
    if (column.type === "repid") return { guid: guidToStoredHex(String(value)) };
    if (column.type === "numeric") return { numeric: String(value) };
    return value;
}

// "-12.34" -> "-123400": the stored count of ten-thousandths.
function currencyToTenThousandths(text) {
    const match = /^(-?)(\d*)(?:\.(\d*))?$/.exec(text.trim());
    if (!match) return text;
    const digits = ((match[2] || "0") + (match[3] || "").padEnd(4, "0").slice(0, 4)).replace(/^0+(?=\d)/, "");
    return (match[1] && digits !== "0" ? "-" : "") + digits;
}

// "{33221100-5544-7766-8899-AABBCCDDEEFF}" -> the 16 bytes as stored, in hex.
function guidToStoredHex(text) {
    const hex = text.replace(/[{}-]/g, "").toLowerCase();
    if (!/^[0-9a-f]{32}$/.test(hex)) return text;
    const swap = (part) => part.match(/../g).reverse().join("");
    return swap(hex.slice(0, 8)) + swap(hex.slice(8, 12)) + swap(hex.slice(12, 16)) + hex.slice(16);
}

function readTables(file) {
    const reader = new MDBReader(readFileSync(file));
    const problems = [];
    const tables = reader.getTableNames().map((name) => {
        const table = reader.getTable(name);
        const columns = table.getColumns();
        const rows = table.getData().map((row) => columns.map((column) => normalise(row[column.name], column)));
        if (table.rowCount !== rows.length)
            problems.push(`table ${name}: the definition counts ${table.rowCount} rows, ${rows.length} were read`);
        return { name, columns: columns.map((column) => column.name), rows };
    });
    return { tables, problems };
}

function same(a, b) {
    if (a !== null && b !== null && typeof a === "object" && typeof b === "object") {
        if ("oleDays" in a && "oleDays" in b) return Math.abs(a.oleDays - b.oleDays) < 1e-8;  // a millisecond
        return JSON.stringify(a) === JSON.stringify(b);
    }
    return a === b;
}

// Rows in a fixed order, for comparing tables whose row order may differ.
function sortedRows(rows) {
    return rows.map((row) => [JSON.stringify(row), row]).sort((a, b) => (a[0] < b[0] ? -1 : a[0] > b[0] ? 1 : 0))
        .map((pair) => pair[1]);
}

function compare(got, want, anyOrder) {
    const differences = [];
    const wantNames = want.tables.map((t) => t.name);
    const gotNames = got.tables.map((t) => t.name);
    if (JSON.stringify(wantNames) !== JSON.stringify(gotNames))
        differences.push(`tables: mdb-reader lists ${JSON.stringify(gotNames)}, the engine ${JSON.stringify(wantNames)}`);
    for (const wanted of want.tables) {
        const table = got.tables.find((t) => t.name === wanted.name);
        if (!table) continue;
        if (JSON.stringify(table.columns) !== JSON.stringify(wanted.columns)) {
            differences.push(`table ${wanted.name}: mdb-reader reads columns ${JSON.stringify(table.columns)}, ` +
                `the engine ${JSON.stringify(wanted.columns)}`);
            continue;
        }
        if (table.rows.length !== wanted.rows.length)
            differences.push(`table ${wanted.name}: mdb-reader reads ${table.rows.length} rows, the engine ${wanted.rows.length}`);
        const gotRows = anyOrder ? sortedRows(table.rows) : table.rows;
        const wantRows = anyOrder ? sortedRows(wanted.rows) : wanted.rows;
        const place = anyOrder ? "sorted row" : "row";
        const count = Math.min(gotRows.length, wantRows.length);
        for (let r = 0; r < count; ++r) {
            for (let c = 0; c < wanted.columns.length; ++c) {
                if (!same(gotRows[r][c], wantRows[r][c])) {
                    differences.push(`table ${wanted.name}, ${place} ${r + 1}, column ${wanted.columns[c]}: ` +
                        `mdb-reader reads ${JSON.stringify(gotRows[r][c])}, the engine ${JSON.stringify(wantRows[r][c])}`);
                    break;
                }
            }
            if (differences.length >= 10) break;
        }
    }
    return differences;
}

const args = process.argv.slice(2);
const anyOrder = args.at(-1) === "--any-order";
if (anyOrder) args.pop();
if (args.length !== 1 && !(args.length === 3 && args[1] === "--expect")) {
    console.error("usage: node read_with_mdb_reader.mjs FILE [--expect ENGINE_JSON [--any-order]]");
    process.exit(2);
}
const file = args[0];
let result;
try {
    result = readTables(file);
} catch (error) {
    console.error(`mdb-reader cannot read ${file}: ${error.message}`);
    process.exit(1);
}
if (args.length === 1) {
    for (const problem of result.problems) console.error(problem);
    console.log(JSON.stringify({ tables: result.tables }));
    process.exit(result.problems.length ? 1 : 0);
}
const want = JSON.parse(readFileSync(args[2], "utf8"));
const differences = [...result.problems, ...compare(result, want, anyOrder)];
for (const difference of differences) console.error(`${file}: ${difference}`);
if (differences.length) process.exit(1);
const rows = result.tables.reduce((sum, table) => sum + table.rows.length, 0);
console.log(`mdb-reader agrees with the engine on ${result.tables.length} tables and ${rows} rows` +
    (anyOrder ? " (in any order)" : ""));
