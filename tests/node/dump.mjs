// Prints a database's tables as mdb-reader sees them, as one JSON document:
// {"tables":[{"name","columns":[{"name","type","size"}],"rows":[{column: value}]}]}.
// Dates print as "yyyy-mm-ddThh:mm:ss" (mdb-reader keeps them as UTC), binary as hex.
// Usage: node dump.mjs FILE [--system]
import { readFileSync } from "node:fs";
import MDBReader from "mdb-reader";

const [file, ...flags] = process.argv.slice(2);
const reader = new MDBReader(readFileSync(file));
const names = reader.getTableNames({ normalTables: true, systemTables: flags.includes("--system") });

const plain = (v) => {
  if (v === null || v === undefined) return null;
  if (v instanceof Date) return v.toISOString().slice(0, 19);
  if (Buffer.isBuffer(v)) return v.toString("hex");
  if (typeof v === "bigint") return v.toString();
  return v;
};

const tables = names.map((name) => {
  const table = reader.getTable(name);
  const columns = table.getColumns().map((c) => ({ name: c.name, type: c.type, size: c.size }));
  const rows = table.getData().map((row) => Object.fromEntries(Object.entries(row).map(([k, v]) => [k, plain(v)])));
  return { name, columns, rows };
});
process.stdout.write(JSON.stringify({ tables }) + "\n");
