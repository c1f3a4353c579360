// Prints tables of a database as mdb-reader (an independent reader) sees them, as JSON:
// {"tables": [{"name", "rowCount", "columns": [{"name", "type"}], "rows": [{column: value}]}]}.
// Usage: node dump.mjs FILE [TABLE ...]  (all user tables when none are named).
// Dates print as ISO text without a zone, binary as base64, big integers as text.
import { readFileSync } from "fs";
import MDBReader from "mdb-reader";

const [file, ...names] = process.argv.slice(2);
const reader = new MDBReader(readFileSync(file));
const wanted = names.length ? names : reader.getTableNames();

function plain(value) {
    if (value instanceof Date) return value.toISOString().slice(0, 19);
    if (Buffer.isBuffer(value)) return value.toString("base64");
    if (typeof value === "bigint") return value.toString();
    return value;
}

const tables = wanted.map((name) => {
    const table = reader.getTable(name);
    const rows = table.getData().map((row) => Object.fromEntries(Object.entries(row).map(([k, v]) => [k, plain(v)])));
    return {
        name,
        rowCount: table.rowCount,
        columns: table.getColumns().map((c) => ({ name: c.name, type: c.type })),
        rows,
    };
});
process.stdout.write(JSON.stringify({ tables }) + "\n");
